// Host settings with and without a scheme: the addresses built, the refusals, and what the checks trace.
#include "update/hosts.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "local_http_server.h"
#include "temp_dir.h"
#include "update/firmware_update.h"
#include "update/panel_check.h"

namespace qv7 {
namespace {

using test::Connection;
using test::LocalHttpServer;
using test::RecordedRequest;

// Sets an environment variable for one scope and puts back what was there.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old, had_ = true;
        setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (had_) setenv(name_, old_.c_str(), 1);
        else unsetenv(name_);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::string old_;
    bool had_ = false;
};

struct Lines {
    std::shared_ptr<std::vector<std::string>> lines = std::make_shared<std::vector<std::string>>();
    LineWriter writer() const {
        return [l = lines](std::string_view s) { l->emplace_back(s); };
    }
    bool has(std::string_view part) const {
        for (const auto& l : *lines)
            if (l.find(part) != std::string::npos) return true;
        return false;
    }
    std::string all() const {
        std::string s;
        for (const auto& l : *lines) s += l + "|";
        return s;
    }
};

struct AddressCase {
    const char* setting;
    const char* checkUrl;  // empty: refused
    const char* pageUrl;
};

TEST(HostSettings, AddressesBuiltFromEachForm) {
    for (const AddressCase c : {
             AddressCase{"check.example.test", "http://check.example.test/admin/appios",
                         "http://check.example.test/Download"},
             AddressCase{"127.0.0.1:8080", "http://127.0.0.1:8080/admin/appios", "http://127.0.0.1:8080/Download"},
             AddressCase{"http://h.test:81", "http://h.test:81/admin/appios", "http://h.test:81/Download"},
             AddressCase{"https://h.test", "https://h.test/admin/appios", "https://h.test/Download"},
             AddressCase{"HTTPS://h.test:8443/", "https://h.test:8443/admin/appios", "https://h.test:8443/Download"},
             AddressCase{"https://[::1]:8443", "https://[::1]:8443/admin/appios", "https://[::1]:8443/Download"},
             AddressCase{"ftp://h.test", "", ""},
             AddressCase{"file:///etc/passwd", "", ""},
             AddressCase{"javascript://h.test", "", ""},
             AddressCase{"https://", "", ""},
             AddressCase{"https://h.test/admin", "", ""},
             AddressCase{"h.test/x?y", "", ""},
             AddressCase{"https://user@h.test", "", ""},
             AddressCase{"h.test\r\nX-Forged: 1", "", ""},
             AddressCase{"h .test", "", ""},
         }) {
        SCOPED_TRACE(c.setting);
        ScopedEnv check("QV7_CHECK_HOST", c.setting);
        ScopedEnv site("QV7_SITE_HOST", c.setting);
        EXPECT_EQ(VersionCheckUrl(), c.checkUrl);
        EXPECT_EQ(DownloadPageUrl(), c.pageUrl);
    }
}

TEST(HostSettings, RefusalNamesTheSettingAndItsForms) {
    const HostSetting s = ParseHostSetting("QV7_CHECK_HOST", "ftp://h.test");
    EXPECT_FALSE(s.ok());
    EXPECT_TRUE(s.base.empty());
    EXPECT_EQ(s.error, "QV7_CHECK_HOST 'ftp://h.test' names the scheme 'ftp'; it takes host[:port] (http), "
                       "http://host[:port] or https://host[:port]");
    // A control character in the value is not handed on to the terminal that shows the message.
    const HostSetting c = ParseHostSetting("QV7_SITE_HOST", "h\x1b[2J");
    EXPECT_FALSE(c.ok());
    EXPECT_EQ(c.error.find('\x1b'), std::string::npos);
    // The default is the bare host, asked over plain http.
    const HostSetting d = ParseHostSetting("QV7_CHECK_HOST", "check.qv7.invalid");
    EXPECT_TRUE(d.ok());
    EXPECT_EQ(d.base, "http://check.qv7.invalid");
    EXPECT_EQ(d.host, "check.qv7.invalid");
}

HttpOptions traced(const Lines& lines) {
    HttpOptions o;
    o.connectTimeoutMs = 5'000;
    o.stallTimeoutMs = 5'000;
    o.diagnostics = lines.writer();
    return o;
}

TEST(HostSettings, FirmwareCheckAsksTheSchemedAddressAndTracesIt) {
    LocalHttpServer server([](const RecordedRequest&, int, Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 14\r\nConnection: close\r\n\r\n{\"status\":\"0\"}");
    });
    const std::string base = "http://" + server.hostPort();
    ScopedEnv check("QV7_CHECK_HOST", base);
    Lines lines;
    EXPECT_FALSE(RequestFirmwareVersion("1.0", "1.0.7", "", traced(lines)));
    ASSERT_EQ(server.requests().size(), 1u) << lines.all();
    EXPECT_EQ(server.requests()[0].method, "POST");
    EXPECT_EQ(server.requests()[0].target, "/admin/appios");
    EXPECT_TRUE(lines.has("version check: POST " + base + "/admin/appios")) << lines.all();
}

TEST(HostSettings, RefusedSchemeFailsTheChecksWithItsMessageInTheTrace) {
    LocalHttpServer server([](const RecordedRequest&, int, Connection& c) {
        c.send("HTTP/1.1 200 OK\r\nContent-Length: 14\r\nConnection: close\r\n\r\n{\"status\":\"0\"}");
    });
    ScopedEnv check("QV7_CHECK_HOST", "gopher://" + server.hostPort());
    {
        Lines lines;
        EXPECT_FALSE(RequestFirmwareVersion("1.0", "1.0.7", "", traced(lines)));
        EXPECT_TRUE(lines.has("QV7_CHECK_HOST 'gopher://" + server.hostPort() + "' names the scheme 'gopher'"))
            << lines.all();
    }
    {
        qv7::test::TempDir dir;
        PanelCheckContext context;
        context.iniPath = (dir / "TolkaPanel.ini").string();
        context.siteHost = "www.example.test";
        Lines lines;
        context.http = traced(lines);
        EXPECT_FALSE(RequestPanelVersion(context));
        EXPECT_TRUE(lines.has("names the scheme 'gopher'")) << lines.all();
    }
    {
        // A refused site host ends the panel check before it asks: its offer could send the user nowhere.
        qv7::test::TempDir dir;
        PanelCheckContext context;
        context.iniPath = (dir / "TolkaPanel.ini").string();
        context.checkUrl = server.url(kCheckPath);
        context.siteHost = "mailto://www.example.test";
        Lines lines;
        context.http = traced(lines);
        EXPECT_FALSE(RequestPanelVersion(context));
        EXPECT_TRUE(lines.has("QV7_SITE_HOST 'mailto://www.example.test' names the scheme 'mailto'")) << lines.all();
    }
    EXPECT_TRUE(server.requests().empty());
}

TEST(HostSettings, PanelOfferSendsTheUserToTheSchemedDownloadPage) {
    qv7::test::TempDir dir;
    PanelCheckContext context;
    context.iniPath = (dir / "TolkaPanel.ini").string();
    context.siteHost = "https://www.example.test";
    context.now = [] { return std::time_t{1'700'000'000}; };
    context.http.diagnostics = [](std::string_view) {};
    // A file too large for a link file: the offer is the download page.
    const auto offer = OnPanelVersionReply(
        R"({"status":"112304","softwareVersion":"1.0.9","filesize":5000,"urlPath":"http://127.0.0.1:9/x"})", context);
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->address, "https://www.example.test/Download");
    EXPECT_NE(offer->prompt.find("官网（www.example.test）"), std::string::npos) << offer->prompt;
}

}  // namespace
}  // namespace qv7
