// The firmware reply's verdict, which the window's check and qv7ctl's share: offers, non-offers, malformed replies.
#include "update/offer_judge.h"

#include <gtest/gtest.h>

#include <string>

#include "update/firmware_update.h"

namespace qv7 {
namespace {

using Kind = OfferVerdict::Kind;

// An offering reply for `version`; `rest` holds the size and address members.
std::string offer(const std::string& version,
                  const std::string& rest = R"("filesize":2048,"urlPath":"http://127.0.0.1:1/fw.bin")") {
    return R"({"status":"112304","softwareVersion":")" + version + R"(","description":"d","checksum":"0",)" + rest +
           "}";
}

TEST(OfferJudge, VerdictsTable) {
    struct Case {
        const char* name;
        std::string reply;
        Kind kind;
        std::string detail;
        std::string version = {};  // what an offer carries
    };
    const auto badReply = [](const std::string& reply) {
        return "not a JSON object with the expected member types (" + std::to_string(reply.size()) + " bytes)";
    };
    const std::string notJson = "<html>502</html>";
    const std::string arrayRoot = R"([{"status":"112304"}])";
    const std::string textSize = offer("1.0.9", R"("filesize":"2048","urlPath":"http://x.invalid/f")");
    const std::string negativeSize = offer("1.0.9", R"("filesize":-1,"urlPath":"http://x.invalid/f")");
    const std::string fractionalSize = offer("1.0.9", R"("filesize":2048.5,"urlPath":"http://x.invalid/f")");
    const std::string numericVersion = R"({"status":"112304","softwareVersion":109,"filesize":2048,"urlPath":"u"})";
    const Case cases[] = {
        // The service decides what is newer; the device's version is not even asked for.
        {"newer version", offer("1.0.9"), Kind::Offered, "", "1.0.9"},
        {"same version", offer("1.0.7"), Kind::Offered, "", "1.0.7"},
        {"older version", offer("1.0.2"), Kind::Offered, "", "1.0.2"},
        {"malformed version", offer("v?1..x"), Kind::Offered, "", "v?1..x"},
        {"largest image", offer("1.0.9", R"("filesize":98304,"urlPath":"u")"), Kind::Offered, "", "1.0.9"},
        {"status of no offer", R"({"status":"0","softwareVersion":"1.0.9","filesize":2048,"urlPath":"u"})",
         Kind::NothingOffered, ""},
        {"missing status", R"({"softwareVersion":"1.0.9","filesize":2048,"urlPath":"u"})", Kind::NothingOffered, ""},
        {"empty object", "{}", Kind::NothingOffered, ""},
        {"missing urlPath", offer("1.0.9", R"("filesize":2048)"), Kind::Refused, "offer has no urlPath"},
        {"image too large", offer("1.0.9", R"("filesize":98305,"urlPath":"u")"), Kind::Refused,
         "offered filesize 98305 is above the limit of 98304"},
        {"too large and no urlPath", offer("1.0.9", R"("filesize":4294967295)"), Kind::Refused, "offer has no urlPath"},
        {"not JSON", notJson, Kind::BadReply, badReply(notJson)},
        {"array root", arrayRoot, Kind::BadReply, badReply(arrayRoot)},
        {"filesize as text", textSize, Kind::BadReply, badReply(textSize)},
        {"negative filesize", negativeSize, Kind::BadReply, badReply(negativeSize)},
        {"fractional filesize", fractionalSize, Kind::BadReply, badReply(fractionalSize)},
        {"version as a number", numericVersion, Kind::BadReply, badReply(numericVersion)},
        {"empty reply", "", Kind::BadReply, badReply("")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const OfferVerdict v = JudgeFirmwareReply(c.reply);
        EXPECT_EQ(v.kind, c.kind);
        EXPECT_EQ(v.detail, c.detail);
        EXPECT_EQ(v.reply.has_value(), c.kind != Kind::BadReply);
        if (c.kind == Kind::Offered) {
            EXPECT_EQ(v.reply->softwareVersion, c.version);
            EXPECT_EQ(v.reply->description, "d");
        } else {
            // The window's check downloads nothing the judge turned down (an attempt would need a server).
            HttpOptions quiet;
            quiet.diagnostics = [](std::string_view) {};
            EXPECT_FALSE(OnFirmwareVersionReply(c.reply, quiet).has_value());
        }
    }
}

}  // namespace
}  // namespace qv7
