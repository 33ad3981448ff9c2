// Waiting for a device descriptor that another thread can interrupt: an eventfd beside the poll.
#pragma once

namespace qv7 {

enum class WaitResult { Readable, Timeout, Woken, Failed };

// A non-blocking eventfd, or -1 with errno set.
int makeWakeFd();
// Wakes the waiter on `wakeFd` (from any thread).
void signalWake(int wakeFd);
// Waits up to timeoutMs (negative: no limit) until `fd` is readable or hung up (`revents` says which)
// or `wakeFd` is signalled, which it consumes. Interrupted system calls are retried.
WaitResult waitReadable(int fd, int wakeFd, int timeoutMs, short& revents);

}  // namespace qv7
