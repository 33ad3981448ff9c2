#include "panel/process_guards.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>

namespace qv7::panel {

namespace {
void onBrokenPipe(int) {}
}  // namespace

void reopenClosedStandardStreams() {
    for (int fd = 0; fd <= 2; ++fd) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
        // open() takes the lowest free descriptor, which is this one while the lower ones are open.
        const int null = open("/dev/null", O_RDWR);
        if (null != fd) _exit(127);  // nowhere safe to write, and nothing safe to do
    }
}

void surviveBrokenPipes() {
    struct sigaction action {};
    action.sa_handler = onBrokenPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

}  // namespace qv7::panel
