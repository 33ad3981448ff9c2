// Where the panel keeps its own files (para.bin, TolkaPanel.ini).
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qv7 {

// The facts the choice depends on, so the rule can be tested without touching the real system.
struct AppDirInputs {
    std::optional<std::string> overrideDir;  // QV7_CONFIG_DIR
    std::optional<std::filesystem::path> executableDir;
    std::function<bool(const std::filesystem::path&)> writable;
    std::optional<std::string> xdgConfigHome;  // XDG_CONFIG_HOME
    std::optional<std::string> home;           // HOME
};

// QV7_CONFIG_DIR when set and non-empty; else the executable's directory when writable (portable
// use, as on the original platform); else $XDG_CONFIG_HOME/qv7-panel, where a relative or empty
// XDG_CONFIG_HOME counts as unset and falls back to $HOME/.config. Empty when nothing applies.
std::filesystem::path chooseAppDir(const AppDirInputs& in);

// The directory for this process, created when needed.
std::filesystem::path appDir();

// The full path of `name` in appDir(), e.g. GetAppDirFile("para.bin").
std::string GetAppDirFile(std::string_view name);

}  // namespace qv7
