// Where para.bin lives: the override, the executable's directory, the XDG fallback.
#include "common/app_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "temp_dir.h"

namespace qv7 {
namespace {

using test::TempDir;

TEST(AppDir, ChoosesByTheRules) {
    struct Case {
        const char* what;
        std::optional<std::string> override_;
        bool exeWritable;
        std::optional<std::string> xdg, home;
        std::string expected;
    };
    const Case cases[] = {
        {.what = "override wins",
         .override_ = "/tmp/o",
         .exeWritable = true,
         .xdg = "/x",
         .home = "/h",
         .expected = "/tmp/o"},
        {.what = "empty override ignored",
         .override_ = "",
         .exeWritable = true,
         .xdg = "/x",
         .home = "/h",
         .expected = "/opt/tolka"},
        {.what = "writable executable directory",
         .override_ = std::nullopt,
         .exeWritable = true,
         .xdg = "/x",
         .home = "/h",
         .expected = "/opt/tolka"},
        {.what = "XDG when not writable",
         .override_ = std::nullopt,
         .exeWritable = false,
         .xdg = "/x",
         .home = "/h",
         .expected = "/x/qv7-panel"},
        {.what = "relative XDG ignored",
         .override_ = std::nullopt,
         .exeWritable = false,
         .xdg = "rel",
         .home = "/h",
         .expected = "/h/.config/qv7-panel"},
        {.what = "empty XDG ignored",
         .override_ = std::nullopt,
         .exeWritable = false,
         .xdg = "",
         .home = "/h",
         .expected = "/h/.config/qv7-panel"},
        {.what = "no XDG",
         .override_ = std::nullopt,
         .exeWritable = false,
         .xdg = std::nullopt,
         .home = "/h",
         .expected = "/h/.config/qv7-panel"},
        {.what = "nothing at all",
         .override_ = std::nullopt,
         .exeWritable = false,
         .xdg = std::nullopt,
         .home = std::nullopt,
         .expected = ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AppDirInputs in;
        in.overrideDir = c.override_;
        in.executableDir = "/opt/tolka";
        in.writable = [&](const std::filesystem::path&) { return c.exeWritable; };
        in.xdgConfigHome = c.xdg;
        in.home = c.home;
        EXPECT_EQ(chooseAppDir(in), std::filesystem::path(c.expected));
    }
}

class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* v = std::getenv(name)) old_ = v;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(AppDir, OverrideDirectoryIsCreatedAndUsed) {
    TempDir dir;
    const auto target = dir / "nested" / "cfg";
    ScopedEnv env("QV7_CONFIG_DIR", target.string());
    EXPECT_EQ(GetAppDirFile("para.bin"), (target / "para.bin").string());
    EXPECT_TRUE(std::filesystem::is_directory(target));
}

TEST(AppDir, WithoutOverrideTheTestsOwnDirectoryIsUsed) {
    ScopedEnv env("QV7_CONFIG_DIR", "");
    const auto exe = std::filesystem::read_symlink("/proc/self/exe");
    EXPECT_EQ(GetAppDirFile("TolkaPanel.ini"), (exe.parent_path() / "TolkaPanel.ini").string());
}

}  // namespace
}  // namespace qv7
