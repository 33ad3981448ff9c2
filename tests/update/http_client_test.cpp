// CHttpClient against a real server on 127.0.0.1: what goes out, what comes back, and where it stops.
#include "update/http_client.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "local_http_server.h"
#include "update/version_check.h"

namespace qv7 {
namespace {

using test::Connection;
using test::LocalHttpServer;
using test::RecordedRequest;

LocalHttpServer::Handler replyWith(std::string response) {
    return [response](const RecordedRequest&, int, Connection& c) { c.send(response); };
}

std::string pattern(size_t n) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>('a' + i % 26);
    return s;
}

HttpOptions quiet(std::vector<std::string>* lines = nullptr) {
    HttpOptions o;
    o.connectTimeoutMs = 5'000;
    o.stallTimeoutMs = 5'000;
    o.diagnostics = [lines](std::string_view l) {
        if (lines != nullptr) lines->emplace_back(l);
    };
    return o;
}

TEST(HttpClient, PostSendsTheExactBodyAndHeaders) {
    LocalHttpServer server(replyWith(test::fixedReply("{}")));
    const std::string body = PanelVersionCheckRequest();
    std::string reply;
    CHttpClient client(kUserAgent, quiet());
    ASSERT_EQ(client.Post(server.url("/admin/appios"), body.c_str(), reply), kHttpOk);
    EXPECT_EQ(reply, "{}");

    auto requests = server.requests();
    ASSERT_EQ(requests.size(), 1u);
    const RecordedRequest& r = requests[0];
    EXPECT_EQ(r.method, "POST");
    EXPECT_EQ(r.target, "/admin/appios");
    EXPECT_EQ(r.body.size(), 134u);
    EXPECT_EQ(
        r.body,
        R"(json={"method" : "checkVersion", "parameters" : { "hardwareVersion":"1.0.0","softwareVersion" : "1.0.0","type" : "panel-qv7-release"}})");
    EXPECT_EQ(r.raw.find("Expect:"), std::string::npos);

    const std::vector<std::pair<std::string, std::string>> expected = {
        {"User-Agent", kUserAgent},           {"Accept", "*,*/*"},
        {"Accept-Language", "zh-cn"},         {"Content-Type", "application/x-www-form-urlencoded"},
        {"Accept-Encoding", "gzip, deflate"}, {"Content-Length", "134"},
    };
    for (const auto& [name, value] : expected) {
        SCOPED_TRACE(name);
        ASSERT_EQ(r.headerCount(name), 1u) << r.raw;
        EXPECT_EQ(*r.header(name), value);
    }
    // The four fixed headers go out in their documented order.
    size_t a = r.raw.find("\r\nAccept: "), l = r.raw.find("\r\nAccept-Language: "),
           t = r.raw.find("\r\nContent-Type: "), e = r.raw.find("\r\nAccept-Encoding: ");
    EXPECT_LT(a, l);
    EXPECT_LT(l, t);
    EXPECT_LT(t, e);
}

TEST(HttpClient, GetCarriesTheSameHeadersAndNoBody) {
    LocalHttpServer server(replyWith(test::fixedReply("abcd")));
    uint8_t buffer[8] = {};
    size_t received = 99;
    CHttpClient client(kUserAgent, quiet());
    ASSERT_EQ(client.Get(server.url("/fw.bin?x=1"), nullptr, buffer, sizeof buffer, received), kHttpOk);
    EXPECT_EQ(received, 4u);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "abcd");
    auto r = server.requests().at(0);
    EXPECT_EQ(r.method, "GET");
    EXPECT_EQ(r.target, "/fw.bin?x=1");
    EXPECT_TRUE(r.body.empty());
    EXPECT_EQ(r.headerCount("Content-Length"), 0u);
    EXPECT_EQ(*r.header("User-Agent"), kUserAgent);
    EXPECT_EQ(*r.header("Accept"), "*,*/*");
    EXPECT_EQ(*r.header("Accept-Language"), "zh-cn");
    EXPECT_EQ(*r.header("Content-Type"), "application/x-www-form-urlencoded");
    EXPECT_EQ(*r.header("Accept-Encoding"), "gzip, deflate");
}

