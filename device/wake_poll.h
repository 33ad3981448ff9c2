// Waiting for a device descriptor that another thread can interrupt: an eventfd beside the poll.
#pragma once

#include <optional>

#include "device/hid_transport.h"

namespace qv7 {

// A non-blocking eventfd, or -1 with errno set.
int makeWakeFd();
// Wakes the waiter on `wakeFd` (from any thread).
void signalWake(int wakeFd);
// Waits up to timeoutMs (negative: no limit) until `fd` is readable or hung up: nothing, with
// `revents` saying which. Otherwise what the read returns: Timeout, Interrupted when `wakeFd` was
// signalled (the signal is consumed), Gone when poll itself fails. Interrupted system calls are retried.
std::optional<ReadStatus> waitReadable(int fd, int wakeFd, int timeoutMs, short& revents);

}  // namespace qv7
