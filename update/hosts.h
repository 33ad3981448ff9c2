// The two servers the update layer talks to, fixed at build time and overridable at run time.
#pragma once

#include <string>
#include <string_view>

#include "common/line_writer.h"

namespace qv7 {

inline constexpr const char* kCheckPath = "/admin/appios";
inline constexpr const char* kDownloadPagePath = "/Download";

// A host setting read: "host[:port]" (plain http), "http://host[:port]" or "https://host[:port]".
struct HostSetting {
    std::string base;   // scheme://host[:port], without a path; empty when refused
    std::string host;   // host[:port], as the user is shown it
    std::string error;  // why the setting was refused; empty when it was taken
    bool ok() const { return error.empty(); }
};

// `name` is the setting's name, for the message; the scheme is matched in any case. Any other scheme,
// an empty host, a path, user information or a control character or blank is refused with a message
// that names the setting and the forms it takes.
HostSetting ParseHostSetting(std::string_view name, std::string_view value);

// The raw settings: $QV7_CHECK_HOST / $QV7_SITE_HOST, else the build's QV7_CHECK_HOST / QV7_SITE_HOST.
std::string CheckHost();
std::string SiteHost();

// The settings read; QV7_SITE_HOST's when `value` is empty.
HostSetting CheckHostSetting();
HostSetting SiteHostSetting(std::string_view value = {});

// CheckHostSetting().base + "/admin/appios"; empty when the setting is refused.
std::string VersionCheckUrl();
// SiteHostSetting().base + "/Download"; empty when the setting is refused.
std::string DownloadPageUrl();

// `given`, or the version-check URL from the settings when it is empty. A refused setting writes its
// message to `trace` (standard output when empty) and gives an empty URL, so the check fails visibly.
std::string CheckUrlOrTrace(const std::string& given, const LineWriter& trace);

// The trace line "version check: POST URL" that tells which address a check asks, scheme and port included.
void TraceCheckAddress(const std::string& url, const LineWriter& trace);

}  // namespace qv7
