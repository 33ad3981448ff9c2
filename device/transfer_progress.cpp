// The firmware write's high-water mark: stage by stage, then byte by byte.
#include "device/transfer_progress.h"

#include "device/mfi.h"

namespace qv7 {

namespace {
constexpr int kRankData = 6;
}

int TransferProgress::rankOf(int step) {
    switch (step) {
    case kStepClean:
        return 0;
    case kStepUpdateUnlock:
        return 1;
    case kStepUpdateUnlockCode:
        return 2;
    case kStepUpdateSelect:
        return 3;
    case kStepUpdateStart:
        return 4;
    case kStepUpdateErase:
        return 5;
    case kStepUpdateData:
        return kRankData;
    case kStepUpdateOver:
        return 7;
    default:
        return kEnded;  // idle after the end or a failure, or a conversation that has started over
    }
}

void TransferProgress::start(const mfi& driver, int64_t nowMs) {
    started_ = true;
    rank_ = -1;
    bytes_ = 0;
    total_ = driver.imageLength();
    lastProgressMs_ = nowMs;
    observe(driver, nowMs);
}

bool TransferProgress::observe(const mfi& driver, int64_t nowMs) {
    if (!started_ || ended()) return false;
    const int rank = rankOf(driver.step());
    const int bytes = rank == kRankData ? driver.bytesAcknowledged() : rank > kRankData ? total_ : 0;
    if (rank < rank_ || (rank == rank_ && bytes <= bytes_)) return false;
    rank_ = rank;
    bytes_ = bytes;
    lastProgressMs_ = nowMs;
    return true;
}

std::string TransferProgress::stalledText() const {
    switch (rank_) {
    case 0:
        return "the device did not answer the request to prepare the update";
    case 1:
        return "the device did not answer the unlock request";
    case 2:
        return "the device did not answer the unlock code";
    case 3:
        return "the device did not answer the region select";
    case 4:
        return "the device did not answer the update start";
    case 5:
        return "the device did not answer the erase";
    case kRankData:
        return "the transfer stalled at " + std::to_string(bytes_) + " of " + std::to_string(total_) + " bytes";
    case 7:
        return "the device did not answer the end of the transfer (all " + std::to_string(total_) + " bytes sent)";
    default:
        return {};
    }
}

}  // namespace qv7
