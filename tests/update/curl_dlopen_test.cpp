// libcurl opened by soname, as qv7-panel opens it: the table from the real library, a clear refusal otherwise, and a
// client whose libcurl is missing failing every request with that reason on its diagnostics, without a crash.
#include "update/curl_dlopen.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "local_http_server.h"
#include "update/http_client.h"

namespace qv7 {
namespace {

struct OpenCase {
    const char* soname;
    bool opens;
    const char* reasonHas;  // in the reason when it does not open
};

TEST(CurlDlopen, OpensLibcurlAndRefusesWhatIsNotIt) {
    const std::vector<OpenCase> cases = {
        {kCurlSoname, true, ""},
        {"libqv7-no-such-curl.so.4", false, "libqv7-no-such-curl.so.4"},
        // A library that is there but is not libcurl: every function it lacks is named.
        {"libz.so.1", false, "lacks curl_global_init"},
    };
    for (const OpenCase& c : cases) {
        SCOPED_TRACE(c.soname);
        CurlApi api{};
        std::string why;
        EXPECT_EQ(OpenCurl(c.soname, api, why), c.opens);
        if (c.opens) {
            EXPECT_EQ(why, "");
            for (void (*f)() :
                 {reinterpret_cast<void (*)()>(api.global_init), reinterpret_cast<void (*)()>(api.easy_setopt),
                  reinterpret_cast<void (*)()>(api.url_get), reinterpret_cast<void (*)()>(api.free)})
                EXPECT_NE(f, nullptr);
        } else {
            EXPECT_NE(why.find("online checks off"), std::string::npos) << why;
            EXPECT_NE(why.find(c.reasonHas), std::string::npos) << why;
        }
    }
}

// The process-wide table is loaded once, so a missing libcurl is tried in a process of its own.
void requestWithoutLibcurl() {
    setenv(kCurlSonameVariable, "libqv7-no-such-curl.so.4", 1);
    test::LocalHttpServer server(
        [](const test::RecordedRequest&, int, test::Connection& c) { c.send(test::fixedReply("{}")); });
    std::vector<std::string> lines;
    HttpOptions options;
    options.diagnostics = [&lines](std::string_view l) { lines.emplace_back(l); };
    std::string reply;
    size_t received = 0;
    uint8_t buffer[4];
    bool ok = !IsHttpUrl(server.url("/"));
    {
        CHttpClient client(kUserAgent, options);
        ok = ok && client.Post(server.url("/admin/appios"), "x", reply) == kHttpFailed;
        ok = ok && client.Get(server.url("/f"), nullptr, buffer, sizeof buffer, received) == kHttpFailed;
    }
    ok = ok && DownloadToBuffer(server.url("/f"), 4, buffer, options) == -1;
    ok = ok && server.requests().empty();
    // Each request says why, then fails as libcurl's own failed start would.
    const std::vector<std::string> expected = {
        "online checks off: libcurl could not be loaded (libqv7-no-such-curl.so.4: cannot open shared object file: No "
        "such file or directory)",
        "dwError = 2"};
    ok = ok && lines.size() == 6;
    for (size_t i = 0; ok && i < lines.size(); ++i) ok = lines[i] == expected[i % 2];
    for (const std::string& l : lines) std::fprintf(stderr, "line: %s\n", l.c_str());
    std::exit(ok ? 0 : 1);
}

TEST(CurlDlopen, AMissingLibcurlFailsEachRequestWithItsReason) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(requestWithoutLibcurl(), testing::ExitedWithCode(0), "online checks off: libcurl could not be loaded");
}

}  // namespace
}  // namespace qv7
