// Resolves the panel's file directory from the environment, /proc/self/exe and the XDG rules.
#include "common/app_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace qv7 {
namespace {

std::optional<std::string> env(const char* name) {
    const char* v = std::getenv(name);
    if (v == nullptr) return std::nullopt;
    return std::string(v);
}

}  // namespace

std::filesystem::path chooseAppDir(const AppDirInputs& in) {
    if (in.overrideDir && !in.overrideDir->empty()) return *in.overrideDir;
    if (in.executableDir && in.writable && in.writable(*in.executableDir)) return *in.executableDir;
    if (in.xdgConfigHome && !in.xdgConfigHome->empty() && std::filesystem::path(*in.xdgConfigHome).is_absolute())
        return std::filesystem::path(*in.xdgConfigHome) / "qv7-panel";
    if (in.home && !in.home->empty()) return std::filesystem::path(*in.home) / ".config" / "qv7-panel";
    return {};
}

std::filesystem::path appDir() {
    AppDirInputs in;
    in.overrideDir = env("QV7_CONFIG_DIR");
    std::error_code ec;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec && exe.has_parent_path()) in.executableDir = exe.parent_path();
    in.writable = [](const std::filesystem::path& p) { return ::access(p.c_str(), W_OK) == 0; };
    in.xdgConfigHome = env("XDG_CONFIG_HOME");
    in.home = env("HOME");
    if (!in.home || in.home->empty()) {
        if (const passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) in.home = pw->pw_dir;
    }
    auto dir = chooseAppDir(in);
    // A failure shows up later, when the file in it cannot be written.
    if (!dir.empty()) std::filesystem::create_directories(dir, ec);
    return dir;
}

std::string GetAppDirFile(std::string_view name) {
    const auto dir = appDir();
    return (dir.empty() ? std::filesystem::path(name) : dir / name).string();
}

}  // namespace qv7