TEST(HttpClient, OnlyHttpAndHttpsUrlsAreTried) {
    LocalHttpServer server(replyWith(test::fixedReply("x")));
    const std::string port = std::to_string(server.port());
    const std::vector<std::string> urls = {"ftp://127.0.0.1:" + port + "/f",
                                           "file:///etc/hostname",
                                           "gopher://127.0.0.1:" + port,
                                           "127.0.0.1:" + port + "/x",
                                           "not a url",
                                           ""};
    for (const std::string& url : urls) {
        SCOPED_TRACE(url);
        std::vector<std::string> lines;
        CHttpClient client(kUserAgent, quiet(&lines));
        std::string reply = "stale";
        EXPECT_EQ(client.Post(url, "a=b", reply), kHttpFailed);
        EXPECT_TRUE(reply.empty());
        uint8_t buffer[4];
        size_t received = 7;
        EXPECT_EQ(client.Get(url, nullptr, buffer, sizeof buffer, received), kHttpFailed);
        EXPECT_EQ(received, 0u);
        EXPECT_TRUE(lines.empty()) << "a rejected URL writes no diagnostic line";
    }
    EXPECT_TRUE(server.requests().empty());
}

struct TextCase {
    const char* name;
    std::string response;
    std::string expected;
};

std::string withNulAt(std::string s, size_t at) {
    s[at] = '\0';
    return s;
}

TEST(HttpClient, TextRepliesAreCollectedByTheBlockRule) {
    const std::string body3000 = pattern(3000);
    const std::string nul100 = withNulAt(body3000, 100);
    const std::string nul1500 = withNulAt(body3000, 1500);
    const std::vector<TextCase> cases = {
        {"3,000 bytes, length-delimited", test::fixedReply(body3000), body3000},
        {"3,000 bytes in 700-byte chunks",
         test::chunkedReply(
             {body3000.substr(0, 700), body3000.substr(700, 700), body3000.substr(1400, 700), body3000.substr(2100)}),
         body3000},
        {"NUL in the first block drops the rest of that block only", test::fixedReply(nul100),
         body3000.substr(0, 100) + body3000.substr(1024)},
        {"NUL inside an HTTP chunk", test::chunkedReply({nul1500.substr(0, 1200), nul1500.substr(1200)}),
         body3000.substr(0, 1500) + body3000.substr(2048)},
        {"empty body", test::fixedReply(""), ""},
        {"empty chunked body", test::chunkedReply({}), ""},
        {"gzip", test::fixedReply(test::gzipBytes(body3000), "Content-Encoding: gzip\r\n"), body3000},
        {"gzip, chunked", test::chunkedReply({test::gzipBytes(R"({"status":"1"})")}, "Content-Encoding: gzip\r\n"),
         R"({"status":"1"})"},
        {"deflate", test::fixedReply(test::deflateBytes("deflated text"), "Content-Encoding: deflate\r\n"),
         "deflated text"},
        {"UTF-8 kept as it came", test::fixedReply("新面板提醒"), "新面板提醒"},
    };
    for (const TextCase& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server(replyWith(c.response));
        CHttpClient client(kUserAgent, quiet());
        std::string reply = "stale";
        ASSERT_EQ(client.Post(server.url("/"), "a=b", reply), kHttpOk);
        EXPECT_EQ(reply.size(), c.expected.size());
        EXPECT_EQ(reply, c.expected);
    }
}

