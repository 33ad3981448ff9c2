// The daily panel check with a fixed clock: due rule, stamp, address choice and the worker thread.
#include "update/panel_check.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <future>
#include <string>
#include <vector>

#include "common/app_dir.h"
#include "common/gbk_text.h"
#include "common/ini_file.h"
#include "local_http_server.h"
#include "temp_dir.h"
#include "update/version_check.h"

namespace qv7 {
namespace {

namespace fs = std::filesystem;
using test::Connection;
using test::LocalHttpServer;
using test::RecordedRequest;

std::time_t utc(int y, int mon, int d, int h = 12) {
    std::tm t{};
    t.tm_year = y - 1900;
    t.tm_mon = mon - 1;
    t.tm_mday = d;
    t.tm_hour = h;
    return timegm(&t);
}

class PanelCheck : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
        ini_ = (dir_ / "TolkaPanel.ini").string();
    }

    void writeFile(const std::string& text) { std::ofstream(ini_, std::ios::binary) << text; }
    std::string readFile() {
        std::ifstream in(ini_, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string lastDate() { return ReadIniString(ini_, "Setting", "last_date", "null"); }

    PanelCheckContext context(const std::string& checkUrl, std::time_t now) {
        PanelCheckContext c;
        c.iniPath = ini_;
        c.checkUrl = checkUrl;
        c.siteHost = "www.example.invalid";
        c.now = [now] { return now; };
        c.http.connectTimeoutMs = 5'000;
        c.http.stallTimeoutMs = 5'000;
        c.http.diagnostics = [](std::string_view) {};
        return c;
    }

    qv7::test::TempDir dir_;
    std::string ini_;
};

TEST_F(PanelCheck, FormatTodayHasNoLeadingZeros) {
    EXPECT_EQ(FormatToday(utc(2025, 3, 7)), "2025-3-7");
    EXPECT_EQ(FormatToday(utc(2025, 12, 31)), "2025-12-31");
    EXPECT_EQ(FormatToday(utc(2024, 1, 1, 0)), "2024-1-1");
    // Local time decides the date.
    setenv("TZ", "Asia/Shanghai", 1);
    tzset();
    EXPECT_EQ(FormatToday(utc(2025, 3, 7, 20)), "2025-3-8");
}

struct DueCase {
    const char* name;
    const char* file;  // nullptr: no file
    bool due;
    const char* stored;
};

TEST_F(PanelCheck, DailyRule) {
    const std::time_t today = utc(2025, 3, 7);
    const std::vector<DueCase> cases = {
        {"no file", nullptr, true, "null"},
        {"no section", "[Other]\nlast_date=2025-3-7\n", true, "null"},
        {"no key", "[Setting]\nother=1\n", true, "null"},
        {"the literal null", "[Setting]\nlast_date=null\n", true, "null"},
        {"today", "[Setting]\nlast_date=2025-3-7\n", false, "2025-3-7"},
        {"today, other spelling of names", "[setting]\r\nLAST_DATE = 2025-3-7\r\n", false, "2025-3-7"},
        {"yesterday", "[Setting]\nlast_date=2025-3-6\n", true, "2025-3-6"},
        {"padded date", "[Setting]\nlast_date=2025-03-07\n", true, "2025-03-07"},
    };
    for (const DueCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(ini_);
        if (c.file != nullptr) writeFile(c.file);
        std::string stored;
        EXPECT_EQ(IsPanelCheckDue(ini_, today, &stored), c.due);
        EXPECT_EQ(stored, c.stored);
    }
}

TEST_F(PanelCheck, StampKeepsTheRestOfTheFile) {
    writeFile("; panel settings\n[Other]\nkey=1\n[Setting]\nlast_date=2025-03-07\nkeep=yes\n");
    ASSERT_TRUE(WriteIniString(ini_, "Setting", "last_date", "2025-3-7"));
    EXPECT_EQ(readFile(), "; panel settings\n[Other]\nkey=1\n[Setting]\nlast_date=2025-3-7\nkeep=yes\n");
    fs::remove(ini_);
    ASSERT_TRUE(WriteIniString(ini_, "Setting", "last_date", "2025-3-7"));
    EXPECT_EQ(readFile(), "[Setting]\nlast_date=2025-3-7\n");
    // Written by rename: no temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_.path()), fs::directory_iterator()), 1);
    EXPECT_FALSE(WriteIniString((dir_ / "missing/TolkaPanel.ini").string(), "Setting", "last_date", "x"));
}

TEST_F(PanelCheck, ConfigDirOverride) {
    setenv("QV7_CONFIG_DIR", dir_.path().c_str(), 1);
    EXPECT_EQ(GetAppDirFile("TolkaPanel.ini"), ini_);
    unsetenv("QV7_CONFIG_DIR");
    EXPECT_NE(GetAppDirFile("TolkaPanel.ini"), ini_);
}

struct ReplyCase {
    const char* name;
    std::string reply;
    bool offered;
};

TEST_F(PanelCheck, OnlyAnOfferStampsTheDate) {
    const std::time_t today = utc(2025, 3, 7);
    const std::vector<ReplyCase> cases = {
        {"not JSON", "<html>500</html>", false},
        {"no offer", R"({"status":"0"})", false},
        {"status as number", R"({"status":112304,"filesize":4096})", false},
        {"array root", R"([{"status":"112304"}])", false},
        {"offer", R"({"status":"112304","softwareVersion":"2.0.1","filesize":4096,"urlPath":""})", true},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(ini_);
        auto offer = OnPanelVersionReply(c.reply, context("", today));
        EXPECT_EQ(offer.has_value(), c.offered);
        EXPECT_EQ(lastDate(), c.offered ? "2025-3-7" : "null");
    }
}

TEST_F(PanelCheck, PromptAndDownloadPage) {
    auto offer = OnPanelVersionReply(R"({"status":"112304","softwareVersion":"2.0.1","filesize":1024,"urlPath":"x"})",
                                     context("", utc(2025, 3, 7)));
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->caption, "新面板提醒");
    EXPECT_EQ(offer->prompt,
              "    Tolka面板有更新的版本(2.0.1)，请到Vexlor官网（www.example.invalid）下载，或找Vexlor售后获取。\n"
              "    是否去官网下载？");
    EXPECT_EQ(offer->address, "http://www.example.invalid/Download");
}

struct LinkCase {
    const char* name;
    std::string file;
    uint32_t filesize;  // as the reply states it
    std::string address;
};

TEST_F(PanelCheck, LinkFileOrDownloadPage) {
    const std::string page = "http://www.example.invalid/Download";
    const std::string gbkFile = gbk::fromUtf8("新版本：<http://files.example.invalid/面板.zip>").value();
    const std::string big(1024, 'x');
    const std::vector<LinkCase> cases = {
        {"link file", "see <http://files.example.invalid/p.zip> now", 0, "http://files.example.invalid/p.zip"},
        {"GBK link file", gbkFile, 0, "http://files.example.invalid/面板.zip"},
        {"1023 bytes is still a link file", std::string(1000, ' ') + "<http://a.invalid/x>" + std::string(3, ' '), 0,
         "http://a.invalid/x"},
        {"1024 takes the download page", big, 1024, page},
        {"no address falls back", "http://files.example.invalid/p.zip", 0, page},
        {"'<' without '>' falls back", "<http://files.example.invalid/p.zip", 0, page},
        {"shorter file than stated falls back", "<http://a.invalid/x>", 40, page},
        {"longer file than stated falls back", "<http://a.invalid/x>", 10, page},
        {"https link file", "<https://a.invalid/x>", 0, "https://a.invalid/x"},
        {"scheme in capitals", "<HTTP://a.invalid/x>", 0, "HTTP://a.invalid/x"},
        {"file: falls back", "<file:///etc/passwd>", 0, page},
        {"smb: falls back", "<smb://host/share/p.exe>", 0, page},
        {"javascript: falls back", "<javascript:alert(1)>", 0, page},
        {"custom handler falls back", "<steam://run/1>", 0, page},
        {"no scheme falls back", "<www.a.invalid/x>", 0, page},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer files(
            [&](const RecordedRequest&, int, Connection& conn) { conn.send(test::fixedReply(c.file)); });
        const uint32_t size = c.filesize != 0 ? c.filesize : static_cast<uint32_t>(c.file.size());
        const std::string reply = R"({"status":"112304","softwareVersion":"2.0.1","filesize":)" + std::to_string(size) +
                                  R"(,"urlPath":")" + files.url("/link.txt") + "\"}";
        auto offer = OnPanelVersionReply(reply, context("", utc(2025, 3, 7)));
        ASSERT_TRUE(offer);
        EXPECT_EQ(offer->address, c.address);
        // The download page needs no fetch; the link file is fetched once.
        EXPECT_EQ(files.requests().size(), size >= 1024 ? 0u : 1u);
    }
}

