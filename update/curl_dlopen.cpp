// The table over libcurl opened on the first request: the library and the 31 it needs (TLS, Kerberos, LDAP, ...)
// cost a window several MiB and milliseconds at start, and only the online checks, a second later, use them.
#include "update/curl_dlopen.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

namespace qv7 {
namespace {

template <typename F>
bool resolve(void* library, const char* name, F& function, std::string& why) {
    void* symbol = dlsym(library, name);
    if (symbol == nullptr) {
        why += why.empty() ? "" : ", ";
        why += name;
        return false;
    }
    // POSIX guarantees a function's address survives the trip through void*.
    function = reinterpret_cast<F>(symbol);
    return true;
}

}  // namespace

bool OpenCurl(const char* soname, CurlApi& api, std::string& why) {
    why.clear();
    // RTLD_LOCAL: nothing else in the process binds to libcurl's symbols by accident.
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) {
        const char* error = dlerror();
        why = std::string("online checks off: libcurl could not be loaded (") + (error ? error : soname) + ")";
        return false;
    }
    std::string missing;
    bool ok = resolve(library, "curl_global_init", api.global_init, missing);
    ok = resolve(library, "curl_easy_init", api.easy_init, missing) && ok;
    ok = resolve(library, "curl_easy_cleanup", api.easy_cleanup, missing) && ok;
    ok = resolve(library, "curl_easy_reset", api.easy_reset, missing) && ok;
    ok = resolve(library, "curl_easy_setopt", api.easy_setopt, missing) && ok;
    ok = resolve(library, "curl_easy_getinfo", api.easy_getinfo, missing) && ok;
    ok = resolve(library, "curl_easy_perform", api.easy_perform, missing) && ok;
    ok = resolve(library, "curl_slist_append", api.slist_append, missing) && ok;
    ok = resolve(library, "curl_slist_free_all", api.slist_free_all, missing) && ok;
    ok = resolve(library, "curl_url", api.url, missing) && ok;
    ok = resolve(library, "curl_url_set", api.url_set, missing) && ok;
    ok = resolve(library, "curl_url_get", api.url_get, missing) && ok;
    ok = resolve(library, "curl_url_cleanup", api.url_cleanup, missing) && ok;
    ok = resolve(library, "curl_free", api.free, missing) && ok;
    if (!ok) {
        // Too old a libcurl (curl_url came with 7.62): kept loaded, since dlclose after a partial use is no safer.
        why = std::string("online checks off: ") + soname + " lacks " + missing;
        return false;
    }
    return true;
}

const CurlApi* Curl(std::string* why) {
    static CurlApi api{};
    static const CurlApi* loaded = nullptr;
    static std::string failure;
    static std::once_flag once;
    std::call_once(once, [] {
        const char* soname = kCurlSoname;
        const char* other = std::getenv(kCurlSonameVariable);
        if (other != nullptr && *other != '\0' && std::strchr(other, '/') == nullptr) soname = other;
        if (OpenCurl(soname, api, failure)) {
            api.global_init(CURL_GLOBAL_DEFAULT);
            loaded = &api;
        } else {
            // The panel's terminal hears of it once, whatever --trace says: this is a broken installation, not a
            // machine that is offline.
            std::fprintf(stderr, "%s\n", failure.c_str());
        }
    });
    if (loaded == nullptr && why != nullptr) *why = failure;
    return loaded;
}

}  // namespace qv7
