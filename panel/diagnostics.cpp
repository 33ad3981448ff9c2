#include "panel/diagnostics.h"

#include <QString>
#include <QSysInfo>

#include "common/app_dir.h"
#include "common/display_text.h"

namespace qv7::panel {

std::string diagnosticsText(const DiagnosticsFacts& facts) {
    std::string text;
    // One fact per line, whatever the device or the trace holds: control characters are shown escaped, so a
    // serial number cannot add a line of its own to a bug report.
    auto line = [&text](const std::string& name, const std::string& value) {
        text += name + ": " + escapeControls(value) + "\n";
    };
    line("qv7-panel", facts.panelVersion);
    line("Qt", facts.qtVersion);
    line("OS", facts.os);
    line("settings folder", facts.settingsFolder);
    if (facts.identity.empty()) line("device", "none connected");
    for (const IdentityField& f : facts.identity) line(f.name, f.value);
    line("recording", facts.recording.empty() ? std::string("none") : facts.recording);
    text += "trace, last " + std::to_string(facts.trace.size()) + " lines:\n";
    for (const std::string& t : facts.trace) text += escapeControls(t) + "\n";
    return text;
}

DiagnosticsFacts runningPanelFacts() {
    DiagnosticsFacts facts;
    facts.panelVersion = QV7_VERSION;
    facts.qtVersion = qVersion();
    facts.os = (QSysInfo::prettyProductName() + QStringLiteral(", kernel ") + QSysInfo::kernelVersion() +
                QStringLiteral(" (") + QSysInfo::currentCpuArchitecture() + QStringLiteral(")"))
                   .toStdString();
    facts.settingsFolder = appDir().string();
    return facts;
}

}  // namespace qv7::panel
