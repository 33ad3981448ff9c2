// A Tolka behind a local SOCK_SEQPACKET socket: one datagram is one report's data bytes.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "device/hid_transport.h"

namespace qv7 {

// A server that talks to one host at a time answers any other with one datagram that starts with this, the
// reason after it, and hangs up: a program of another user, which does not share our lock, learns the device is
// taken instead of waiting for answers that never come.
inline constexpr std::string_view kBusyPrefix = "qv7 busy: ";

class SocketTransport : public HidTransport {
public:
    static constexpr std::size_t kReportLength = 64;
    static constexpr std::size_t kMaxRefusalChars = 200;

    // Connects to PATH; on failure returns null and says why in `error`.
    static std::unique_ptr<SocketTransport> connect(const std::string& path, std::string& error);
    ~SocketTransport() override;

    std::string describe() const override { return "unix:" + path_; }
    std::size_t inputReportLength() const override { return kReportLength; }
    std::size_t outputReportLength() const override { return kReportLength; }
    bool write(std::span<const uint8_t> data) override;
    ReadStatus read(std::vector<uint8_t>& report, int timeoutMs) override;
    void interrupt() override;
    // Why the server turned this host away (read() then said Gone); empty otherwise. On the reading thread only.
    const std::string& refusal() const { return refusal_; }

private:
    SocketTransport(int fd, int wakeFd, std::string path) : fd_(fd), wakeFd_(wakeFd), path_(std::move(path)) {}
    int fd_;
    int wakeFd_;
    std::string path_;
    std::string refusal_;
};

// The other end, for simulated devices: a listening SOCK_SEQPACKET socket at `path`. It is bound under a staging
// name and renamed into place once it listens, so a client never finds a socket that refuses it. Returns the
// listening descriptor, or -1 with `error` saying why.
int listenForHost(const std::string& path, std::string& error);

}  // namespace qv7
