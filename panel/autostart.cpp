#include "panel/autostart.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <string_view>
#include <system_error>

#include "common/small_file.h"
#include "common/system_error.h"

namespace qv7::panel {

namespace {

constexpr std::string_view kEntryName = "io.github.qv7panel.Qv7Panel.desktop";
// An entry is a few hundred bytes; anything much larger is not one of ours and is not read whole.
constexpr std::size_t kEntryLimit = 64 * 1024;

std::string trimmed(std::string_view s) {
    const auto begin = s.find_first_not_of(" \t\r");
    if (begin == std::string_view::npos) return {};
    const auto end = s.find_last_not_of(" \t\r");
    return std::string(s.substr(begin, end - begin + 1));
}

// A valid UTF-8 text without control characters: what an Exec value can carry through the string escapes.
bool plainUtf8(std::string_view s) {
    for (std::size_t i = 0; i < s.size();) {
        const auto c = static_cast<unsigned char>(s[i]);
        if (c < 0x20 || c == 0x7F) return false;
        std::size_t n = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
        if (n == 0 || (n == 2 && c < 0xC2) || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// One Exec argument in double quotes. The quoting escapes `"`, `` ` ``, `$` and `\` with a backslash; the key's value
// is a string whose own escapes double every backslash, the quoting's and the character's; `%` doubled is no field
// code.
std::string quotedExecArgument(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') out += R"(\\)";
        if (c == '\\') out += R"(\\)";
        else if (c == '%') out += "%%";
        else out += c;
    }
    return out + "\"";
}

bool sameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    const bool same = std::filesystem::equivalent(a, b, ec);
    return !ec && same;
}

}  // namespace

std::optional<std::string> autostartCommand(const std::filesystem::path& running,
                                            std::span<const std::filesystem::path> sessionPath) {
    if (running.filename() == "qv7-panel")
        for (const auto& folder : sessionPath)
            if (sameFile(folder / "qv7-panel", running)) return "qv7-panel";
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(running, ec);
    const std::string text = absolute.string();
    if (ec || !plainUtf8(text)) return std::nullopt;
    return quotedExecArgument(text);
}

std::filesystem::path runningProgram() {
    std::error_code ec;
    std::string self = std::filesystem::read_symlink("/proc/self/exe", ec).string();
    // A package upgrade replaces the file under a running panel; the new one is at the same place.
    constexpr std::string_view kReplaced = " (deleted)";
    if (self.ends_with(kReplaced)) self.resize(self.size() - kReplaced.size());
    return ec ? std::filesystem::path() : std::filesystem::path(self);
}

std::filesystem::path autostartFile() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        config = std::filesystem::path(home) / ".config";
    else return {};
    return config / "autostart" / kEntryName;
}

std::string autostartEntry(const std::string& command) {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tolka Panel\n"
           "Name[zh_CN]=Tolka面板\n"
           "Comment=Starts the Tolka panel hidden in the tray\n"
           "Comment[zh_CN]=开机时启动Tolka面板并隐藏到托盘\n"
           "Exec=" +
           command +
           " --minimized\n"
           "Icon=qv7-panel\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool autostartEnabled(const std::filesystem::path& file) {
    const SmallFile f = readSmallFile(file, kEntryLimit);
    if (f.status != SmallFile::Status::Ok) return false;
    const std::string_view text(reinterpret_cast<const char*>(f.bytes.data()), f.bytes.size());
    bool inEntry = false;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) end = text.size();
        const std::string line = trimmed(text.substr(start, end - start));
        start = end + 1;
        if (line.starts_with('[')) {
            inEntry = line == "[Desktop Entry]";
            continue;
        }
        if (!inEntry) continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = trimmed(std::string_view(line).substr(0, eq));
        const std::string value = trimmed(std::string_view(line).substr(eq + 1));
        if (key == "Hidden" && value == "true") return false;
        if (key == "X-GNOME-Autostart-enabled" && value == "false") return false;
    }
    return true;
}

FileResult setAutostart(const std::filesystem::path& file, bool on, const std::filesystem::path& running) {
    if (file.empty()) return {false, "no configuration folder: neither XDG_CONFIG_HOME nor HOME is set"};
    std::error_code ec;
    if (!on) {
        if (!std::filesystem::remove(file, ec) && ec)
            return {false, systemError("cannot remove " + file.string(), ec.value())};
        return {};
    }
    const auto command = autostartCommand(running);
    if (!command) return {false, "the program's path cannot be written in an autostart entry: " + running.string()};
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) return {false, systemError("cannot create " + file.parent_path().string(), ec.value())};
    const std::string entry = autostartEntry(*command);
    return writeFileAtomically(file, {reinterpret_cast<const uint8_t*>(entry.data()), entry.size()});
}

}  // namespace qv7::panel
