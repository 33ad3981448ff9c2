#include "panel/panel_options.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "device/device_name.h"

namespace qv7::panel {

namespace {

// The generic options every Qt program accepts, with one dash or two; the first group takes a value.
constexpr std::array<std::string_view, 12> kQtValueOptions = {
    "platform",        "platformpluginpath", "platformtheme", "plugin",
    "qwindowgeometry", "qwindowicon",        "qwindowtitle",  "display",
    "style",           "stylesheet",         "session",       "qmljsdebugger"};
constexpr std::array<std::string_view, 5> kQtFlagOptions = {"reverse", "widgetcount", "nograb", "dograb", "sync"};

// 0: not Qt's; 1: Qt's, standing alone; 2: Qt's, followed by its value.
int qtOption(std::string_view arg) {
    if (!arg.starts_with("-")) return 0;
    arg.remove_prefix(arg.starts_with("--") ? 2 : 1);
    const auto eq = arg.find('=');
    const std::string_view name = arg.substr(0, eq);
    auto in = [name](const auto& table) { return std::find(table.begin(), table.end(), name) != table.end(); };
    if (in(kQtFlagOptions)) return 1;
    if (in(kQtValueOptions)) return eq == std::string_view::npos ? 2 : 1;
    return 0;
}

// The window follows the Tolka on USB as it comes and goes, so it has no use for one hidraw node.
bool validDevice(const std::string& d) {
    std::string unused;
    const auto name = parseDeviceName(d, unused);
    return name && name->kind != DeviceName::Kind::Hidraw;
}

}  // namespace

const char* panelUsage() {
    return "usage: qv7-panel [--simulate[=FIRMWARE]] [--device hid|sim|sim:FIRMWARE|unix:PATH] [--screenshot=FILE]\n"
           "                 [--minimized] [--trace] [--record FILE [--record-raw]]\n"
           "  (default)           the Tolka on USB (hidraw), found and followed as it is plugged in and out\n"
           "  --simulate          use the in-process simulated Tolka (firmware 1.0.7 unless given)\n"
           "  --device unix:PATH  use a device on a local socket (qv7-sim --listen PATH)\n"
           "  --minimized         start hidden in the tray; shown as usual when there is no tray\n"
           "  --trace             print the online checks' diagnostic lines (dwError = N) too\n"
           "  --record FILE       write every report to and from the Tolka to FILE, serial numbers masked\n"
           "  --record-raw        ... and kept as they are\n"
           "  --screenshot=FILE   once the device has reported its settings, save the window as FILE and exit\n"
           "  --help, --version   print this or the version and exit\n";
}

PanelOptions parsePanelOptions(const std::vector<std::string>& args) {
    PanelOptions o;
    auto refuse = [&o](std::string why) {
        o.action = PanelOptions::Action::Refuse;
        o.error = std::move(why);
        return o;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // --name VALUE and --name=VALUE alike; false when the value is missing.
        auto value = [&](std::string_view name, std::string& into) -> bool {
            if (arg == name) {
                if (i + 1 >= args.size()) return false;
                into = args[++i];
                return true;
            }
            if (arg.starts_with(name) && arg.size() > name.size() && arg[name.size()] == '=') {
                into = arg.substr(name.size() + 1);
                return true;
            }
            return false;
        };
        if (arg == "--help" || arg == "-h") {
            o.action = PanelOptions::Action::Help;
            return o;
        }
        if (arg == "--version") {
            o.action = PanelOptions::Action::Version;
            return o;
        }
        if (arg == "--simulate") o.device = "sim";
        else if (arg.starts_with("--simulate=")) o.device = "sim:" + arg.substr(11);
        else if (arg == "--minimized") o.minimized = true;
        else if (arg == "--trace") o.trace = true;
        else if (arg == "--record-raw") o.recordRaw = true;
        else if (arg == "--record" || arg.starts_with("--record=")) {
            if (!value("--record", o.record) || o.record.empty()) return refuse("--record needs a file");
        } else if (arg == "--device" || arg.starts_with("--device=")) {
            if (!value("--device", o.device)) return refuse("--device needs hid, sim, sim:FIRMWARE or unix:PATH");
            if (!validDevice(o.device))
                return refuse("device '" + o.device + "' is not 'hid', 'sim', 'sim:FIRMWARE' or 'unix:PATH'");
        } else if (arg == "--screenshot" || arg.starts_with("--screenshot=")) {
            if (!value("--screenshot", o.screenshot) || o.screenshot.empty())
                return refuse("--screenshot needs a file");
        } else if (const int qt = qtOption(arg)) {
            i += static_cast<std::size_t>(qt - 1);
        } else {
            return refuse("unknown option '" + arg + "'");
        }
    }
    if (o.recordRaw && o.record.empty()) return refuse("--record-raw goes with --record FILE");
    return o;
}

}  // namespace qv7::panel
