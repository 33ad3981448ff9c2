// Holds a device's lock the way qv7ctl does during a long command, until it is killed: for the tests of what
// the panel and qv7ctl do beside a holder. usage: hold_device_lock unix:PATH|/dev/hidrawN
#include <unistd.h>

#include <cstdio>
#include <string>

#include "device/device_lock.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fputs("usage: hold_device_lock unix:PATH|/dev/hidrawN\n", stderr);
        return 2;
    }
    const std::string device = argv[1];
    const std::string key =
        device.rfind("unix:", 0) == 0 ? qv7::socketLockKey(device.substr(5)) : qv7::deviceLockKey(device);
    const qv7::DeviceLock lock = qv7::DeviceLock::tryTake(key, {"qv7ctl", static_cast<long>(getpid()), ""});
    if (!lock.held()) {
        std::fprintf(stderr, "hold_device_lock: %s is not free (%s)\n", key.c_str(), lock.detail().c_str());
        return 1;
    }
    std::printf("holding %s\n", key.c_str());
    std::fflush(stdout);
    for (;;) pause();
}
