// The device lock between real processes: a holder's name and hand-over address reach the next taker, and a
// holder killed outright leaves the device free.
#include "device/device_lock.h"

#include <grp.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <string>

#include "temp_dir.h"

namespace qv7 {
namespace {

class DeviceLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        saved_ = old ? old : "";
        hadOld_ = old != nullptr;
        ::setenv("XDG_RUNTIME_DIR", dir_.string().c_str(), 1);
    }
    void TearDown() override {
        if (hadOld_) ::setenv("XDG_RUNTIME_DIR", saved_.c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
    }
    test::TempDir dir_;
    std::string saved_;
    bool hadOld_ = false;
};

TEST_F(DeviceLockTest, OneHolderPerDeviceAndTheOthersLearnWhoItIs) {
    const std::string key = socketLockKey("/run/qv7/tolka");
    DeviceLock panel = DeviceLock::tryTake(key, {"qv7-panel", 1234, "/run/user/1/qv7-panel"});
    ASSERT_EQ(panel.status(), DeviceLock::Status::Held) << panel.detail();

    // flock belongs to the open file: a second taking in the same process is refused like another program's.
    const DeviceLock second = DeviceLock::tryTake(key, {"qv7ctl", 99, ""});
    ASSERT_EQ(second.status(), DeviceLock::Status::Busy);
    EXPECT_EQ(second.holder().program, "qv7-panel");
    EXPECT_EQ(second.holder().pid, 1234);
    EXPECT_EQ(second.holder().handover, "/run/user/1/qv7-panel");

    // Another device, and a device that lives in one process, are not held by it.
    EXPECT_TRUE(DeviceLock::tryTake(deviceLockKey("/dev/hidraw7"), {"qv7ctl", 99, ""}).held());
    EXPECT_TRUE(DeviceLock::tryTake("", {"qv7ctl", 99, ""}).held());
    // Names too long for a file still get one of their own.
    const std::string longA = socketLockKey("/" + std::string(300, 'a') + "/x");
    const std::string longB = socketLockKey("/" + std::string(300, 'a') + "/y");
    DeviceLock a = DeviceLock::tryTake(longA, {"qv7ctl", 1, ""});
    ASSERT_TRUE(a.held()) << a.detail();
    EXPECT_TRUE(DeviceLock::tryTake(longB, {"qv7ctl", 1, ""}).held());
    EXPECT_EQ(DeviceLock::tryTake(longA, {"qv7ctl", 1, ""}).status(), DeviceLock::Status::Busy);

    panel.release();
    EXPECT_TRUE(DeviceLock::tryTake(key, {"qv7ctl", 99, ""}).held());
}

TEST_F(DeviceLockTest, AKilledHolderLeavesTheDeviceFree) {
    const std::string key = socketLockKey("/run/qv7/tolka");
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        DeviceLock held = DeviceLock::tryTake(key, {"qv7ctl", static_cast<long>(::getpid()), ""});
        const char c = held.held() ? 'y' : 'n';
        if (::write(ready[1], &c, 1) != 1) ::_exit(2);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(c, 'y');

    const DeviceLock busy = DeviceLock::tryTake(key, {"qv7-panel", 1, ""});
    EXPECT_EQ(busy.status(), DeviceLock::Status::Busy);
    EXPECT_EQ(busy.holder().program, "qv7ctl");
    EXPECT_EQ(busy.holder().pid, child);

    ::kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(DeviceLock::tryTake(key, {"qv7-panel", 1, ""}).held());
}

// A child process running `body` as `uid` with a runtime folder of its own; what it says comes back as a line.
// A holder stays until killed, so the lock stays with it.
struct Child {
    pid_t pid = -1;
    std::string said;
};

Child runAs(uid_t uid, const std::string& runtime, const std::function<std::string()>& body, bool stay) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipeFds[0]);
        if (uid != ::geteuid() &&
            (::setgroups(0, nullptr) != 0 || ::setresgid(uid, uid, uid) != 0 || ::setresuid(uid, uid, uid) != 0))
            ::_exit(3);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        const std::string line = body() + "\n";
        if (::write(pipeFds[1], line.data(), line.size()) != static_cast<ssize_t>(line.size())) ::_exit(2);
        if (stay)
            for (;;) ::pause();
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    Child c{pid, {}};
    char ch = 0;
    while (pid > 0 && ::read(pipeFds[0], &ch, 1) == 1 && ch != '\n') c.said += ch;
    ::close(pipeFds[0]);
    if (!stay && pid > 0) ::waitpid(pid, nullptr, 0);
    return c;
}

void end(Child& c) {
    if (c.pid <= 0) return;
    ::kill(c.pid, SIGKILL);
    ::waitpid(c.pid, nullptr, 0);
    c.pid = -1;
}

std::string statusWord(const DeviceLock& lock) {
    switch (lock.status()) {
    case DeviceLock::Status::Held:
        return "held";
    case DeviceLock::Status::Busy:
        return "busy by " + lock.holder().program + " pid " + std::to_string(lock.holder().pid);
    case DeviceLock::Status::NoPlace:
        return "no place: " + lock.detail();
    }
    return "?";
}

