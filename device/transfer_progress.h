// How far a firmware write has come and since when it has not moved on: waits for the device are
// bounded by time without progress, so a slow transfer that keeps going is never cut off.
#pragma once

#include <cstdint>
#include <string>

namespace qv7 {

class mfi;

class TransferProgress {
public:
    // The driver has just been handed an image.
    void start(const mfi& driver, int64_t nowMs);
    // Looks at the driver; true when the transfer got further than ever before, and then the time is
    // kept. Progress is a later stage or more acknowledged bytes, never a repeat: the driver raises
    // its progress event again on every timer tick that resends a block, and a device that answers
    // the erase again would start the count anew, so neither can keep a stalled transfer alive.
    bool observe(const mfi& driver, int64_t nowMs);

    bool started() const { return started_; }
    // The driver has left the transfer's steps: done, or failed with its own message.
    bool ended() const { return rank_ == kEnded; }
    int64_t sinceProgressMs(int64_t nowMs) const { return nowMs - lastProgressMs_; }

    // Where it stands, for a message: "the device did not answer the update start", "the transfer
    // stalled at 4400 of 98304 bytes", ...
    std::string stalledText() const;

private:
    static constexpr int kEnded = 100;
    static int rankOf(int step);

    bool started_ = false;
    int rank_ = -1;
    int bytes_ = 0;
    int total_ = 0;
    int64_t lastProgressMs_ = 0;
};

}  // namespace qv7
