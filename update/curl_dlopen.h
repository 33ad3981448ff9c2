// Opening libcurl by its soname at run time, apart from the process-wide table so a test can open a name of its own.
#pragma once

#include <string>

#include "update/curl_api.h"

namespace qv7 {

// The soname opened: libcurl's ABI 4, the one the headers describe.
inline constexpr const char* kCurlSoname = "libcurl.so.4";
// Names another soname in its place (a bare name, no '/'): how a missing libcurl is tried without removing it.
inline constexpr const char* kCurlSonameVariable = "QV7_LIBCURL_SONAME";

// Fills `api` from the library `soname`; false with `why` set when it cannot be opened or lacks a function.
// The library stays loaded for the life of the process (libcurl cannot be unloaded safely after its global init).
bool OpenCurl(const char* soname, CurlApi& api, std::string& why);

}  // namespace qv7
