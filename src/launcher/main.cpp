// The command users run (and the desktop files name). A start that only
// hands a request to the running copy is over before a Qt program would have
// loaded its libraries; anything else becomes the program itself (exec: the
// same process, arguments and environment), which does what it always did.
#include "BuildConfig.h"
#include "launcher/HandOverMarker.h"
#include "launcher/LaunchDecision.h"
#include "launcher/ProgramLocation.h"
#include "platform/ActivationToken.h"
#include "platform/dbus/ActivateCall.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

int main(int argc, char *argv[])
{
    const std::vector<std::string> arguments(argv + std::min(argc, 1), argv + argc);
    if (LaunchDecision::decide(arguments) == LaunchDecision::Launch::Forward) {
        switch (ActivateCall::send(BuildConfig::bundleIdentifier, arguments,
                                   ActivationToken::fromEnvironment())) {
        case ActivateCall::Result::Delivered:
            return 0;
        case ActivateCall::Result::Failed:
            std::fprintf(stderr, "vocarta-menubar: the running copy did not answer\n");
            return 1;
        case ActivateCall::Result::NoCopy:
            HandOverMarker::set(); // this start becomes the running copy
            break;
        }
    }
    const std::string program = ProgramLocation::find();
    ::execv(program.c_str(), argv);
    std::fprintf(stderr, "vocarta-menubar: cannot start %s: %s\n", program.c_str(), std::strerror(errno));
    return 1;
}