std::string ownName() {
    std::ifstream comm("/proc/self/comm");
    std::string name;
    std::getline(comm, name);
    return name;
}

// Two programs of one user that look in different folders (another session's, or none) still exclude each other
// on a device node, and the one refused learns which program holds it. A file stands in for the hidraw node:
// flock on it behaves as on the node.
TEST_F(DeviceLockTest, TheNodeItselfIsLockedForProgramsThatLookInAnotherFolder) {
    const std::string node = (dir_ / "hidraw-standin").string();
    std::ofstream(node).put('\0');
    const std::string key = deviceLockKey(node);
    const std::string here = (dir_ / "session-a").string(), there = (dir_ / "session-b").string();
    ASSERT_EQ(::mkdir(here.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(there.c_str(), 0700), 0);

    for (const bool inChild : {false, true}) {
        SCOPED_TRACE(inChild ? "held by another process" : "held by this process");
        ::setenv("XDG_RUNTIME_DIR", here.c_str(), 1);
        DeviceLock held;
        Child holder;
        long holderPid = ::getpid();
        if (inChild) {
            holder = runAs(
                ::geteuid(), here,
                [&] {
                    static DeviceLock kept;
                    kept = DeviceLock::tryTake(key, {"qv7-panel", static_cast<long>(::getpid()), ""});
                    return statusWord(kept);
                },
                true);
            ASSERT_EQ(holder.said, "held");
            holderPid = holder.pid;
        } else {
            held = DeviceLock::tryTake(key, {"qv7-panel", holderPid, ""});
            ASSERT_EQ(statusWord(held), "held");
        }

        ::setenv("XDG_RUNTIME_DIR", there.c_str(), 1);
        const DeviceLock refused = DeviceLock::tryTake(key, {"qv7ctl", 1, ""});
        EXPECT_EQ(statusWord(refused), "busy by " + ownName() + " pid " + std::to_string(holderPid));

        held.release();
        end(holder);
        EXPECT_EQ(statusWord(DeviceLock::tryTake(key, {"qv7ctl", 1, ""})), "held");
    }
}

// The kernel's flock between two users' processes on one shared node, each with its own runtime folder: root
// without a session beside a user's panel, and the other way round. Needs root to become another user.
TEST_F(DeviceLockTest, AnotherUsersHoldIsRefusedAndSaidSo) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a process as another user";
    constexpr uid_t kOther = 65534;  // nobody
    ASSERT_EQ(::chmod(dir_.string().c_str(), 0711), 0);
    const std::string node = (dir_ / "hidraw-standin").string();
    std::ofstream(node).put('\0');
    // As a hidraw node with the seat's access: both may open it.
    ASSERT_EQ(::chmod(node.c_str(), 0666), 0);
    const std::string key = deviceLockKey(node);
    const std::string rootRun = (dir_ / "run-root").string(), otherRun = (dir_ / "run-other").string();
    ASSERT_EQ(::mkdir(rootRun.c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(otherRun.c_str(), 0700), 0);
    ASSERT_EQ(::chown(otherRun.c_str(), kOther, kOther), 0);

    const struct { uid_t holder, taker; } cases[] = {{kOther, 0}, {0, kOther}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "held by uid " << c.holder << ", taken by uid " << c.taker);
        auto take = [&] { return statusWord(DeviceLock::tryTake(key, {"qv7ctl", static_cast<long>(::getpid()), ""})); };
        Child holder = runAs(
            c.holder, c.holder == 0 ? rootRun : otherRun,
            [&] {
                static DeviceLock kept;
                kept = DeviceLock::tryTake(key, {"qv7-panel", static_cast<long>(::getpid()), "/run/user/x/qv7-panel"});
                return statusWord(kept);
            },
            true);
        ASSERT_EQ(holder.said, "held");
        const std::string takerRun = c.taker == 0 ? rootRun : otherRun;
        EXPECT_EQ(runAs(c.taker, takerRun, take, false).said,
                  "busy by another user's program pid " + std::to_string(holder.pid));
        end(holder);
        EXPECT_EQ(runAs(c.taker, takerRun, take, false).said, "held");
    }
}

TEST(DeviceHolderText, OnlyWholeWellFormedLinesCount) {
    const DeviceHolder h = parseHolder(holderText({"qv7-panel", 42, "/run/user/1/qv7-panel"}));
    EXPECT_EQ(h.program, "qv7-panel");
    EXPECT_EQ(h.pid, 42);
    EXPECT_EQ(h.handover, "/run/user/1/qv7-panel");

    const struct {
        const char* text;
        const char* program;
        long pid;
    } cases[] = {
        {"", "", 0},
        {"program qv7-pan", "", 0},  // still being written
        {"program qv7ctl\npid -5\n", "qv7ctl", 0},
        {"program qv7ctl\npid 12x\n", "qv7ctl", 0},
        {"garbage\n\n\npid 7\n", "", 7},
    };
    for (const auto& c : cases) {
        const DeviceHolder p = parseHolder(c.text);
        EXPECT_EQ(p.program, c.program) << c.text;
        EXPECT_EQ(p.pid, c.pid) << c.text;
    }
}

}  // namespace
}  // namespace qv7