TEST(PanelCheckAddress, OnlyWebAddressesGoToTheBrowser) {
    const struct {
        std::string address;
        bool web;
    } cases[] = {
        {"http://a.invalid/x", true},
        {"https://a.invalid/x?y=1#z", true},
        {"HtTpS://a.invalid", true},
        {"http://a.invalid:8080/面板.zip", true},
        {"", false},
        {"http", false},
        {"http:", false},
        {"http:/a.invalid/x", false},
        {"http:a.invalid/x", false},
        {"http:///etc/passwd", false},
        {"https://", false},
        {"httpx://a.invalid", false},
        {" http://a.invalid", false},
        {"http://a.invalid/x y", false},
        {"http://a.invalid/x\nSet-Cookie: y", false},
        {std::string("http://a.invalid/\0x", 19), false},
        {"http://a.invalid\\x", false},
        {"file:///etc/passwd", false},
        {"FILE://host/share", false},
        {"smb://host/share/p.exe", false},
        {"javascript:alert(1)", false},
        {"data:text/html,<b>x</b>", false},
        {"ms-settings:", false},
        {"steam://run/1", false},
        {"//a.invalid/x", false},
        {"a.invalid/x", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.address);
        EXPECT_EQ(IsWebAddress(c.address), c.web);
    }
}

