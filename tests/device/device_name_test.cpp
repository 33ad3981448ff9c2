// Device names as qv7ctl's --device and the panel's --device take them: every spelling, and what a wrong one is told.
#include "device/device_name.h"

#include <gtest/gtest.h>

#include <string>

namespace qv7 {
namespace {

using Kind = DeviceName::Kind;

TEST(DeviceName, SpellingsTable) {
    struct Case {
        const char* text;
        bool valid;
        Kind kind;
        const char* argumentOrError;
    };
    const Case cases[] = {
        {"hid", true, Kind::FirstTolka, ""},
        {"sim", true, Kind::Simulated, ""},
        {"sim:1.0.2", true, Kind::Simulated, "1.0.2"},
        {"sim:", true, Kind::Simulated, ""},  // the simulator's own firmware
        {"sim:x:y", true, Kind::Simulated, "x:y"},
        {"unix:/run/tolka.sock", true, Kind::Socket, "/run/tolka.sock"},
        {"unix:relative/sock", true, Kind::Socket, "relative/sock"},
        {"/dev/hidraw0", true, Kind::Hidraw, "/dev/hidraw0"},
        {"/dev/hidraw12", true, Kind::Hidraw, "/dev/hidraw12"},
        {"unix:", false, Kind::FirstTolka, "device 'unix:' names no socket (expected unix:PATH)"},
        {"", false, Kind::FirstTolka,
         "unknown device '' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)"},
        {"nowhere", false, Kind::FirstTolka,
         "unknown device 'nowhere' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)"},
        {"SIM", false, Kind::FirstTolka,
         "unknown device 'SIM' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)"},
        {"simulate", false, Kind::FirstTolka,
         "unknown device 'simulate' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)"},
        {"hidraw0", false, Kind::FirstTolka,
         "unknown device 'hidraw0' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)"},
        {" sim", false, Kind::FirstTolka,
         "unknown device ' sim' (expected sim, sim:VERSION, unix:PATH or a hidraw path such as /dev/hidraw0)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string("'") + c.text + "'");
        std::string error;
        const auto name = parseDeviceName(c.text, error);
        ASSERT_EQ(name.has_value(), c.valid) << error;
        if (c.valid) {
            EXPECT_EQ(name->kind, c.kind);
            EXPECT_EQ(name->argument, c.argumentOrError);
            EXPECT_EQ(error, "");
        } else {
            EXPECT_EQ(error, c.argumentOrError);
        }
    }
}

}  // namespace
}  // namespace qv7
