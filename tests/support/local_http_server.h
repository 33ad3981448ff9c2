// A small HTTP/1.1 server on 127.0.0.1 for the update tests: records requests, replies as each test scripts.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace qv7::test {

struct RecordedRequest {
    std::string method;
    std::string target;
    std::vector<std::pair<std::string, std::string>> headers;  // in the order received
    std::string body;
    std::string raw;  // request line and headers, as received

    // Value of the first header of that name (case-insensitive), or nothing.
    const std::string* header(std::string_view name) const;
    size_t headerCount(std::string_view name) const;
};

// One accepted connection, as a handler sees it.
class Connection {
public:
    explicit Connection(int fd, const std::atomic<bool>& stopping) : fd_(fd), stopping_(stopping) {}
    // False once the peer has gone or the server stops.
    bool send(std::string_view bytes);
    // Blocks until the peer closes the connection or the server stops.
    void waitForClose();
    bool stopping() const { return stopping_.load(); }
    uint64_t bytesSent() const { return sent_; }

private:
    int fd_;
    const std::atomic<bool>& stopping_;
    uint64_t sent_ = 0;
};

class LocalHttpServer {
public:
    // Called on the server thread for each request; index counts from 0.
    using Handler = std::function<void(const RecordedRequest&, int index, Connection&)>;

    explicit LocalHttpServer(Handler handler);
    ~LocalHttpServer();
    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int port() const { return port_; }
    std::string hostPort() const { return "127.0.0.1:" + std::to_string(port_); }
    std::string url(std::string_view path) const { return "http://" + hostPort() + std::string(path); }

    std::vector<RecordedRequest> requests() const;
    // Bytes the last connection sent before it ended.
    uint64_t lastBytesSent() const { return lastSent_.load(); }

private:
    void run();
    void serve(int fd);

    Handler handler_;
    int listenFd_ = -1;
    int wakePipe_[2] = {-1, -1};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<uint64_t> lastSent_{0};
    mutable std::mutex mutex_;
    std::vector<RecordedRequest> requests_;
    std::thread thread_;
};

// Reply helpers; each writes a whole response and asks the client to close the connection.
std::string fixedReply(std::string_view body, std::string_view extraHeaders = {}, int status = 200);
std::string chunkedReply(const std::vector<std::string>& chunks, std::string_view extraHeaders = {});
std::string gzipBytes(std::string_view plain);
std::string deflateBytes(std::string_view plain);  // zlib stream, as "Content-Encoding: deflate" means

}  // namespace qv7::test
