// The firmware reply's verdict: the window's silent check and qv7ctl's explained one judge alike.
#include "update/offer_judge.h"

namespace qv7 {

OfferVerdict JudgeFirmwareReply(std::string_view text) {
    OfferVerdict v;
    v.reply = ParseVersionCheckReply(text);
    if (!v.reply) {
        v.kind = OfferVerdict::Kind::BadReply;
        v.detail = "not a JSON object with the expected member types (" + std::to_string(text.size()) + " bytes)";
        return v;
    }
    if (!v.reply->offered()) {
        v.kind = OfferVerdict::Kind::NothingOffered;
        return v;
    }
    if (v.reply->urlPath.empty()) {
        v.kind = OfferVerdict::Kind::Refused;
        v.detail = "offer has no urlPath";
        return v;
    }
    // The download goes into a buffer of the stated size: a larger one is never allocated.
    if (v.reply->filesize > kMaxFirmwareImage) {
        v.kind = OfferVerdict::Kind::Refused;
        v.detail = "offered filesize " + std::to_string(v.reply->filesize) + " is above the limit of " +
                   std::to_string(kMaxFirmwareImage);
        return v;
    }
    v.kind = OfferVerdict::Kind::Offered;
    return v;
}

}  // namespace qv7
