#include "launcher/ProgramLocation.h"

#include "BuildConfig.h"

#include <climits>
#include <unistd.h>

std::string ProgramLocation::besideLauncher(const std::string &launcher, const std::string &relative)
{
    const std::string::size_type slash = launcher.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string(".") : launcher.substr(0, slash);
    return folder + '/' + relative;
}

std::string ProgramLocation::find()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer);
    if (length <= 0 || size_t(length) >= sizeof buffer)
        return BuildConfig::installedProgram;
    return besideLauncher(std::string(buffer, size_t(length)), BuildConfig::programFromLauncher);
}
