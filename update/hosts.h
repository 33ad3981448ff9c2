// The two servers the update layer talks to, fixed at build time and overridable at run time.
#pragma once

#include <string>

namespace qv7 {

inline constexpr const char* kCheckPath = "/admin/appios";
inline constexpr const char* kDownloadPagePath = "/Download";

// host[:port] of the version-check service: $QV7_CHECK_HOST, else the build's QV7_CHECK_HOST.
std::string CheckHost();
// host[:port] of the maker's web site: $QV7_SITE_HOST, else the build's QV7_SITE_HOST.
std::string SiteHost();

// "http://" + CheckHost() + "/admin/appios"
std::string VersionCheckUrl();
// "http://" + SiteHost() + "/Download"
std::string DownloadPageUrl();

}  // namespace qv7
