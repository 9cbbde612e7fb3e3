#pragma once

#include <string>
#include <vector>

// What the launcher does with a start: hand the request straight to the
// running copy, or start the program, which handles everything else (a
// vocarta: address, --autostart, --help, --version, a usage error) exactly as
// it would have without the launcher.
namespace LaunchDecision {

enum class Launch { Forward, Program };

// `arguments` excludes the program name. Forward only for what a desktop
// key or menu starts often (nothing, --capture, --preferences): the program
// parses the rest, and a request that reaches the running copy has to mean
// the same as in the program.
Launch decide(const std::vector<std::string> &arguments);

} // namespace LaunchDecision