// The service's error pages are errors: whatever their body holds, no caller may take it for a reply.
TEST(HttpClient, OnlyA2xxFinalStatusIsAReply) {
    const std::string offer =
        R"({"status":"112304","filesize":4,"urlPath":"http://x.invalid/f","checksum":"64636261"})";
    struct Case {
        const char* name;
        std::string response;
        int result;
        std::string text;  // the text reply when result is kHttpOk
    };
    const std::vector<Case> cases = {
        {"500 whose body offers firmware", test::fixedReply(offer, {}, 500), kHttpFailed, ""},
        {"404 page", test::fixedReply("abcd", {}, 404), kHttpFailed, ""},
        {"302 without Location", test::fixedReply("abcd", {}, 302), kHttpFailed, ""},
        {"301 without Location, chunked",
         "HTTP/1.1 301 Moved\r\nTransfer-Encoding: chunked\r\n\r\n4\r\nabcd\r\n0\r\n\r\n", kHttpFailed, ""},
        {"503 with no body", test::fixedReply("", {}, 503), kHttpFailed, ""},
        {"204 no content", "HTTP/1.1 204 No Content\r\nConnection: close\r\n\r\n", kHttpOk, ""},
        {"200", test::fixedReply("abcd"), kHttpOk, "abcd"},
        {"203 is a success too", test::fixedReply("abcd", {}, 203), kHttpOk, "abcd"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server(replyWith(c.response));
        std::vector<std::string> lines;
        CHttpClient client(kUserAgent, quiet(&lines));
        std::string reply = "stale";
        EXPECT_EQ(client.Post(server.url("/admin/appios"), "a=b", reply), c.result);
        EXPECT_EQ(reply, c.text);
        uint8_t buffer[4] = {};
        size_t received = 99;
        EXPECT_EQ(client.Get(server.url("/fw.bin"), nullptr, buffer, sizeof buffer, received), c.result);
        if (c.result != kHttpOk) {
            EXPECT_EQ(received, 0u) << "an error page's bytes are not handed out";
            // One diagnostic line per failed request, as for any other failure.
            EXPECT_EQ(lines, (std::vector<std::string>{"dwError = 22", "dwError = 22"}));
        }
        // A file of the right size behind an error status is no download; an empty 204 is none either.
        uint8_t file[4] = {};
        EXPECT_EQ(DownloadToBuffer(server.url("/fw.bin"), sizeof file, file, quiet()),
                  c.result == kHttpOk && !c.text.empty() ? 0 : -1);
    }
}

TEST(HttpClient, ARedirectIsFollowedToItsFinalStatus) {
    LocalHttpServer server([](const RecordedRequest& r, int, Connection& c) {
        if (r.target == "/moved") c.send(test::fixedReply("", "Location: /here\r\n", 302));
        else if (r.target == "/gone") c.send(test::fixedReply("", "Location: /missing\r\n", 301));
        else if (r.target == "/here") c.send(test::fixedReply("abcd"));
        else c.send(test::fixedReply("abcd", {}, 404));
    });
    uint8_t file[4] = {};
    EXPECT_EQ(DownloadToBuffer(server.url("/moved"), sizeof file, file, quiet()), 0);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(file), 4), "abcd");
    EXPECT_EQ(DownloadToBuffer(server.url("/gone"), sizeof file, file, quiet()), -1);
}

struct BufferCase {
    const char* name;
    std::string file;
    size_t bufferSize;
    size_t received;
    int download;  // DownloadToBuffer with expected size = bufferSize
};

TEST(HttpClient, BufferRequestsAndDownloads) {
    const std::vector<BufferCase> cases = {
        {.name = "exact", .file = pattern(1000), .bufferSize = 1000, .received = 1000, .download = 0},
        {.name = "short file", .file = pattern(999), .bufferSize = 1000, .received = 999, .download = -1},
        {.name = "long file fills the buffer",
         .file = pattern(1001),
         .bufferSize = 1000,
         .received = 1000,
         .download = -1},
        {.name = "empty file", .file = "", .bufferSize = 16, .received = 0, .download = -1},
        {.name = "gzip file is decoded",
         .file = test::gzipBytes(std::string(4096, '\x5a')),
         .bufferSize = 4096,
         .received = 4096,
         .download = 0},
    };
    for (const BufferCase& c : cases) {
        SCOPED_TRACE(c.name);
        const bool gz = std::string_view(c.name).find("gzip") != std::string_view::npos;
        LocalHttpServer server(replyWith(test::fixedReply(c.file, gz ? "Content-Encoding: gzip\r\n" : "")));
        std::vector<uint8_t> buffer(c.bufferSize);
        size_t received = 0;
        {
            CHttpClient client(kUserAgent, quiet());
            EXPECT_EQ(client.Get(server.url("/f"), nullptr, buffer.data(), buffer.size(), received), kHttpOk);
        }
        EXPECT_EQ(received, c.received);
        std::vector<uint8_t> exact(c.bufferSize);
        EXPECT_EQ(DownloadToBuffer(server.url("/f"), c.bufferSize, exact.data(), quiet()), c.download);
    }
}

