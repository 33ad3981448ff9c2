// Host names from the environment or the build configuration.
#include "update/hosts.h"

#include <cstdlib>

#ifndef QV7_DEFAULT_CHECK_HOST
#define QV7_DEFAULT_CHECK_HOST "check.qv7.invalid"
#endif
#ifndef QV7_DEFAULT_SITE_HOST
#define QV7_DEFAULT_SITE_HOST "www.qv7.invalid"
#endif

namespace qv7 {
namespace {

std::string fromEnv(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return (v != nullptr && v[0] != '\0') ? v : fallback;
}

}  // namespace

std::string CheckHost() { return fromEnv("QV7_CHECK_HOST", QV7_DEFAULT_CHECK_HOST); }
std::string SiteHost() { return fromEnv("QV7_SITE_HOST", QV7_DEFAULT_SITE_HOST); }
std::string VersionCheckUrl() { return "http://" + CheckHost() + kCheckPath; }
std::string DownloadPageUrl() { return "http://" + SiteHost() + kDownloadPagePath; }

}  // namespace qv7
