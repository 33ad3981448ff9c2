// CHttpClient over libcurl: fixed headers and agent, bounded waits and sizes, results 0/1/2.
#include "update/http_client.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <vector>

#include "update/curl_api.h"

namespace qv7 {
namespace {

constexpr size_t kTextBlock = 1024;

CURL* easy(void* p) { return static_cast<CURL*>(p); }

using SteadyTime = std::chrono::steady_clock::time_point;

}  // namespace

// What one request collects, and why it ended early if it did.
struct HttpTransfer {
    // Text mode.
    std::string* text = nullptr;
    std::vector<char> block;
    size_t textBytes = 0;
    size_t maxText = 0;
    bool tooLong = false;
    // Buffer mode.
    uint8_t* buffer = nullptr;
    size_t size = 0;
    size_t received = 0;
    bool bufferFull = false;
    // The final status, looked at before the first byte of the body is taken.
    const CurlApi* curl = nullptr;
    CURL* handle = nullptr;
    int status = -1;  // -1: not looked at yet
    // A body follows a status other than 2xx: it is not read, and the request fails.
    bool errorStatus() {
        if (status < 0) {
            long code = 0;
            curl->easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &code);
            status = static_cast<int>(code);
        }
        return status < 200 || status > 299;
    }
    // Progress watch.
    long stallMs = 0;
    const std::atomic<bool>* cancel = nullptr;
    curl_off_t lastDown = -1, lastUp = -1;
    SteadyTime lastMove{};
    bool stalled = false;
    bool cancelled = false;

    // A NUL byte hides the rest of its 1024-byte block, as the fixed-size read loop did.
    void flushBlock() {
        const char* end = static_cast<const char*>(std::memchr(block.data(), 0, block.size()));
        size_t keep = end != nullptr ? static_cast<size_t>(end - block.data()) : block.size();
        text->append(block.data(), keep);
        block.clear();
    }

    bool onText(const char* data, size_t n) {
        if (textBytes + n > maxText) {
            tooLong = true;
            return false;
        }
        textBytes += n;
        while (n > 0) {
            size_t take = std::min(n, kTextBlock - block.size());
            block.insert(block.end(), data, data + take);
            data += take;
            n -= take;
            if (block.size() == kTextBlock) flushBlock();
        }
        return true;
    }

    size_t onBuffer(const char* data, size_t n) {
        size_t take = std::min(n, size - received);
        if (take > 0) std::memcpy(buffer + received, data, take);
        received += take;
        if (take < n) {
            // The caller asked for `size` bytes; a longer body is left unread.
            bufferFull = true;
            return 0;
        }
        return n;
    }

    int onProgress(curl_off_t dlnow, curl_off_t ulnow) {
        if (cancel != nullptr && cancel->load()) {
            cancelled = true;
            return 1;
        }
        SteadyTime now = std::chrono::steady_clock::now();
        if (dlnow != lastDown || ulnow != lastUp) {
            lastDown = dlnow;
            lastUp = ulnow;
            lastMove = now;
            return 0;
        }
        if (now - lastMove > std::chrono::milliseconds(stallMs)) {
            stalled = true;
            return 1;
        }
        return 0;
    }
};

namespace {

size_t writeText(char* data, size_t, size_t n, void* user) {
    auto* t = static_cast<HttpTransfer*>(user);
    if (t->errorStatus()) return 0;
    return t->onText(data, n) ? n : 0;
}

size_t writeBuffer(char* data, size_t, size_t n, void* user) {
    auto* t = static_cast<HttpTransfer*>(user);
    if (t->errorStatus()) return 0;
    return t->onBuffer(data, n);
}

int progress(void* user, curl_off_t, curl_off_t dlnow, curl_off_t, curl_off_t ulnow) {
    return static_cast<HttpTransfer*>(user)->onProgress(dlnow, ulnow);
}

}  // namespace

bool CollectTextReply(std::span<const std::string_view> pieces, size_t maxText, std::string& reply) {
    reply.clear();
    std::string collected;
    HttpTransfer t;
    t.text = &collected;
    t.maxText = maxText;
    t.block.reserve(kTextBlock);
    for (std::string_view piece : pieces)
        if (!t.onText(piece.data(), piece.size())) return false;
    t.flushBlock();
    reply = std::move(collected);
    return true;
}

