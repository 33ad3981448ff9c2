// The version-check service's request body and reply, and the link-file reader.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace qv7 {

inline constexpr const char* kStatusOffered = "112304";
inline constexpr const char* kPanelType = "panel-qv7-release";
inline constexpr const char* kFirmwareType = "qv7-release";
inline constexpr const char* kPanelVersion = "1.0.0";

// The form body "json={...}", byte for byte; the strings go in unescaped, as the service expects.
std::string VersionCheckRequest(std::string_view hardwareVersion, std::string_view softwareVersion,
                                std::string_view type);
// The panel's own request: always the same 134 bytes.
std::string PanelVersionCheckRequest();

struct VersionCheckReply {
    std::string status;
    std::string softwareVersion;
    std::string description;
    uint32_t filesize = 0;
    std::string urlPath;
    std::string hardwareVersion;
    std::string checksum;

    bool offered() const { return status == kStatusOffered; }
};

// Nothing when the text is not JSON, the root is not an object, or a member the panel reads has
// another type than the service documents (strings, and a non-negative 32-bit integer `filesize`).
// Absent members read as "" and 0.
std::optional<VersionCheckReply> ParseVersionCheckReply(std::string_view text);

// The address between the first '<' and the following '>' of a GBK link file, as UTF-8.
// Double-byte characters are stepped over whole, so their bytes are never taken for either sign.
// Empty when there is no '>' after it, or the address is not valid GBK.
std::string ExtractLinkAddress(std::string_view gbkText);

}  // namespace qv7
