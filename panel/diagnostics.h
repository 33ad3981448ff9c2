// "复制诊断信息": what a bug report needs, as plain text.
#pragma once

#include <string>
#include <vector>

#include "device/identity_fields.h"

namespace qv7::panel {

struct DiagnosticsFacts {
    std::string panelVersion;
    std::string qtVersion;
    std::string os;
    std::string settingsFolder;
    std::vector<IdentityField> identity;  // empty: no Tolka is connected
    std::vector<std::string> trace;       // oldest first
    std::string recording;                // "none", or the file and whether it is still being written
};

std::string diagnosticsText(const DiagnosticsFacts& facts);

// The facts of this process: versions, the system, the settings folder.
DiagnosticsFacts runningPanelFacts();

}  // namespace qv7::panel
