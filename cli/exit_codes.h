// qv7ctl's exit codes: every command, and every helper whose result becomes the program's, returns one of these.
#pragma once

namespace qv7::cli {

// Scripts and the README rely on these values; a new meaning gets a new value, never a reused one.
//
//   0  kOk        done; also a firmware check that reached the service, offer or not
//   1  kFailed    the device refused or failed, the service's reply or offer was unusable,
//                 or the firmware update was not done (declined at the question included)
//   2  kUsage     bad arguments or a value the device would refuse; nothing was sent
//   3  kNoDevice  nothing to talk to, no answer within --timeout, the device went away,
//                 a firmware write that stopped making progress, or `watch` out of time
//   4  kInUse     another program holds the Tolka: the panel, for a command it does not carry out for
//                 qv7ctl, or another qv7ctl for longer than --timeout; nothing was sent
enum Exit : int {
    kOk = 0,
    kFailed = 1,
    kUsage = 2,
    kNoDevice = 3,
    kInUse = 4,
};

}  // namespace qv7::cli
