// Which copy is the user's panel. A lock file beside the socket decides: only its holder ever listens, so two
// starts can never both stay, and the holder removes a socket file only after nobody answered on it.
#pragma once

#include <string>

#include "common/runtime_dir.h"

namespace qv7::panel {

// A later start sends the request; the running copy answers once it has shown itself.
inline constexpr char kShowRequest[] = "show\n";
inline constexpr char kShownReply[] = "shown\n";

class InstanceClaim {
public:
    enum class Outcome {
        Claimed,    // this copy is the panel: the socket is bound and listening, the lock held
        Forwarded,  // the running copy was asked to show itself and did: this copy should exit
        NoAnswer,   // a copy holds the name but did not answer in time
        NoPlace,    // no private folder for the name (see detail()): run without the rule
    };

    InstanceClaim() = default;
    InstanceClaim(InstanceClaim&& other) noexcept;
    InstanceClaim& operator=(InstanceClaim&& other) noexcept;
    InstanceClaim(const InstanceClaim&) = delete;
    InstanceClaim& operator=(const InstanceClaim&) = delete;
    // Releases the lock, and closes the socket unless it was handed over.
    ~InstanceClaim();

    // Claims `name`, or hands over to the copy that has it. answerMs bounds the whole attempt; the running
    // copy answers from its event loop, so this covers its start-up on a slow machine.
    static InstanceClaim take(const std::string& name, int answerMs = 30000);

    Outcome outcome() const { return outcome_; }
    const std::string& socketPath() const { return socketPath_; }
    const std::string& detail() const { return detail_; }
    // The listening socket, for the event loop to serve; the lock stays with this object.
    int takeListeningSocket();

private:
    void reset();

    Outcome outcome_ = Outcome::NoPlace;
    int lockFd_ = -1;
    int socketFd_ = -1;
    std::string socketPath_;
    std::string detail_;
};

using qv7::privateRuntimeDir;

}  // namespace qv7::panel
