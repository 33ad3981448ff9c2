// What the hidraw layer reads from the system: report descriptors, raw input reports and the udev HID_ID
// property, and the output framing it builds. Lengths must stay within their bounds, framing must keep the
// data intact, and only a well-formed HID_ID names a device.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "hid/hotplug.h"
#include "hid/report_descriptor.h"

namespace {

bool within(const qv7::hid::ReportLengths& l) {
    return l.input <= qv7::hid::kMaxReportBytes && l.output <= qv7::hid::kMaxReportBytes &&
           l.feature <= qv7::hid::kMaxReportBytes;
}

bool isHexDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv7;
    FuzzedDataProvider in(data, size);
    const auto choice = in.ConsumeIntegralInRange<int>(0, 2);
    const std::size_t length = in.ConsumeIntegralInRange<std::size_t>(0, 256);
    const bool numbered = in.ConsumeBool();
    const auto bytes = in.ConsumeRemainingBytes<uint8_t>();

    if (choice == 0) {
        if (const auto info = hid::parseReportDescriptor(bytes)) {
            fuzz::require(within(info->unnumbered), "an unnumbered report over the limit");
            for (const auto& [id, lengths] : info->numbered)
                fuzz::require(id != 0 && within(lengths), "a numbered report with id 0 or over the limit");
        }
    } else if (choice == 1) {
        const auto frame = hid::frameOutputReport(bytes, length);
        fuzz::require(frame.has_value() == (bytes.size() <= length), "framing refused data that fit, or cut data");
        if (frame) {
            fuzz::require(frame->size() == length + 1 && (*frame)[0] == 0, "a frame of the wrong length or id");
            fuzz::require(std::equal(bytes.begin(), bytes.end(), frame->begin() + 1) &&
                              std::all_of(frame->begin() + 1 + static_cast<std::ptrdiff_t>(bytes.size()), frame->end(),
                                          [](uint8_t b) { return b == 0; }),
                          "a frame that changed the data or was not zero-padded");
        }
        const auto report = hid::inputReportData(bytes, length, numbered);
        fuzz::require(report.size() == length, "an input report of the wrong length");
        const std::size_t skip = numbered && !bytes.empty() ? 1 : 0;
        const std::size_t n = std::min(bytes.size() - skip, length);
        fuzz::require(std::equal(bytes.begin() + static_cast<std::ptrdiff_t>(skip),
                                 bytes.begin() + static_cast<std::ptrdiff_t>(skip + n), report.begin()),
                      "an input report that changed the data");
    } else {
        const std::string text(bytes.begin(), bytes.end());
        const auto id = parseHidId(text);
        // The reference: three colon-separated fields of one to eight hex digits, and nothing else.
        bool wellFormed = true;
        int fields = 1;
        std::size_t digits = 0;
        for (char c : text) {
            if (c == ':') {
                wellFormed = wellFormed && digits > 0;
                ++fields;
                digits = 0;
            } else if (isHexDigit(c)) {
                ++digits;
                wellFormed = wellFormed && digits <= 8;
            } else {
                wellFormed = false;
            }
        }
        wellFormed = wellFormed && fields == 3 && digits > 0;
        fuzz::require(id.has_value() == wellFormed, "HID_ID accepted or refused against its format");
        if (id) {
            char again[32];
            std::snprintf(again, sizeof again, "%X:%X:%X", id->bus, id->vendor, id->product);
            fuzz::require(parseHidId(again) == id, "HID_ID fields do not survive a round trip");
        }
    }
    return 0;
}
