// Whether a firmware reply from the version-check service offers an image worth downloading.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "update/version_check.h"

namespace qv7 {

// Largest image the service may offer; both the download and the button accept exactly this size too.
inline constexpr uint32_t kMaxFirmwareImage = 98'304;

struct OfferVerdict {
    enum class Kind {
        Offered,         // worth downloading: `reply` says where, how large and with which checksum
        NothingOffered,  // the service answered, without an offer
        BadReply,        // not a reply the service sends
        Refused,         // an offer this program will not download
    };
    Kind kind = Kind::BadReply;
    // BadReply and Refused: what is wrong, with the value, to follow "reply from URL is " or stand alone.
    std::string detail;
    std::optional<VersionCheckReply> reply;  // all but BadReply
};

// The one judgement of a firmware reply, made before anything is downloaded. The service decides what
// is newer than the device's firmware: the offered version is carried, never compared.
OfferVerdict JudgeFirmwareReply(std::string_view text);

}  // namespace qv7