size_t CollectBufferReply(std::span<const std::string_view> pieces, uint8_t* buffer, size_t size, bool& longer) {
    HttpTransfer t;
    t.buffer = buffer;
    t.size = buffer != nullptr ? size : 0;
    for (std::string_view piece : pieces)
        if (t.onBuffer(piece.data(), piece.size()) != piece.size()) break;
    longer = t.bufferFull;
    return t.received;
}

bool IsHttpUrl(const std::string& url) {
    const CurlApi* curl = Curl();
    if (curl == nullptr) return false;
    CURLU* u = curl->url();
    if (u == nullptr) return false;
    bool ok = false;
    if (curl->url_set(u, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK) {
        char* scheme = nullptr;
        if (curl->url_get(u, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme != nullptr) {
            ok = std::strcmp(scheme, "http") == 0 || std::strcmp(scheme, "https") == 0;
        }
        curl->free(scheme);
    }
    curl->url_cleanup(u);
    return ok;
}

CHttpClient::CHttpClient(std::string userAgent, HttpOptions options)
    : userAgent_(std::move(userAgent)), options_(std::move(options)), curl_(Curl(&curlMissing_)) {
    if (curl_ != nullptr) session_ = curl_->easy_init();
}

CHttpClient::~CHttpClient() {
    CloseRequest();
    if (session_ != nullptr) curl_->easy_cleanup(easy(session_));
}

void CHttpClient::CloseRequest() {
    if (headers_ != nullptr) curl_->slist_free_all(static_cast<curl_slist*>(headers_));
    headers_ = nullptr;
}

bool CHttpClient::usable() {
    if (curl_ != nullptr) return true;
    // Said on every request, so whoever reads a trace or a bug report sees why the checks never got through.
    orStdout(options_.diagnostics)(curlMissing_);
    diagnose(CURLE_FAILED_INIT);
    return false;
}

void CHttpClient::diagnose(int code) {
    char line[32];
    std::snprintf(line, sizeof line, "dwError = %d", code);
    orStdout(options_.diagnostics)(line);
}

int CHttpClient::Post(const std::string& url, const char* body, std::string& reply) {
    return RequestText("POST", url, body, reply);
}

int CHttpClient::Get(const std::string& url, const char* body, uint8_t* buffer, size_t size, size_t& received) {
    return RequestToBuffer("GET", url, body, buffer, size, received);
}

int CHttpClient::RequestText(const char* verb, const std::string& url, const char* body, std::string& reply) {
    reply.clear();
    if (!usable() || !IsHttpUrl(url)) return kHttpFailed;
    std::string collected;
    HttpTransfer t;
    t.text = &collected;
    t.maxText = options_.maxTextBytes;
    t.block.reserve(kTextBlock);
    int rc = perform(verb, url, body, t);
    if (rc != kHttpOk) return rc;
    t.flushBlock();
    // Replies are UTF-8 and so are the panel's texts: the reply is kept as it came.
    reply = std::move(collected);
    return kHttpOk;
}

int CHttpClient::RequestToBuffer(const char* verb, const std::string& url, const char* body, uint8_t* buffer,
                                 size_t size, size_t& received) {
    received = 0;
    if (!usable() || !IsHttpUrl(url)) return kHttpFailed;
    HttpTransfer t;
    t.buffer = buffer;
    t.size = buffer != nullptr ? size : 0;
    int rc = perform(verb, url, body, t);
    received = t.received;
    return rc;
}

int CHttpClient::perform(const char* verb, const std::string& url, const char* body, HttpTransfer& t) {
    CURL* h = easy(session_);
    if (h == nullptr) {
        diagnose(CURLE_FAILED_INIT);
        return kHttpFailed;
    }
    curl_->easy_reset(h);
    CloseRequest();
    status_ = 0;

    // Add-if-new: ours are the only headers a request has, so each is added once, in this order.
    // An empty "Expect:" stops libcurl from holding back a body for a 100-continue.
    curl_slist* list = nullptr;
    for (const char* line :
         {"Accept: *,*/*", "Accept-Language: zh-cn", "Content-Type: application/x-www-form-urlencoded",
          "Accept-Encoding: gzip, deflate", "Expect:"}) {
        curl_slist* next = curl_->slist_append(list, line);
        if (next == nullptr) {
            curl_->slist_free_all(list);
            diagnose(CURLE_OUT_OF_MEMORY);
            return kHttpFailed;
        }
        list = next;
    }
    headers_ = list;

    curl_->easy_setopt(h, CURLOPT_URL, url.c_str());
    curl_->easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_->easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_->easy_setopt(h, CURLOPT_FOLLOWLOCATION, 1L);
    curl_->easy_setopt(h, CURLOPT_MAXREDIRS, 5L);
    curl_->easy_setopt(h, CURLOPT_USERAGENT, userAgent_.c_str());
    curl_->easy_setopt(h, CURLOPT_HTTPHEADER, list);
    // The header above announces gzip and deflate; this makes libcurl decode what the server sends.
    curl_->easy_setopt(h, CURLOPT_ACCEPT_ENCODING, "gzip, deflate");
    // An error status ends the request at its headers: its page is never read, however long.
    curl_->easy_setopt(h, CURLOPT_FAILONERROR, 1L);
    curl_->easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_->easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);
    curl_->easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    curl_->easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, options_.connectTimeoutMs);
    curl_->easy_setopt(h, CURLOPT_TIMEOUT_MS, options_.totalTimeoutMs);
    curl_->easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_->easy_setopt(h, CURLOPT_XFERINFOFUNCTION, progress);
    curl_->easy_setopt(h, CURLOPT_XFERINFODATA, &t);
    curl_->easy_setopt(h, CURLOPT_WRITEDATA, &t);
    curl_->easy_setopt(h, CURLOPT_WRITEFUNCTION, t.text != nullptr ? writeText : writeBuffer);

    const size_t bodyLength = body != nullptr ? std::strlen(body) : 0;
    if (std::strcmp(verb, "POST") == 0 || bodyLength > 0) {
        curl_->easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(bodyLength));
        curl_->easy_setopt(h, CURLOPT_POSTFIELDS, body != nullptr ? body : "");
        if (std::strcmp(verb, "POST") != 0) curl_->easy_setopt(h, CURLOPT_CUSTOMREQUEST, verb);
    } else if (std::strcmp(verb, "GET") == 0) {
        curl_->easy_setopt(h, CURLOPT_HTTPGET, 1L);
    } else {
        curl_->easy_setopt(h, CURLOPT_CUSTOMREQUEST, verb);
    }

    t.curl = curl_;
    t.handle = h;
    t.stallMs = options_.stallTimeoutMs;
    t.cancel = options_.cancel;
    t.lastMove = std::chrono::steady_clock::now();

    CURLcode rc = curl_->easy_perform(h);
    CloseRequest();

    long status = 0;
    curl_->easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    status_ = static_cast<int>(status);
    const bool bodyRefused = t.status >= 0 && (t.status < 200 || t.status > 299);
    if (rc == CURLE_OK || (rc == CURLE_WRITE_ERROR && (t.bufferFull || bodyRefused))) {
        // Only a 2xx final status is the service's answer. An error page (a 404 or 500 from the server
        // or a proxy, a 3xx with nowhere to go) can be JSON that offers firmware, or a file of exactly
        // the stated size and checksum; taken as a reply, it would be written to the device. So it is
        // a failure like any other the platform reports (result 1, with libcurl's code for it).
        if (status >= 200 && status <= 299) return kHttpOk;
        rc = CURLE_HTTP_RETURNED_ERROR;
    }
    diagnose(rc);
    if (rc == CURLE_OPERATION_TIMEDOUT || (rc == CURLE_ABORTED_BY_CALLBACK && t.stalled)) return kHttpTimedOut;
    return kHttpFailed;
}

int DownloadToBuffer(const std::string& url, size_t expectedSize, uint8_t* buffer, const HttpOptions& options) {
    // One spare byte tells a longer file from an exact one.
    std::vector<uint8_t> scratch(expectedSize + 1);
    size_t received = 0;
    int rc;
    {
        CHttpClient client(kUserAgent, options);
        rc = client.Get(url, nullptr, scratch.data(), scratch.size(), received);
    }
    if (rc != kHttpOk || received != expectedSize) return -1;
    if (expectedSize > 0) std::memcpy(buffer, scratch.data(), expectedSize);
    return 0;
}

}  // namespace qv7
