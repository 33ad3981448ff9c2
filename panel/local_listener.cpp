#include "panel/local_listener.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QLocalSocket>

#include <cerrno>
#include <chrono>

#include "common/system_error.h"

namespace qv7::panel {

namespace {
// A wake-up takes this many at most, so a flood cannot hold the window thread; the notifier fires again.
constexpr int kAcceptsPerWake = 32;
// While nothing can be accepted, connections wait in the backlog; the notifier would fire without pause.
constexpr int kPauseMs = 100;
// A burst is over after this long without a connection turned away (as long as a silent client may stay).
constexpr std::chrono::seconds kQuiet{10};

int acceptOne(int fd) { return accept4(fd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK); }

int openReserve() { return open("/dev/null", O_RDONLY | O_CLOEXEC); }
}  // namespace

LocalListener::LocalListener(int fd, std::string path, std::string refusal, LineWriter trace, QObject* parent)
    : QObject(parent), fd_(fd), reserve_(openReserve()), path_(std::move(path)), refusal_(std::move(refusal)),
      trace_(orStdout(std::move(trace))), notifier_(fd, QSocketNotifier::Read) {
    // Accepting stops at an empty backlog instead of blocking the window thread.
    const int flags = fcntl(fd_, F_GETFL);
    if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);
    connect(&notifier_, &QSocketNotifier::activated, this, [this] { acceptSome(); });
    resume_.setSingleShot(true);
    resume_.setInterval(kPauseMs);
    connect(&resume_, &QTimer::timeout, this, [this] {
        notifier_.setEnabled(true);
        acceptSome();
    });
}

LocalListener::~LocalListener() {
    notifier_.setEnabled(false);
    // The clients go first, while the count they keep is still here.
    for (QLocalSocket* client : findChildren<QLocalSocket*>(Qt::FindDirectChildrenOnly)) delete client;
    close(fd_);
    if (reserve_ >= 0) close(reserve_);
    // A later start finds no file rather than a socket nobody answers on.
    if (!path_.empty()) unlink(path_.c_str());
}

void LocalListener::acceptSome() {
    for (int i = 0; i < kAcceptsPerWake; ++i) {
        const int client = acceptOne(fd_);
        if (client >= 0) {
            admit(client);
            continue;
        }
        const int e = errno;
        if (e == EINTR || e == ECONNABORTED) continue;
        if (e == EAGAIN || e == EWOULDBLOCK) return;
        if (e == EMFILE || e == ENFILE) {
            swamped(systemError("cannot accept a connection on " + path_, e));
            if (turnAwayWithReserve()) continue;
        } else {
            // ENOBUFS, ENOMEM, or worse: nothing here would be helped by closing the socket.
            swamped(systemError("cannot accept a connection on " + path_, e));
        }
        pause();
        return;
    }
}

void LocalListener::admit(int client) {
    if (open_ >= kMaxClients) {
        swamped("more than " + std::to_string(kMaxClients) + " connections at once on " + path_);
        refuse(client);
        return;
    }
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(client, QLocalSocket::ConnectedState, QIODevice::ReadWrite)) {
        delete socket;
        close(client);
        return;
    }
    ++open_;
    connect(socket, &QObject::destroyed, this, [this] { --open_; });
    if (take_) take_(socket);
    else socket->deleteLater();
}

bool LocalListener::turnAwayWithReserve() {
    if (reserve_ < 0) return false;
    close(reserve_);
    const int client = acceptOne(fd_);
    const int e = errno;
    if (client >= 0) refuse(client);
    // Another thread may take the freed slot first; the pause then covers it until descriptors come back.
    reserve_ = openReserve();
    if (client < 0) return e == EAGAIN || e == EWOULDBLOCK || e == EINTR || e == ECONNABORTED;
    return reserve_ >= 0;
}

void LocalListener::refuse(int client) {
    // A fresh connection's buffer takes the few bytes without blocking; a client already gone gets nothing.
    if (!refusal_.empty()) (void)send(client, refusal_.data(), refusal_.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    close(client);
}

void LocalListener::swamped(const std::string& why) {
    const auto now = std::chrono::steady_clock::now();
    const bool sameBurst = lastTurnedAway_ && now - *lastTurnedAway_ < kQuiet;
    lastTurnedAway_ = now;
    if (sameBurst) return;
    trace_("qv7-panel: " + why + "; turning connections away until the burst is over, the socket stays\n");
}

void LocalListener::pause() {
    notifier_.setEnabled(false);
    resume_.start();
}

}  // namespace qv7::panel
