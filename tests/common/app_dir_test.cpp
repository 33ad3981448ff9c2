// Where para.bin lives: the override, the executable's directory, the XDG fallback.
#include "common/app_dir.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "test_support.h"

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
        {"override wins", "/tmp/o", true, "/x", "/h", "/tmp/o"},
        {"empty override ignored", "", true, "/x", "/h", "/opt/tolka"},
        {"writable executable directory", std::nullopt, true, "/x", "/h", "/opt/tolka"},
        {"XDG when not writable", std::nullopt, false, "/x", "/h", "/x/qv7-panel"},
        {"relative XDG ignored", std::nullopt, false, "rel", "/h", "/h/.config/qv7-panel"},
        {"empty XDG ignored", std::nullopt, false, "", "/h", "/h/.config/qv7-panel"},
        {"no XDG", std::nullopt, false, std::nullopt, "/h", "/h/.config/qv7-panel"},
        {"nothing at all", std::nullopt, false, std::nullopt, std::nullopt, ""},
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
