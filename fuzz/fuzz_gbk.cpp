// GBK both ways: whatever converts must convert back to the same bytes, the display form never fails,
// and fitToBytes gives a whole-character prefix within its byte budget.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "common/gbk_text.h"
#include "fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace qv7;
    FuzzedDataProvider in(data, size);
    const std::size_t budget = in.ConsumeIntegralInRange<std::size_t>(0, 40);
    const std::string text = in.ConsumeRemainingBytesAsString();

    // The bytes as GBK (a name from the device or para.bin).
    if (const auto utf8 = gbk::toUtf8(text)) {
        fuzz::require(gbk::fromUtf8(*utf8) == text, "GBK -> UTF-8 -> GBK changed the bytes");
        fuzz::require(gbk::toUtf8Display(text) == *utf8, "the display form of valid GBK differs");
    } else {
        (void)gbk::toUtf8Display(text);
    }

    // The bytes as UTF-8 (a name typed by the user).
    const auto encoded = gbk::fromUtf8(text);
    const auto length = gbk::byteLength(text);
    fuzz::require(encoded.has_value() == length.has_value(), "fromUtf8 and byteLength disagree");
    if (encoded) {
        fuzz::require(*length == encoded->size(), "byteLength is not the encoded length");
        fuzz::require(gbk::toUtf8(*encoded) == text, "UTF-8 -> GBK -> UTF-8 changed the text");
    }
    const std::string fitted = gbk::fitToBytes(text, budget);
    fuzz::require(text.compare(0, fitted.size(), fitted) == 0, "fitToBytes is not a prefix");
    const auto fittedLength = gbk::byteLength(fitted);
    fuzz::require(fittedLength.has_value() && *fittedLength <= budget, "fitToBytes went over its budget");
    if (encoded && *length <= budget) fuzz::require(fitted == text, "fitToBytes cut a text that fits");

    const auto field = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const std::string upToZero = gbk::textUpToZero(field);
    fuzz::require(upToZero.find('\0') == std::string::npos && text.compare(0, upToZero.size(), upToZero) == 0,
                  "textUpToZero is not the part before the first zero");
    return 0;
}
