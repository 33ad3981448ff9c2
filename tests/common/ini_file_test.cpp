// TolkaPanel.ini that is not a sane regular file: read as absent, never waited on, never loaded whole.
#include "common/ini_file.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "temp_dir.h"

namespace qv7 {
namespace {

namespace fs = std::filesystem;

// The sanitizers' shadow memory needs the address space a cap would take away.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr bool kSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
constexpr bool kSanitizer = true;
#else
constexpr bool kSanitizer = false;
#endif
#else
constexpr bool kSanitizer = false;
#endif

class IniFile : public ::testing::Test {
protected:
    void SetUp() override { ini_ = (dir_ / "TolkaPanel.ini").string(); }
    qv7::test::TempDir dir_;
    std::string ini_;
};

// Runs `body` in a child with an alarm and an address-space cap, so a read that blocks or loads a
// huge file fails the test instead of hanging it or exhausting the machine. The child's exit code is
// what body returns.
int inGuardedChild(const std::function<int()>& body) {
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(10);
        if (!kSanitizer) {
            rlimit as{};
            as.rlim_cur = as.rlim_max = rlim_t{512} << 20;
            ::setrlimit(RLIMIT_AS, &as);
        }
        ::_exit(body());
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return WEXITSTATUS(status);
}

TEST_F(IniFile, OnlyASaneRegularFileIsRead) {
    const std::string stamp = "[Setting]\nlast_date=2025-3-7\n";
    const struct {
        const char* what;
        std::function<void(const std::string&)> make;
        const char* expected;
    } cases[] = {
        {"regular file", [&](const std::string& p) { std::ofstream(p) << stamp; }, "2025-3-7"},
        {"fifo with no writer", [](const std::string& p) { ::mkfifo(p.c_str(), 0644); }, "null"},
        {"1 GiB sparse file starting with a stamp",
         [&](const std::string& p) {
             std::ofstream(p) << stamp;
             fs::resize_file(p, std::uintmax_t{1} << 30);
         },
         "null"},
        {"just over 64 KiB",
         [&](const std::string& p) {
             std::ofstream(p) << stamp << std::string(65536 - stamp.size() - 1, ';') << "\n"
                              << "x";
         },
         "null"},
        {"exactly 64 KiB",
         [&](const std::string& p) { std::ofstream(p) << stamp << std::string(65536 - stamp.size() - 1, ';') << "\n"; },
         "2025-3-7"},
        {"symlink to /dev/zero", [](const std::string& p) { fs::create_symlink("/dev/zero", p); }, "null"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove(ini_);
        c.make(ini_);
        const std::string expected = c.expected;
        const int rc =
            inGuardedChild([&] { return ReadIniString(ini_, "Setting", "last_date", "null") == expected ? 0 : 1; });
        EXPECT_EQ(rc, 0) << (rc == 128 + SIGALRM ? "blocked" : rc > 128 ? "crashed (out of memory?)" : "wrong value");
    }
}

// What could not be read is not replaced by a file holding only the stamp.
TEST_F(IniFile, WritingLeavesAFileItCouldNotReadAlone) {
    std::ofstream(ini_) << "[Setting]\nlast_date=2025-3-7\n";
    fs::resize_file(ini_, 100000);
    const int rc = inGuardedChild([&] { return WriteIniString(ini_, "Setting", "last_date", "2026-1-1") ? 1 : 0; });
    EXPECT_EQ(rc, 0) << "refused";
    EXPECT_EQ(fs::file_size(ini_), 100000u);

    fs::remove(ini_);
    ASSERT_EQ(::mkfifo(ini_.c_str(), 0644), 0);
    EXPECT_EQ(inGuardedChild([&] { return WriteIniString(ini_, "Setting", "last_date", "2026-1-1") ? 1 : 0; }), 0);
    EXPECT_TRUE(fs::is_fifo(ini_));
}

}  // namespace
}  // namespace qv7