TEST_F(PanelCheck, LinkFileThatCannotBeFetchedFallsBack) {
    auto offer = OnPanelVersionReply(R"({"status":"112304","filesize":20,"urlPath":"ftp://a.invalid/l"})",
                                     context("", utc(2025, 3, 7)));
    ASSERT_TRUE(offer);
    EXPECT_EQ(offer->address, "http://www.example.invalid/Download");
}

TEST_F(PanelCheck, ErrorPagesAreNeitherOffersNorLinkFiles) {
    // A link file behind a 404: its address is the error page's, not the maker's.
    const std::string file = "<http://files.example.invalid/p.zip>";
    LocalHttpServer files(
        [&](const RecordedRequest&, int, Connection& conn) { conn.send(test::fixedReply(file, {}, 404)); });
    const std::string offer = R"({"status":"112304","softwareVersion":"2.0.1","filesize":)" +
                              std::to_string(file.size()) + R"(,"urlPath":")" + files.url("/link.txt") + "\"}";
    auto fromLink = OnPanelVersionReply(offer, context("", utc(2025, 3, 7)));
    ASSERT_TRUE(fromLink);
    EXPECT_EQ(fromLink->address, "http://www.example.invalid/Download");

    // The same offer as the body of a 500: nothing is offered and the next day is not stamped.
    LocalHttpServer service(
        [&](const RecordedRequest&, int, Connection& c) { c.send(test::fixedReply(offer, {}, 500)); });
    EXPECT_FALSE(RequestPanelVersion(context(service.url("/admin/appios"), utc(2025, 3, 8))));
    EXPECT_EQ(lastDate(), "2025-3-7");
}

TEST_F(PanelCheck, WorkerPostsAndDeliversTheOfferOnce) {
    LocalHttpServer service([](const RecordedRequest&, int, Connection& c) {
        c.send(test::fixedReply(R"({"status":"112304","softwareVersion":"3.0.0","filesize":5000})"));
    });
    std::promise<PanelOffer> delivered;
    int calls = 0;
    {
        PanelCheckWorker worker(context(service.url("/admin/appios"), utc(2025, 3, 7)), [&](const PanelOffer& o) {
            ++calls;
            // The date is already stamped when the owner sees the offer, whatever the user answers.
            EXPECT_EQ(lastDate(), "2025-3-7");
            delivered.set_value(o);
        });
        ASSERT_TRUE(worker.StartPanelCheckThread());
        PanelOffer o = delivered.get_future().get();
        EXPECT_EQ(o.softwareVersion, "3.0.0");
        EXPECT_EQ(o.address, "http://www.example.invalid/Download");
        worker.wait();
        EXPECT_FALSE(worker.running());
    }
    EXPECT_EQ(calls, 1);
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].target, "/admin/appios");
    EXPECT_EQ(requests[0].body, PanelVersionCheckRequest());
    // The next start-up on the same day is not due; the day after is.
    EXPECT_FALSE(IsPanelCheckDue(ini_, utc(2025, 3, 7, 23)));
    EXPECT_TRUE(IsPanelCheckDue(ini_, utc(2025, 3, 8, 0)));
}

TEST_F(PanelCheck, WorkerFailuresAreSilent) {
    LocalHttpServer service([](const RecordedRequest&, int index, Connection& c) {
        if (index == 0) c.send(test::fixedReply("<html>busy</html>", {}, 503));
        // index 1: the connection closes without a reply
    });
    int calls = 0;
    PanelCheckWorker worker(context(service.url("/admin/appios"), utc(2025, 3, 7)),
                            [&](const PanelOffer&) { ++calls; });
    for (int i = 0; i < 2; ++i) {
        ASSERT_TRUE(worker.StartPanelCheckThread());
        worker.wait();
    }
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(lastDate(), "null");
    EXPECT_EQ(service.requests().size(), 2u);
}

TEST_F(PanelCheck, WorkerStartsOnceAndStopsWhenItsOwnerGoes) {
    LocalHttpServer service([](const RecordedRequest&, int, Connection& c) { c.waitForClose(); });
    int calls = 0;
    {
        PanelCheckContext ctx = context(service.url("/admin/appios"), utc(2025, 3, 7));
        ctx.http.stallTimeoutMs = 60'000;
        PanelCheckWorker worker(ctx, [&](const PanelOffer&) { ++calls; });
        ASSERT_TRUE(worker.StartPanelCheckThread());
        EXPECT_FALSE(worker.StartPanelCheckThread());
        EXPECT_TRUE(worker.running());
    }  // the destructor cancels the stalled request instead of waiting a minute
    EXPECT_EQ(calls, 0);
}

}  // namespace
}  // namespace qv7
