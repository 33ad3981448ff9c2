// INI access for TolkaPanel.ini: line-based, case-insensitive names, atomic replacement on write.
#include "common/ini_file.h"

#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

#include "common/atomic_file.h"
#include "common/small_file.h"

namespace qv7 {
namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// "[name]" gives name; anything else gives nothing.
bool sectionHeader(std::string_view line, std::string_view& name) {
    line = trim(line);
    if (line.size() < 2 || line.front() != '[') return false;
    size_t close = line.find(']');
    if (close == std::string_view::npos) return false;
    name = trim(line.substr(1, close - 1));
    return true;
}

bool keyLine(std::string_view line, std::string_view& key, std::string_view& value) {
    size_t eq = line.find('=');
    if (eq == std::string_view::npos) return false;
    key = trim(line.substr(0, eq));
    value = trim(line.substr(eq + 1));
    return !key.empty() && key.front() != ';' && key.front() != '#';
}

// The settings file holds a line or two; anything larger is not ours to parse.
constexpr std::size_t kMaxIniSize = 64 * 1024;

// The file's lines; none for a missing file; nothing at all for one that is not a sane regular file
// (a FIFO that would block start-up, a device, a huge or unreadable file).
std::optional<std::vector<std::string>> readLines(const std::string& path) {
    const SmallFile file = readSmallFile(path, kMaxIniSize);
    if (file.status == SmallFile::Status::Missing) return std::vector<std::string>{};
    if (file.status != SmallFile::Status::Ok) return std::nullopt;
    std::vector<std::string> lines;
    const std::string_view text(reinterpret_cast<const char*>(file.bytes.data()), file.bytes.size());
    for (std::size_t start = 0; start < text.size();) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

}  // namespace

std::string ReadIniString(const std::string& path, std::string_view section, std::string_view key,
                          std::string_view fallback, size_t bufferSize) {
    std::string result(fallback);
    bool inSection = false;
    for (const std::string& line : readLines(path).value_or(std::vector<std::string>{})) {
        std::string_view name, k, v;
        if (sectionHeader(line, name)) {
            inSection = sameName(name, section);
        } else if (inSection && keyLine(line, k, v) && sameName(k, key)) {
            result = std::string(v);
            break;
        }
    }
    if (bufferSize > 0 && result.size() > bufferSize - 1) result.resize(bufferSize - 1);
    return result;
}

bool WriteIniString(const std::string& path, std::string_view section, std::string_view key, std::string_view value) {
    // What could not be read is left alone rather than replaced by a file holding one line.
    auto read = readLines(path);
    if (!read) return false;
    std::vector<std::string> lines = std::move(*read);
    std::string entry = std::string(key) + "=" + std::string(value);
    bool inSection = false, sectionSeen = false, written = false;
    size_t insertAt = lines.size();
    for (size_t i = 0; i < lines.size() && !written; ++i) {
        std::string_view name, k, v;
        if (sectionHeader(lines[i], name)) {
            if (inSection) break;
            inSection = sameName(name, section);
            if (inSection) {
                sectionSeen = true;
                insertAt = i + 1;
            }
        } else if (inSection) {
            if (keyLine(lines[i], k, v) && sameName(k, key)) {
                lines[i] = entry;
                written = true;
            } else if (!trim(lines[i]).empty()) {
                insertAt = i + 1;
            }
        }
    }
    if (!written) {
        if (sectionSeen) {
            lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(insertAt), entry);
        } else {
            lines.push_back("[" + std::string(section) + "]");
            lines.push_back(entry);
        }
    }
    std::string text;
    for (const std::string& l : lines) text += l + "\n";

    // A stamp killed half-way left its temporary file; the next stamp is the time to clear it.
    removeStaleTemporaryFiles(path);
    return static_cast<bool>(
        writeFileAtomically(path, std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size())));
}

}  // namespace qv7
