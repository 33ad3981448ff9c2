// The running copy's side of the handshake with a later start.
#include "panel/single_instance.h"

#include <QLocalSocket>
#include <QTimer>
#include <QVariant>

#include <chrono>
#include <cstdio>

namespace qv7::panel {

namespace {
// Whatever connects is only another program of the user's, but it gets a line of bounded length and a
// bounded time to send it.
constexpr qint64 kMaxRequest = static_cast<qint64>(handover::kMaxRequest);
constexpr int kClientTimeoutMs = 10000;
// Commands wait their turn; a script that floods gets refusals rather than an ever longer queue.
constexpr std::size_t kMaxPending = 16;
constexpr int kPollMs = 20;
constexpr char kAccepted[] = "qv7HandedOver";

int64_t nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

handover::Reply refusal(const std::string& why) { return {handover::kUsage, {}, "qv7-panel: " + why + "\n"}; }
}  // namespace

SingleInstance::SingleInstance(InstanceClaim claim, std::function<void()> show, LineWriter trace, QObject* parent)
    : QObject(parent), claim_(std::move(claim)), show_(std::move(show)) {
    const int fd = claim_.takeListeningSocket();
    if (fd < 0) {
        std::fprintf(stderr, "qv7-panel: cannot serve %s: no listening socket\n", claim_.socketPath().c_str());
        return;
    }
    // Both a later start and qv7ctl read a reply that is not theirs as "not now" and say so or ask again.
    listener_ = std::make_unique<LocalListener>(
        fd, claim_.socketPath(),
        handover::encodeReply({handover::kInUse, {}, "qv7-panel: too many connections at once; try again\n"}),
        std::move(trace));
    listener_->onConnection([this](QLocalSocket* client) { serve(client); });
    poll_.setInterval(kPollMs);
    connect(&poll_, &QTimer::timeout, this, [this] {
        if (!commands_) return;
        if (const auto reply = commands_->poll(nowMs())) {
            answer(running_, *reply);
            runNext();
        }
    });
}

void SingleInstance::serve(QLocalSocket* client) {
    connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
    // A command taken is bounded by its own --timeout instead: the device may need that long to answer.
    QTimer::singleShot(kClientTimeoutMs, client, [client] {
        if (client->property(kAccepted).toBool()) return;
        client->abort();
        client->deleteLater();
    });
    auto onData = [this, client] {
        if (client->property(kAccepted).toBool()) return;
        if (!client->canReadLine()) {
            if (client->bytesAvailable() > kMaxRequest) {
                client->setProperty(kAccepted, true);
                answer(client, refusal("the request is longer than " + std::to_string(kMaxRequest) + " bytes"));
            }
            return;
        }
        client->setProperty(kAccepted, true);
        request(client, client->readLine(kMaxRequest + 1));
    };
    connect(client, &QLocalSocket::readyRead, this, onData);
    if (client->bytesAvailable() > 0) onData();
}

void SingleInstance::request(QLocalSocket* client, const QByteArray& line) {
    if (line == kShowRequest) {
        show_();
        client->write(kShownReply);
        // Sends what was written first, then hangs up.
        client->disconnectFromServer();
        return;
    }
    if (!line.endsWith('\n')) return answer(client, refusal("the request is too long"));
    const auto args = handover::decodeRequest(line.toStdString());
    if (!args) return answer(client, refusal("unknown request"));
    if (!commands_) return answer(client, refusal("this panel does not carry out commands"));
    if (pending_.size() >= kMaxPending)
        return answer(client, {handover::kInUse, {}, "qv7-panel: too many commands waiting\n"});
    pending_.push_back({client, *args});
    if (!running_ && !commands_->busy()) runNext();
}

void SingleInstance::runNext() {
    running_ = nullptr;
    poll_.stop();
    while (!pending_.empty()) {
        Pending next = std::move(pending_.front());
        pending_.pop_front();
        // A client that gave up is not answered, but its command is not started either.
        if (!next.client) continue;
        if (const auto reply = commands_->start(next.args, nowMs())) {
            answer(next.client, *reply);
            continue;
        }
        running_ = next.client;
        poll_.start();
        return;
    }
}

void SingleInstance::answer(QLocalSocket* client, const handover::Reply& reply) {
    if (!client) return;
    const std::string text = handover::encodeReply(reply);
    client->write(text.data(), static_cast<qint64>(text.size()));
    client->disconnectFromServer();
}

}  // namespace qv7::panel
