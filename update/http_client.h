// CHttpClient: one HTTP exchange per object over libcurl, with the panel's headers, limits and result codes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

#include "common/line_writer.h"

namespace qv7 {

inline constexpr const char* kUserAgent = "Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)";

// Results of Post, Get, RequestText and RequestToBuffer. A reply whose final HTTP status is not 2xx
// is kHttpFailed: its body is not handed out.
inline constexpr int kHttpOk = 0;
inline constexpr int kHttpFailed = 1;
inline constexpr int kHttpTimedOut = 2;

// Bounds that keep a worker from waiting or growing without end.
struct HttpOptions {
    long connectTimeoutMs = 10'000;
    // No byte moving in either direction for this long ends the request as a time-out.
    long stallTimeoutMs = 20'000;
    long totalTimeoutMs = 120'000;
    // A text reply (after content decoding) larger than this is a failure.
    size_t maxTextBytes = 1u << 20;
    // Set by an owner that is going away; the request then ends at its next progress check (result 1).
    const std::atomic<bool>* cancel = nullptr;
    // Receives the "dwError = %d" lines; standard output when empty.
    LineWriter diagnostics;
};

struct HttpTransfer;
struct CurlApi;

class CHttpClient {
public:
    explicit CHttpClient(std::string userAgent = kUserAgent, HttpOptions options = {});
    virtual ~CHttpClient();
    CHttpClient(const CHttpClient&) = delete;
    CHttpClient& operator=(const CHttpClient&) = delete;

    // POST with the reply collected as text.
    int Post(const std::string& url, const char* body, std::string& reply);
    // GET into a buffer of known size; `body` may be null.
    int Get(const std::string& url, const char* body, uint8_t* buffer, size_t size, size_t& received);

    // The reply is collected in 1024-byte blocks of the body, each kept up to its first NUL byte.
    int RequestText(const char* verb, const std::string& url, const char* body, std::string& reply);
    // Fills the buffer with at most `size` bytes of the body; the rest of a longer body is not read.
    int RequestToBuffer(const char* verb, const std::string& url, const char* body, uint8_t* buffer, size_t size,
                        size_t& received);

    void CloseRequest();

    // The final HTTP status of the last request; 0 when none arrived. Anything but 2xx is a failure.
    int httpStatus() const { return status_; }

private:
    int perform(const char* verb, const std::string& url, const char* body, HttpTransfer& transfer);
    void diagnose(int code);
    // False, with the reason on the diagnostics, when libcurl could not be loaded.
    bool usable();

    std::string userAgent_;
    HttpOptions options_;
    std::string curlMissing_;        // why libcurl is not there, when it is not
    const CurlApi* curl_ = nullptr;  // null: libcurl could not be loaded
    void* session_ = nullptr;        // libcurl easy handle; keeps its connection cache across requests
    void* headers_ = nullptr;        // the current request's header list; null between requests
    int status_ = 0;
};

// GET of exactly `expectedSize` bytes into `buffer`: 0 when exactly that many arrived, -1 otherwise
// (any failure, a shorter or a longer file).
int DownloadToBuffer(const std::string& url, size_t expectedSize, uint8_t* buffer, const HttpOptions& options = {});

// The collection rules of RequestText and RequestToBuffer on their own, for a body that arrives in the given
// pieces (as libcurl hands them over), without a network. Text: false and an empty reply when the body is
// longer than `maxText`. Buffer: the bytes kept, with `longer` set when the body did not fit.
bool CollectTextReply(std::span<const std::string_view> pieces, size_t maxText, std::string& reply);
size_t CollectBufferReply(std::span<const std::string_view> pieces, uint8_t* buffer, size_t size, bool& longer);

// True for an http:// or https:// URL that libcurl's parser accepts (false when libcurl cannot be loaded).
bool IsHttpUrl(const std::string& url);

}  // namespace qv7
