// Host settings from the environment or the build configuration, with their optional scheme.
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

std::string lower(std::string_view s) {
    std::string out(s);
    for (char& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

HostSetting refused(std::string_view name, std::string_view value, const std::string& why) {
    HostSetting s;
    // The value is shown between quotes; a control character in it would end up on the terminal.
    std::string shown;
    for (char c : value) {
        const auto u = static_cast<unsigned char>(c);
        shown += (u < 0x20 || u == 0x7F) ? '?' : c;
    }
    s.error = std::string(name) + " '" + shown + "' " + why +
              "; it takes host[:port] (http), http://host[:port] or https://host[:port]";
    return s;
}

}  // namespace

HostSetting ParseHostSetting(std::string_view name, std::string_view value) {
    std::string scheme = "http";
    std::string_view host = value;
    if (const size_t sep = value.find("://"); sep != std::string_view::npos) {
        scheme = lower(value.substr(0, sep));
        if (scheme != "http" && scheme != "https")
            return refused(name, value, "names the scheme '" + std::string(value.substr(0, sep)) + "'");
        host = value.substr(sep + 3);
    }
    // One closing slash is what a pasted address often ends with; anything after it is a path.
    if (!host.empty() && host.back() == '/') host.remove_suffix(1);
    if (host.empty()) return refused(name, value, "has no host");
    for (char c : host) {
        const auto u = static_cast<unsigned char>(c);
        if (u <= 0x20 || u == 0x7F) return refused(name, value, "holds a blank or a control character");
        if (c == '/' || c == '?' || c == '#') return refused(name, value, "holds a path");
        if (c == '@' || c == '\\') return refused(name, value, "holds '" + std::string(1, c) + "'");
    }
    HostSetting s;
    s.host = host;
    s.base = scheme + "://" + s.host;
    return s;
}

std::string CheckHost() { return fromEnv("QV7_CHECK_HOST", QV7_DEFAULT_CHECK_HOST); }
std::string SiteHost() { return fromEnv("QV7_SITE_HOST", QV7_DEFAULT_SITE_HOST); }

HostSetting CheckHostSetting() { return ParseHostSetting("QV7_CHECK_HOST", CheckHost()); }

HostSetting SiteHostSetting(std::string_view value) {
    return ParseHostSetting("QV7_SITE_HOST", value.empty() ? SiteHost() : std::string(value));
}

std::string VersionCheckUrl() {
    const HostSetting s = CheckHostSetting();
    return s.ok() ? s.base + kCheckPath : std::string();
}

std::string DownloadPageUrl() {
    const HostSetting s = SiteHostSetting();
    return s.ok() ? s.base + kDownloadPagePath : std::string();
}

std::string CheckUrlOrTrace(const std::string& given, const LineWriter& trace) {
    if (!given.empty()) return given;
    const HostSetting s = CheckHostSetting();
    if (!s.ok()) {
        orStdout(trace)(s.error + "\n");
        return {};
    }
    return s.base + kCheckPath;
}

void TraceCheckAddress(const std::string& url, const LineWriter& trace) {
    orStdout(trace)("version check: POST " + url + "\n");
}

}  // namespace qv7
