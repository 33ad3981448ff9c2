// The libcurl functions the HTTP client calls, through one table: a program either links libcurl (curl_linked.cpp)
// or opens it on its first request (curl_dlopen.cpp), so a window that never goes online never loads it.
#pragma once

#include <curl/curl.h>

#include <string>

namespace qv7 {

// Each pointer has the type of the function as this libcurl's headers declare it.
struct CurlApi {
    decltype(&curl_global_init) global_init;
    decltype(&curl_easy_init) easy_init;
    decltype(&curl_easy_cleanup) easy_cleanup;
    decltype(&curl_easy_reset) easy_reset;
    decltype(&curl_easy_setopt) easy_setopt;
    decltype(&curl_easy_getinfo) easy_getinfo;
    decltype(&curl_easy_perform) easy_perform;
    decltype(&curl_slist_append) slist_append;
    decltype(&curl_slist_free_all) slist_free_all;
    decltype(&curl_url) url;
    decltype(&curl_url_set) url_set;
    decltype(&curl_url_get) url_get;
    decltype(&curl_url_cleanup) url_cleanup;
    decltype(&curl_free) free;
};

// The table, with curl_global_init done; null when libcurl could not be loaded, with `why` set to a line that says
// so. Loaded once per process and kept; safe from any thread.
const CurlApi* Curl(std::string* why = nullptr);

}  // namespace qv7
