// The table over a libcurl the program links: always there, as the loader made sure at start.
#include <mutex>

#include "update/curl_api.h"

namespace qv7 {

const CurlApi* Curl(std::string* /*why*/) {
    static const CurlApi api{curl_global_init,    curl_easy_init,    curl_easy_cleanup, curl_easy_reset,
                             curl_easy_setopt,    curl_easy_getinfo, curl_easy_perform, curl_slist_append,
                             curl_slist_free_all, curl_url,          curl_url_set,      curl_url_get,
                             curl_url_cleanup,    curl_free};
    static std::once_flag once;
    std::call_once(once, [] { api.global_init(CURL_GLOBAL_DEFAULT); });
    return &api;
}

}  // namespace qv7
