// The request body byte for byte, reply judgement by JSON types, and link-file addresses.
#include "update/version_check.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/gbk_text.h"

namespace qv7 {
namespace {

TEST(VersionCheckRequest, PanelBodyIsTheFixed134Bytes) {
    const std::string body = PanelVersionCheckRequest();
    EXPECT_EQ(body.size(), 134u);
    EXPECT_EQ(
        body,
        R"(json={"method" : "checkVersion", "parameters" : { "hardwareVersion":"1.0.0","softwareVersion" : "1.0.0","type" : "panel-qv7-release"}})");
    EXPECT_EQ(PanelVersionCheckRequest(), body);
}

TEST(VersionCheckRequest, PiecesHaveTheirFixedLengths) {
    // Empty versions leave the three fixed pieces: 69 + 23 + 26 bytes for the firmware type.
    EXPECT_EQ(VersionCheckRequest("", "", "qv7-release").size(), 69u + 23u + 26u);
    EXPECT_EQ(VersionCheckRequest("", "", "panel-qv7-release").size(), 69u + 23u + 32u);
    // Inserted as they are, without escaping.
    EXPECT_EQ(
        VersionCheckRequest("H\"1", "S\\2", "qv7-release"),
        R"(json={"method" : "checkVersion", "parameters" : { "hardwareVersion":"H"1","softwareVersion" : "S\2","type" : "qv7-release"}})");
}

struct ReplyCase {
    const char* name;
    std::string text;
    bool parsed;
    bool offered;
};

TEST(VersionCheckReply, OnlyWellTypedObjectsCount) {
    const std::vector<ReplyCase> cases = {
        {"offer", R"({"status":"112304","softwareVersion":"1.2.0","filesize":2048,"urlPath":"http://x/f"})", true,
         true},
        {"other status", R"({"status":"112305"})", true, false},
        {"no status", R"({"softwareVersion":"1.2.0"})", true, false},
        {"comments allowed", "// note\n{\"status\":\"112304\" /* offered */}", true, true},
        {"trailing text ignored", R"({"status":"112304"} trailing)", true, true},
        {"malformed", R"({"status":"112304")", false, false},
        {"not JSON: an error page", "<html>404</html>", false, false},
        {"empty", "", false, false},
        {"array root", R"([{"status":"112304"}])", false, false},
        {"string root", R"("112304")", false, false},
        {"number root", "112304", false, false},
        {"null root", "null", false, false},
        {"status as number", R"({"status":112304})", false, false},
        {"softwareVersion as number", R"({"status":"112304","softwareVersion":1.2})", false, false},
        {"urlPath as object", R"({"status":"112304","urlPath":{}})", false, false},
        {"checksum as number", R"({"status":"112304","checksum":1234})", false, false},
        {"description as null", R"({"status":"112304","description":null})", false, false},
        {"filesize as string", R"({"status":"112304","filesize":"2048"})", false, false},
        {"filesize negative", R"({"status":"112304","filesize":-1})", false, false},
        {"filesize fractional", R"({"status":"112304","filesize":2048.5})", false, false},
        {"filesize as real", R"({"status":"112304","filesize":2048.0})", false, false},
        {"filesize above 32 bits", R"({"status":"112304","filesize":4294967296})", false, false},
        {"filesize bool", R"({"status":"112304","filesize":true})", false, false},
        {"status ends at an escaped NUL", R"({"status":"112304\u0000junk"})", true, true},
        {"escaped NUL before the status digits", R"({"status":"\u0000112304"})", true, false},
        // Nesting beyond the parser's limit makes jsoncpp throw; the reply must simply offer nothing.
        {"nested past the parser's limit", std::string(5000, '['), false, false},
    };
    for (const ReplyCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto r = ParseVersionCheckReply(c.text);
        EXPECT_EQ(r.has_value(), c.parsed);
        EXPECT_EQ(r.has_value() && r->offered(), c.offered);
    }
}

TEST(VersionCheckReply, MembersAndDefaults) {
    auto r = ParseVersionCheckReply(
        R"({"status":"112304","softwareVersion":"1.0.7","description":"更稳定","filesize":98304,)"
        R"("urlPath":"http://h/f.bin","hardwareVersion":"H2","checksum":"DEADbeef","extra":[1,2]})");
    ASSERT_TRUE(r);
    EXPECT_EQ(r->softwareVersion, "1.0.7");
    EXPECT_EQ(r->description, "更稳定");
    EXPECT_EQ(r->filesize, 98304u);
    EXPECT_EQ(r->urlPath, "http://h/f.bin");
    EXPECT_EQ(r->hardwareVersion, "H2");
    EXPECT_EQ(r->checksum, "DEADbeef");

    auto cut = ParseVersionCheckReply(R"({"softwareVersion":"1.0.8\u0000x","urlPath":"http://h/f\u0000.bin"})");
    ASSERT_TRUE(cut);
    EXPECT_EQ(cut->softwareVersion, "1.0.8");
    EXPECT_EQ(cut->urlPath, "http://h/f");

    auto empty = ParseVersionCheckReply("{}");
    ASSERT_TRUE(empty);
    EXPECT_EQ(empty->status, "");
    EXPECT_EQ(empty->filesize, 0u);
    EXPECT_EQ(empty->urlPath, "");
}

std::string gbk(std::string_view utf8) { return gbk::fromUtf8(utf8).value(); }

struct LinkCase {
    const char* name;
    std::string file;
    std::string address;
};

TEST(ExtractLinkAddress, AddressBetweenTheSigns) {
    const std::vector<LinkCase> cases = {
        {"amid other text", "download here: <http://example.invalid/p.zip> thanks", "http://example.invalid/p.zip"},
        {"amid GBK text", gbk("请下载<http://example.invalid/面板.zip>谢谢"), "http://example.invalid/面板.zip"},
        {"no angle brackets", "http://example.invalid/p.zip", ""},
        {"'<' but no '>'", "<http://example.invalid/p.zip", ""},
        {"'>' without '<' takes the text before it", "http://example.invalid/p.zip>rest",
         "http://example.invalid/p.zip"},
        {"empty", "", ""},
        {"empty address", "<>", ""},
        {"stops at the first NUL", std::string("<http://a/b>\0<http://c/d>", 25), "http://a/b"},
        {"NUL before the sign", std::string("ab\0<http://a/b>", 15), ""},
        // A lead byte swallows the byte after it, so this '<' is not a sign; the remainder is all of it.
        {"lead byte hides a sign", std::string("\x81<http://a/b>"), ""},
        {"second pair ignored", "<http://a/1><http://a/2>", "http://a/1"},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ExtractLinkAddress(c.file), c.address);
    }
}

TEST(GbkText, VersionTextsForRequests) {
    EXPECT_EQ(gbk::toUtf8Display("1.0.7"), "1.0.7");
    EXPECT_EQ(gbk::toUtf8Display(gbk("版本2")), "版本2");
    EXPECT_EQ(gbk::toUtf8Display("a\x81"), "a\uFFFD");
    EXPECT_FALSE(gbk::toUtf8("a\x81").has_value());
}

}  // namespace
}  // namespace qv7
