// The udev HID_ID property that tells a Tolka from other HID devices on hot-plug.
#include <gtest/gtest.h>

#include "hid/hotplug.h"

namespace qv7 {
namespace {

TEST(HidId, OnlyTheKernelsFormatNamesADevice) {
    struct Case {
        const char* text;
        std::optional<HidId> id;
    } cases[] = {
        {"0003:00000416:00001290", HidId{3, 0x416, 0x1290}},
        {"0005:0000046D:0000c52b", HidId{5, 0x46D, 0xC52B}},
        {"3:416:1290", HidId{3, 0x416, 0x1290}},
        // Nine digits would wrap around to the Tolka's vendor in a 32-bit field.
        {"0003:100000416:00001290", std::nullopt},
        {"0003:00000416:00001290:", std::nullopt},
        {"0003:00000416", std::nullopt},
        {"0003::00001290", std::nullopt},
        {" 0003:00000416:00001290", std::nullopt},
        {"0x3:0x416:0x1290", std::nullopt},
        {"0003:-0000416:00001290", std::nullopt},
        {"0003:00000416:00001290 trailing", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(parseHidId(c.text), c.id) << c.text;
}

}  // namespace
}  // namespace qv7
