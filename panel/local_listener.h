// The accepting side of the panel's local socket, made to outlast a flood of connections. QLocalServer closes its
// socket, and removes the file, on the first failed accept: a burst that used up the process's descriptors would
// leave every later qv7ctl and every second start without the panel. Here the listening socket stays whatever
// comes: at most kMaxClients connections are open at once, and one over that, or one that arrives while no
// descriptor is left, gets a short refusal and is closed at once (or waits in the backlog while none can be taken).
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "common/line_writer.h"

class QLocalSocket;

namespace qv7::panel {

class LocalListener : public QObject {
public:
    // Leaves far more than the panel needs for commands and second starts, and most descriptors for the rest.
    static constexpr int kMaxClients = 64;

    // Serves the listening socket `fd` (taken over, made non-blocking) bound at `path`, which is removed when this
    // goes. `refusal` is what a turned-away connection reads; `trace` takes one line for each burst.
    LocalListener(int fd, std::string path, std::string refusal, LineWriter trace, QObject* parent = nullptr);
    ~LocalListener() override;
    LocalListener(const LocalListener&) = delete;
    LocalListener& operator=(const LocalListener&) = delete;

    // Each connection taken, as a socket owned by this object (deleteLater() it when done).
    void onConnection(std::function<void(QLocalSocket*)> take) { take_ = std::move(take); }
    int openClients() const { return open_; }

private:
    void acceptSome();
    void admit(int client);
    // Frees the reserve descriptor to accept and refuse one connection; false when there was none to free or it
    // did not help.
    bool turnAwayWithReserve();
    void refuse(int client);
    void swamped(const std::string& why);
    void pause();

    int fd_;
    int reserve_ = -1;  // a descriptor kept for the moment the process has none left
    const std::string path_;
    const std::string refusal_;
    const LineWriter trace_;
    std::function<void(QLocalSocket*)> take_;
    QSocketNotifier notifier_;
    QTimer resume_;
    int open_ = 0;
    // When the last connection was turned away: the trace hears of a burst once.
    std::optional<std::chrono::steady_clock::time_point> lastTurnedAway_;
};

}  // namespace qv7::panel
