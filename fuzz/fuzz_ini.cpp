// TolkaPanel.ini as the reader finds it on disk: any bytes. Reading never returns more than the buffer holds;
// a key written with the writer reads back as written, and every other key keeps its value.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "common/ini_file.h"
#include "fuzz_support.h"

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Names and values the program itself writes: one line, no surrounding blanks, keys that cannot be read
// as a comment or a section header, sections without a closing bracket inside.
bool writable(std::string_view section, std::string_view key, std::string_view value) {
    auto oneLine = [](std::string_view s) {
        return s.find_first_of("\n\r") == std::string_view::npos && trimmed(s) == s;
    };
    return oneLine(section) && oneLine(key) && oneLine(value) && section.find(']') == std::string_view::npos &&
           !key.empty() && key.find('=') == std::string_view::npos && key.front() != ';' && key.front() != '#' &&
           key.front() != '[';
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(24);
    const std::string key = in.ConsumeRandomLengthString(24);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string otherSection = in.ConsumeRandomLengthString(24);
    const std::string otherKey = in.ConsumeRandomLengthString(24);
    const std::size_t bufferSize = in.ConsumeIntegralInRange<std::size_t>(0, 600);
    const std::string file = in.ConsumeRemainingBytesAsString();

    const std::string path = (qv7::fuzz::scratchDir() / "TolkaPanel.ini").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << file;
    }
    const std::string read = qv7::ReadIniString(path, section, key, "fallback", bufferSize);
    qv7::fuzz::require(bufferSize == 0 || read.size() < bufferSize, "a value longer than the buffer");

    if (!writable(section, key, value)) return 0;
    const std::string otherBefore = qv7::ReadIniString(path, otherSection, otherKey, "none", 1 << 20);
    qv7::fuzz::require(qv7::WriteIniString(path, section, key, value), "writing the scratch file failed");
    qv7::fuzz::require(qv7::ReadIniString(path, section, key, "none", 1 << 20) == value,
                       "a written key does not read back");
    if (!(sameName(trimmed(otherSection), section) && sameName(trimmed(otherKey), key)))
        qv7::fuzz::require(qv7::ReadIniString(path, otherSection, otherKey, "none", 1 << 20) == otherBefore,
                           "writing one key changed another");
    return 0;
}
