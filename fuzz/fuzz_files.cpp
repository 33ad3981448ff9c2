// Untrusted bytes from files and the network: presets files, service replies, link files and HID
// report descriptors. The first byte picks the parser; none may crash or read out of bounds.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "hid/report_descriptor.h"
#include "params/preset_file.h"
#include "update/version_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const std::span<const uint8_t> bytes(data + 1, size - 1);
    const std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    switch (data[0] % 4) {
    case 0:
        (void)qv7::decodeUserPresets(bytes);
        break;
    case 1:
        (void)qv7::ParseVersionCheckReply(text);
        break;
    case 2:
        (void)qv7::ExtractLinkAddress(text);
        break;
    default:
        (void)qv7::hid::parseReportDescriptor(bytes);
        break;
    }
    return 0;
}
