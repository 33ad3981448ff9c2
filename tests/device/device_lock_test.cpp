// The device lock between real processes: a holder's name and hand-over address reach the next taker, and a
// holder killed outright leaves the device free.
#include "device/device_lock.h"

#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

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
