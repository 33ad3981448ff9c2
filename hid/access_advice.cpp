#include "hid/access_advice.h"

#include <cerrno>

namespace qv7::hid {

std::string_view udevRulePath() { return QV7_UDEV_RULE_PATH; }

bool accessDenied(int error) { return error == EACCES || error == EPERM; }

std::string accessAdvice(const std::string& path) {
    return "a Tolka is at " + path + " but this user may not open it (permission denied).\n" +
           "Install the udev rule as " + std::string(udevRulePath()) + " (`" + std::string(kPrintRuleCommand) +
           "` prints it), then run\n  " + std::string(kReloadRulesCommand) + "\nand plug the Tolka in again.";
}

}  // namespace qv7::hid
