// The panel's command line: every spelling it accepts, Qt's own options passed over, the rest refused.
#include "panel/panel_options.h"

#include <gtest/gtest.h>

namespace qv7::panel {
namespace {

using Action = PanelOptions::Action;

struct Case {
    std::vector<std::string> args;
    Action action;
    std::string device;
    std::string screenshot;
    bool minimized = false;
    bool trace = false;
};

TEST(PanelOptions, SpellingsTable) {
    const std::vector<Case> cases = {
        {{}, Action::Run, "hid", ""},
        {{"--simulate"}, Action::Run, "sim", ""},
        {{"--simulate=1.0.2"}, Action::Run, "sim:1.0.2", ""},
        {{"--simulate="}, Action::Run, "sim:", ""},
        {{"--device", "unix:/run/t"}, Action::Run, "unix:/run/t", ""},
        {{"--device=sim:1.0.0"}, Action::Run, "sim:1.0.0", ""},
        {{"--device", "hid", "--simulate"}, Action::Run, "sim", ""},
        {{"--simulate", "--screenshot=a.png"}, Action::Run, "sim", "a.png"},
        {{"--screenshot", "b.png"}, Action::Run, "hid", "b.png"},
        {{"-platform", "offscreen", "--simulate"}, Action::Run, "sim", ""},
        {{"--style=fusion", "-reverse", "--simulate"}, Action::Run, "sim", ""},
        {{"--simulate", "--help"}, Action::Help, "sim", ""},
        {{"-h"}, Action::Help, "hid", ""},
        {{"--version", "--no-such"}, Action::Version, "hid", ""},
        {{"--simulate", "--no-such"}, Action::Refuse, "sim", ""},
        {{"simulate"}, Action::Refuse, "hid", ""},
        {{"--device"}, Action::Refuse, "hid", ""},
        {{"--device", "nowhere"}, Action::Refuse, "nowhere", ""},
        {{"--device=unix:"}, Action::Refuse, "unix:", ""},
        {{"--screenshot="}, Action::Refuse, "hid", ""},
        {{"--simulatex"}, Action::Refuse, "hid", ""},
        {{"--minimized"}, Action::Run, "hid", "", true},
        {{"--simulate", "--minimized"}, Action::Run, "sim", "", true},
        {{"--minimized=yes"}, Action::Refuse, "hid", ""},
        {{"--minimised"}, Action::Refuse, "hid", ""},
        {{"--simulate", "--trace"}, Action::Run, "sim", "", false, true},
        {{"--trace=1"}, Action::Refuse, "hid", ""},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        SCOPED_TRACE(joined);
        const PanelOptions o = parsePanelOptions(c.args);
        EXPECT_EQ(o.action, c.action) << o.error;
        EXPECT_EQ(o.action == Action::Refuse, !o.error.empty());
        if (c.action == Action::Refuse) continue;
        EXPECT_EQ(o.device, c.device);
        EXPECT_EQ(o.screenshot, c.screenshot);
        EXPECT_EQ(o.minimized, c.minimized);
        EXPECT_EQ(o.trace, c.trace);
    }
}

TEST(PanelOptions, UsageNamesEveryOption) {
    const std::string usage = panelUsage();
    for (const char* option :
         {"--simulate", "--device", "--screenshot", "--minimized", "--trace", "--help", "--version"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace qv7::panel
