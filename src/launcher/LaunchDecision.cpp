#include "launcher/LaunchDecision.h"

LaunchDecision::Launch LaunchDecision::decide(const std::vector<std::string> &arguments)
{
    if (arguments.empty())
        return Launch::Forward;
    if (arguments.size() == 1 && (arguments.front() == "--capture" || arguments.front() == "--preferences"))
        return Launch::Forward;
    return Launch::Program;
}
