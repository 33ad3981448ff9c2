// Serves the simulated Tolka on a local SOCK_SEQPACKET socket, one datagram per report.
#pragma once

#include <atomic>
#include <string>

#include "sim/fault_injector.h"
#include "sim/report_responder.h"

namespace qv7::sim {

struct ServerOptions {
    std::string path;
    FaultConfig toDevice;
    FaultConfig toHost;
    long unplugAfter = -1;  // close the link and stop after sending this many reports
    bool verbose = false;   // one line per command on standard error
};

// Serves clients one after another until `stop` is set or the device is unplugged.
// Returns 0, or 1 with a message on standard error when the socket cannot be set up.
int serveSocket(ReportResponder& device, const ServerOptions& options, const std::atomic<bool>& stop);

}  // namespace qv7::sim
