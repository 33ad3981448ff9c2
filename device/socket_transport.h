// A Tolka behind a local SOCK_SEQPACKET socket: one datagram is one report's data bytes.
#pragma once

#include <memory>
#include <string>

#include "device/hid_transport.h"

namespace qv7 {

class SocketTransport : public HidTransport {
public:
    static constexpr std::size_t kReportLength = 64;

    // Connects to PATH; on failure returns null and says why in `error`.
    static std::unique_ptr<SocketTransport> connect(const std::string& path, std::string& error);
    ~SocketTransport() override;

    std::string describe() const override { return "unix:" + path_; }
    std::size_t inputReportLength() const override { return kReportLength; }
    std::size_t outputReportLength() const override { return kReportLength; }
    bool write(std::span<const uint8_t> data) override;
    ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) override;
    void interrupt() override;

private:
    SocketTransport(int fd, int wakeFd, std::string path) : fd_(fd), wakeFd_(wakeFd), path_(std::move(path)) {}
    int fd_;
    int wakeFd_;
    std::string path_;
};

// The other end, for simulated devices: a listening SOCK_SEQPACKET socket at `path`. It is bound under a staging
// name and renamed into place once it listens, so a client never finds a socket that refuses it. Returns the
// listening descriptor, or -1 with `error` saying why.
int listenForHost(const std::string& path, std::string& error);

}  // namespace qv7
