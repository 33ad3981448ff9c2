// The test server: one thread, one connection at a time, scripted replies, requests recorded whole.
#include "local_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace qv7::test {
namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string compress(std::string_view plain, int windowBits) {
    z_stream z{};
    if (deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY) != Z_OK)
        throw std::runtime_error("deflateInit2");
    std::string out(deflateBound(&z, static_cast<uLong>(plain.size())), '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(plain.data()));
    z.avail_in = static_cast<uInt>(plain.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    int rc = deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) throw std::runtime_error("deflate");
    return out;
}

}  // namespace

const std::string* RecordedRequest::header(std::string_view name) const {
    for (const auto& [k, v] : headers) {
        if (sameName(k, name)) return &v;
    }
    return nullptr;
}

size_t RecordedRequest::headerCount(std::string_view name) const {
    size_t n = 0;
    for (const auto& h : headers) n += sameName(h.first, name) ? 1 : 0;
    return n;
}

bool Connection::send(std::string_view bytes) {
    while (!bytes.empty()) {
        if (stopping_.load()) return false;
        pollfd p{fd_, POLLOUT, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        ssize_t n = ::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL);
        if (n <= 0) return false;
        sent_ += static_cast<uint64_t>(n);
        bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

void Connection::waitForClose() {
    char c;
    while (!stopping_.load()) {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, 50) <= 0) continue;
        if (::recv(fd_, &c, 1, 0) <= 0) return;
    }
}

LocalHttpServer::LocalHttpServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = 0;
    if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        ::listen(listenFd_, 8) != 0 || ::pipe(wakePipe_) != 0)
        throw std::runtime_error("test server: cannot listen");
    socklen_t len = sizeof addr;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&addr), &len);
    port_ = ntohs(addr.sin_port);
    thread_ = std::thread([this] { run(); });
}

LocalHttpServer::~LocalHttpServer() {
    stopping_.store(true);
    char c = 'x';
    (void)!::write(wakePipe_[1], &c, 1);
    thread_.join();
    ::close(listenFd_);
    ::close(wakePipe_[0]);
    ::close(wakePipe_[1]);
}

std::vector<RecordedRequest> LocalHttpServer::requests() const {
    std::lock_guard lock(mutex_);
    return requests_;
}

void LocalHttpServer::run() {
    while (!stopping_.load()) {
        pollfd p[2] = {{listenFd_, POLLIN, 0}, {wakePipe_[0], POLLIN, 0}};
        if (::poll(p, 2, -1) <= 0) continue;
        if (p[1].revents != 0) break;
        int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) continue;
        serve(fd);
        ::close(fd);
    }
}

void LocalHttpServer::serve(int fd) {
    std::string data;
    char buf[4096];
    auto fill = [&]() {
        while (!stopping_.load()) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) continue;
            ssize_t n = ::recv(fd, buf, sizeof buf, 0);
            if (n <= 0) return false;
            data.append(buf, static_cast<size_t>(n));
            return true;
        }
        return false;
    };
    size_t end;
    while ((end = data.find("\r\n\r\n")) == std::string::npos) {
        if (!fill()) return;
    }
    RecordedRequest r;
    r.raw = data.substr(0, end + 4);
    size_t lineEnd = r.raw.find("\r\n");
    std::string line = r.raw.substr(0, lineEnd);
    size_t s1 = line.find(' '), s2 = line.rfind(' ');
    r.method = line.substr(0, s1);
    r.target = line.substr(s1 + 1, s2 - s1 - 1);
    size_t pos = lineEnd + 2;
    while (pos < end) {
        size_t e = r.raw.find("\r\n", pos);
        std::string h = r.raw.substr(pos, e - pos);
        size_t colon = h.find(':');
        std::string value = colon + 1 < h.size() ? h.substr(colon + 1) : "";
        while (!value.empty() && value.front() == ' ') value.erase(0, 1);
        r.headers.emplace_back(h.substr(0, colon), value);
        pos = e + 2;
    }
    size_t length = 0;
    if (const std::string* cl = r.header("Content-Length")) length = std::stoul(*cl);
    while (data.size() < end + 4 + length) {
        if (!fill()) return;
    }
    r.body = data.substr(end + 4, length);
    int index;
    {
        std::lock_guard lock(mutex_);
        requests_.push_back(r);
        index = static_cast<int>(requests_.size()) - 1;
    }
    Connection c(fd, stopping_);
    handler_(r, index, c);
    lastSent_.store(c.bytesSent());
}

std::string fixedReply(std::string_view body, std::string_view extraHeaders, int status) {
    std::string out = "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size()) +
                      "\r\nConnection: close\r\n" + std::string(extraHeaders) + "\r\n";
    out += body;
    return out;
}

std::string chunkedReply(const std::vector<std::string>& chunks, std::string_view extraHeaders) {
    std::string out =
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\nConnection: close\r\n" + std::string(extraHeaders) + "\r\n";
    char size[32];
    for (const std::string& c : chunks) {
        std::snprintf(size, sizeof size, "%zx\r\n", c.size());
        out += size;
        out += c;
        out += "\r\n";
    }
    out += "0\r\n\r\n";
    return out;
}

std::string gzipBytes(std::string_view plain) { return compress(plain, 15 + 16); }
std::string deflateBytes(std::string_view plain) { return compress(plain, 15); }

}  // namespace qv7::test
