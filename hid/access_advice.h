// What to tell a user whose Tolka is there but whose hidraw node they may not open: the one wording of the fix,
// for qv7ctl's message and the panel's box alike.
#pragma once

#include <string>
#include <string_view>

namespace qv7::hid {

// Where the installed rule lives (udev's rules folder of the build), e.g. /usr/lib/udev/rules.d/70-qv7.rules.
std::string_view udevRulePath();

// Prints the rule, for a system where it is not installed.
inline constexpr std::string_view kPrintRuleCommand = "qv7ctl --print-udev-rules";
// Makes udev read the rule and apply it to the nodes already there.
inline constexpr std::string_view kReloadRulesCommand = "sudo udevadm control --reload-rules && sudo udevadm trigger";

// open(2) refused for want of permission, not because the node is busy or gone.
bool accessDenied(int error);

// Several lines: the Tolka at `path` may not be opened, and the fix (the rule's path, the command that prints it,
// the reload command, plugging in again). No trailing newline.
std::string accessAdvice(const std::string& path);

}  // namespace qv7::hid
