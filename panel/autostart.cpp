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

}  // namespace

std::filesystem::path autostartFile() {
    std::filesystem::path config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && xdg[0] == '/') config = xdg;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        config = std::filesystem::path(home) / ".config";
    else return {};
    return config / "autostart" / kEntryName;
}

std::string autostartEntry() {
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Tolka Panel\n"
           "Name[zh_CN]=Tolka面板\n"
           "Comment=Starts the Tolka panel hidden in the tray\n"
           "Comment[zh_CN]=开机时启动Tolka面板并隐藏到托盘\n"
           "Exec=qv7-panel --minimized\n"
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

FileResult setAutostart(const std::filesystem::path& file, bool on) {
    if (file.empty()) return {false, "no configuration folder: neither XDG_CONFIG_HOME nor HOME is set"};
    std::error_code ec;
    if (!on) {
        if (!std::filesystem::remove(file, ec) && ec)
            return {false, systemError("cannot remove " + file.string(), ec.value())};
        return {};
    }
    std::filesystem::create_directories(file.parent_path(), ec);
    if (ec) return {false, systemError("cannot create " + file.parent_path().string(), ec.value())};
    const std::string entry = autostartEntry();
    return writeFileAtomically(file, {reinterpret_cast<const uint8_t*>(entry.data()), entry.size()});
}

}  // namespace qv7::panel
