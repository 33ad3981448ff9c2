// qv7ctl's firmware check output against a local service: text, JSON and explained failures.
#include "cli/firmware_cli.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <sstream>
#include <string>
#include <vector>

#include "device/firmware_image.h"
#include "local_http_server.h"

namespace qv7 {
namespace {

using test::Connection;
using test::LocalHttpServer;
using test::RecordedRequest;

TEST(FirmwareCli, CheckPrintsTextOrJson) {
    const std::string img(1024, '\x11');
    LocalHttpServer files([&](const RecordedRequest&, int, Connection& c) { c.send(test::fixedReply(img)); });
    const std::string checksum =
        ChecksumText(ImageWordSum(std::span(reinterpret_cast<const uint8_t*>(img.data()), img.size())));
    struct Case {
        const char* name;
        std::string reply;
        int code;
        const char* result;
    };
    const std::vector<Case> cases = {
        {"offer",
         R"({"status":"112304","softwareVersion":"1.0.9","description":"d","filesize":1024,"urlPath":")" +
             files.url("/fw") + R"(","checksum":")" + checksum + "\"}",
         0, "offered"},
        {"nothing", R"({"status":"0"})", 0, "none"},
        {"bad reply", "<html/>", 1, "bad-reply"},
        {"too big", R"({"status":"112304","filesize":98305,"urlPath":"http://x.invalid/f"})", 1, "refused"},
        {"bad checksum",
         R"({"status":"112304","filesize":1024,"urlPath":")" + files.url("/fw") + R"(","checksum":"0"})", 1,
         "download-failed"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LocalHttpServer service(
            [&](const RecordedRequest&, int, Connection& conn) { conn.send(test::fixedReply(c.reply)); });
        FirmwareCliOptions o;
        o.checkUrl = service.url("/admin/appios");
        o.http.diagnostics = [](std::string_view) {};
        for (bool json : {false, true}) {
            o.json = json;
            std::ostringstream out, err;
            EXPECT_EQ(runFirmwareCheck("1.0", "1.0.7", o, out, err), c.code);
            EXPECT_EQ(err.str().empty(), c.code == 0) << err.str();
            if (json) {
                Json::Value v;
                std::istringstream in(out.str());
                ASSERT_TRUE(Json::parseFromStream(Json::CharReaderBuilder(), in, &v, nullptr)) << out.str();
                EXPECT_EQ(v["result"].asString(), c.result);
                EXPECT_EQ(v["offered"].asBool(), std::string(c.result) == "offered");
            } else if (c.code == 0) {
                EXPECT_FALSE(out.str().empty());
            }
        }
    }
}

// The service's texts are data too: an offer's description cannot move the cursor or forge a line.
TEST(FirmwareCli, OfferTextsFromTheServiceAreShownEscaped) {
    const std::string img(1024, '\x22');
    LocalHttpServer files([&](const RecordedRequest&, int, Connection& c) { c.send(test::fixedReply(img)); });
    const std::string checksum =
        ChecksumText(ImageWordSum(std::span(reinterpret_cast<const uint8_t*>(img.data()), img.size())));
    const std::string reply =
        R"({"status":"112304","softwareVersion":"1.0.9\r","description":"fix\nOS: forged\u001b[2J",)"
        R"("filesize":1024,"urlPath":")" +
        files.url("/fw") + R"(","checksum":")" + checksum + "\"}";
    LocalHttpServer service([&](const RecordedRequest&, int, Connection& c) { c.send(test::fixedReply(reply)); });
    FirmwareCliOptions o;
    o.checkUrl = service.url("/admin/appios");
    o.http.diagnostics = [](std::string_view) {};
    std::ostringstream out, err;
    EXPECT_EQ(runFirmwareCheck("1.0", "1.0.7", o, out, err), 0) << err.str();
    EXPECT_EQ(out.str(), "new firmware 1.0.9\\r (1024 bytes, checksum " + checksum +
                             ", verified)\nchanges: fix\\nOS: forged\\x1b[2J\n");
}

TEST(FirmwareCli, UnreachableServiceIsExplained) {
    FirmwareCliOptions o;
    o.checkUrl = "http://127.0.0.1:1/admin/appios";
    o.http.diagnostics = [](std::string_view) {};
    std::ostringstream out, err;
    EXPECT_EQ(runFirmwareCheck("1.0", "1.0.7", o, out, err), 1);
    EXPECT_NE(err.str().find("POST http://127.0.0.1:1/admin/appios failed: result 1"), std::string::npos) << err.str();
}

}  // namespace
}  // namespace qv7