TEST(HttpClient, DownloadOfAMissingServerFails) {
    int port;
    {
        LocalHttpServer gone(replyWith(""));
        port = gone.port();
    }
    std::vector<std::string> lines;
    uint8_t buffer[4];
    EXPECT_EQ(DownloadToBuffer("http://127.0.0.1:" + std::to_string(port) + "/f", 4, buffer, quiet(&lines)), -1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0], "dwError = 7");  // CURLE_COULDNT_CONNECT
}

TEST(HttpClient, AStalledServerIsATimeOut) {
    LocalHttpServer server([](const RecordedRequest&, int index, Connection& c) {
        // The second case sends headers and then nothing more.
        if (index == 1) c.send("HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\nabc");
        c.waitForClose();
    });
    for (int i = 0; i < 2; ++i) {
        std::vector<std::string> lines;
        HttpOptions o = quiet(&lines);
        o.stallTimeoutMs = 300;
        const auto start = std::chrono::steady_clock::now();
        std::string reply;
        CHttpClient client(kUserAgent, o);
        EXPECT_EQ(client.Post(server.url("/slow"), "a=b", reply), kHttpTimedOut);
        EXPECT_TRUE(reply.empty());
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].rfind("dwError = ", 0), 0u);
        // A loose bound: the configured 300 ms plus libcurl's idle progress interval, far from forever.
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    }
}

TEST(HttpClient, AnEndlessReplyIsRefusedAtTheTextCap) {
    constexpr uint64_t kTenMiB = 10u << 20;
    struct Case {
        const char* name;
        bool gzip;
    };
    for (const Case c : {Case{"plain", false}, Case{"gzip bomb", true}}) {
        SCOPED_TRACE(c.name);
        LocalHttpServer server([&](const RecordedRequest&, int, Connection& conn) {
            if (c.gzip) {
                // 10 MiB of text in a few kilobytes; the cap applies to what it decodes to.
                std::string bomb = test::gzipBytes(std::string(kTenMiB, 'a'));
                conn.send(test::fixedReply(bomb, "Content-Encoding: gzip\r\n"));
                return;
            }
            if (!conn.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n")) return;
            const std::string block(64 * 1024, 'a');
            for (uint64_t sent = 0; sent < kTenMiB; sent += block.size()) {
                if (!conn.send(block)) return;
            }
            conn.waitForClose();
        });
        std::vector<std::string> lines;
        std::string reply = "stale";
        CHttpClient client(kUserAgent, quiet(&lines));
        EXPECT_EQ(client.Post(server.url("/big"), "a=b", reply), kHttpFailed);
        EXPECT_TRUE(reply.empty());
        EXPECT_EQ(lines.size(), 1u);
        if (!c.gzip) {
            // The client stopped reading near 1 MiB; what else the server got out sits in socket buffers.
            EXPECT_LT(server.lastBytesSent(), kTenMiB / 2);
        }
    }
}

TEST(HttpClient, ATextReplyOfExactlyTheCapIsAccepted) {
    const std::string body = pattern(1u << 20);
    LocalHttpServer server(replyWith(test::fixedReply(body)));
    std::string reply;
    CHttpClient client(kUserAgent, quiet());
    ASSERT_EQ(client.Post(server.url("/"), "", reply), kHttpOk);
    EXPECT_EQ(reply.size(), body.size());
}

TEST(HttpClient, ACancelledRequestEndsAsAFailure) {
    LocalHttpServer server([](const RecordedRequest&, int, Connection& c) { c.waitForClose(); });
    std::atomic<bool> cancel{true};
    HttpOptions o = quiet();
    o.cancel = &cancel;
    std::string reply;
    CHttpClient client(kUserAgent, o);
    EXPECT_EQ(client.Post(server.url("/"), "a=b", reply), kHttpFailed);
}

TEST(HttpClient, OneClientServesSeveralRequests) {
    LocalHttpServer server([](const RecordedRequest& r, int, Connection& c) { c.send(test::fixedReply(r.target)); });
    CHttpClient client(kUserAgent, quiet());
    for (const char* path : {"/one", "/two", "/three"}) {
        std::string reply;
        ASSERT_EQ(client.Post(server.url(path), "a=b", reply), kHttpOk);
        EXPECT_EQ(reply, path);
    }
}

}  // namespace
}  // namespace qv7
