// Firmware offers against a local server: limits, checksum text, retry, the held image and the button.
#include "update/firmware_update.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <future>
#include <string>
#include <vector>

#include "common/gbk_text.h"
#include "device/firmware_image.h"
#include "device/mfi.h"
#include "local_http_server.h"

namespace qv7 {
namespace {

using test::Connection;
using test::LocalHttpServer;
using test::RecordedRequest;

std::vector<uint8_t> image(size_t n, uint8_t seed = 7) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(seed + i * 31 + (i >> 8));
    return v;
}

std::string asText(const std::vector<uint8_t>& v) { return std::string(v.begin(), v.end()); }

HttpOptions quiet() {
    HttpOptions o;
    o.connectTimeoutMs = 5'000;
    o.stallTimeoutMs = 5'000;
    o.diagnostics = [](std::string_view) {};
    return o;
}

std::string offerJson(uint32_t filesize, const std::string& url, const std::string& checksum) {
    return R"({"status":"112304","softwareVersion":"1.0.9","description":"更稳定","hardwareVersion":"1.0",)"
           R"("filesize":)" +
           std::to_string(filesize) + R"(,"urlPath":")" + url + R"(","checksum":")" + checksum + "\"}";
}

TEST(FirmwareChecksum, TextRules) {
    const uint32_t sum = 0x00ABCDEFu;
    EXPECT_EQ(ChecksumText(sum), "00abcdef");
    struct Case {
        const char* reply;
        bool match;
    };
    for (const Case c :
         {Case{"00abcdef", true}, Case{"00ABCDEF", true}, Case{"00AbCdEf", true}, Case{"0x00abcdef", false},
          Case{"0X00ABCDEF", false}, Case{"abcdef", false}, Case{" 00abcdef", false}, Case{"00abcdef ", false},
          Case{"", false}, Case{"00abcdee", false}}) {
        SCOPED_TRACE(c.reply);
        EXPECT_EQ(ChecksumMatches(c.reply, sum), c.match);
    }
}

TEST(FirmwareRequest, IdentityIsSentAsUtf8) {
    const std::string hw = gbk::fromUtf8("硬件1.0").value();
    EXPECT_EQ(
        FirmwareVersionCheckRequest(hw, "1.0.7"),
        R"(json={"method" : "checkVersion", "parameters" : { "hardwareVersion":"硬件1.0","softwareVersion" : "1.0.7","type" : "qv7-release"}})");
}

struct OfferCase {
    const char* name;
    size_t imageSize;
    int64_t statedSize;            // -1: the image's size
    const char* checksum;          // nullptr: the image's own, lower case; "STATED": that of its first statedSize bytes
    std::vector<int> badAttempts;  // requests answered with a broken file
    bool offered;
    size_t fileRequests;
};

TEST(FirmwareOffer, JudgedDownloadedAndVerified) {
    const std::vector<OfferCase> cases = {
        {.name = "small image",
         .imageSize = 4096,
         .statedSize = -1,
         .checksum = nullptr,
         .badAttempts = {},
         .offered = true,
         .fileRequests = 1},
        {.name = "98,304 bytes accepted",
         .imageSize = 98'304,
         .statedSize = -1,
         .checksum = nullptr,
         .badAttempts = {},
         .offered = true,
         .fileRequests = 1},
        {.name = "98,305 bytes ignored",
         .imageSize = 98'305,
         .statedSize = -1,
         .checksum = nullptr,
         .badAttempts = {},
         .offered = false,
         .fileRequests = 0},
        {.name = "length not a multiple of 4",
         .imageSize = 4099,
         .statedSize = -1,
         .checksum = nullptr,
         .badAttempts = {},
         .offered = true,
         .fileRequests = 1},
        {.name = "upper-case checksum",
         .imageSize = 4096,
         .statedSize = -1,
         .checksum = "UPPER",
         .badAttempts = {},
         .offered = true,
         .fileRequests = 1},
        {.name = "0x-prefixed checksum",
         .imageSize = 4096,
         .statedSize = -1,
         .checksum = "0x",
         .badAttempts = {},
         .offered = false,
         .fileRequests = 2},
        {.name = "checksum mismatch twice",
         .imageSize = 4096,
         .statedSize = -1,
         .checksum = "00000000",
         .badAttempts = {},
         .offered = false,
         .fileRequests = 2},
        {.name = "first download fails, second succeeds",
         .imageSize = 4096,
         .statedSize = -1,
         .checksum = nullptr,
         .badAttempts = {0},
         .offered = true,
         .fileRequests = 2},
        {.name = "both downloads fail",
         .imageSize = 4096,
         .statedSize = -1,
         .checksum = nullptr,
         .badAttempts = {0, 1},
         .offered = false,
         .fileRequests = 2},
        {.name = "file shorter than stated",
         .imageSize = 4096,
         .statedSize = 4100,
         .checksum = nullptr,
         .badAttempts = {},
         .offered = false,
         .fileRequests = 2},
        {.name = "file longer than stated",
         .imageSize = 4096,
         .statedSize = 4092,
         .checksum = nullptr,
         .badAttempts = {},
         .offered = false,
         .fileRequests = 2},
        {.name = "longer file whose stated part matches is that part",
         .imageSize = 4096,
         .statedSize = 4092,
         .checksum = "STATED",
         .badAttempts = {},
         .offered = true,
         .fileRequests = 1},
    };
    for (const OfferCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::vector<uint8_t> img = image(c.imageSize);
        const uint32_t stated =
            c.statedSize < 0 ? static_cast<uint32_t>(c.imageSize) : static_cast<uint32_t>(c.statedSize);
        const std::vector<uint8_t> statedPart(img.begin(), img.begin() + std::min<size_t>(stated, img.size()));
        const uint32_t sum = ImageWordSum(img);
        std::string checksum = ChecksumText(sum);
        if (c.checksum != nullptr) {
            const std::string mode = c.checksum;
            if (mode == "UPPER") {
                for (char& ch : checksum) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
            } else if (mode == "STATED") {
                checksum = ChecksumText(ImageWordSum(statedPart));
            } else if (mode == "0x") {
                checksum = "0x" + checksum;
            } else {
                checksum = mode;
            }
        }
        LocalHttpServer files([&](const RecordedRequest&, int index, Connection& conn) {
            for (int bad : c.badAttempts) {
                if (bad == index) {
                    conn.send(test::fixedReply("oops", {}, 500));
                    return;
                }
            }
            conn.send(test::fixedReply(asText(img)));
        });
        auto offer = OnFirmwareVersionReply(offerJson(stated, files.url("/fw.bin"), checksum), quiet());
        EXPECT_EQ(offer.has_value(), c.offered);
        EXPECT_EQ(files.requests().size(), c.fileRequests);
        if (offer) {
            EXPECT_EQ(offer->image, statedPart);
            EXPECT_EQ(offer->softwareVersion, "1.0.9");
            EXPECT_EQ(offer->description, "更稳定");
            EXPECT_EQ(offer->hardwareVersion, "1.0");
        }
    }
}

TEST(FirmwareOffer, RepliesThatOfferNothing) {
    LocalHttpServer files([](const RecordedRequest&, int, Connection& conn) { conn.send(test::fixedReply("abcd")); });
    const std::string url = files.url("/fw.bin");
    const std::vector<std::string> replies = {
        "not json",
        R"({"status":"1"})",
        R"([{"status":"112304"}])",
        R"({"status":"112304","filesize":"4","urlPath":")" + url + "\"}",
        R"({"status":"112304","filesize":4,"urlPath":7})",
        R"({"status":"112304","filesize":4,"urlPath":""})",
        R"({"status":"112304","filesize":4,"urlPath":")" + url + R"(","checksum":64636261})",
    };
    for (const std::string& reply : replies) {
        SCOPED_TRACE(reply);
        EXPECT_FALSE(OnFirmwareVersionReply(reply, quiet()));
    }
    EXPECT_TRUE(files.requests().empty());
}

// An error page is not the service's answer, however well its body would pass for one.
TEST(FirmwareOffer, ErrorPagesOfferNothing) {
    const std::vector<uint8_t> img = image(2048);
    const std::string sum = ChecksumText(ImageWordSum(img));
    // The file server answers /missing with a 404 page that is the image, byte for byte.
    LocalHttpServer files([&](const RecordedRequest& r, int, Connection& c) {
        c.send(test::fixedReply(asText(img), {}, r.target == "/fw.bin" ? 200 : 404));
    });
    struct Case {
        const char* name;
        int serviceStatus;
        const char* path;
        size_t fileRequests;
    };
    for (const Case c : {Case{"500 whose body offers a good image", 500, "/fw.bin", 0},
                         Case{"offer of a 404 page of the right size and checksum", 200, "/missing", 2}}) {
        SCOPED_TRACE(c.name);
        const size_t before = files.requests().size();
        const std::string reply = offerJson(2048, files.url(c.path), sum);
        LocalHttpServer service([&](const RecordedRequest&, int, Connection& conn) {
            conn.send(test::fixedReply(reply, {}, c.serviceStatus));
        });
        EXPECT_FALSE(RequestFirmwareVersion("1.0", "1.0.7", service.url("/admin/appios"), quiet()));
        EXPECT_EQ(files.requests().size() - before, c.fileRequests);
    }
    std::vector<uint8_t> buffer(img.size());
    EXPECT_EQ(DownloadAndVerify(files.url("/missing"), sum, 2048, buffer.data(), quiet()), -1);
    EXPECT_EQ(DownloadAndVerify(files.url("/fw.bin"), sum, 2048, buffer.data(), quiet()), 0);
}

TEST(FirmwareWorker, ChecksDownloadsAndDeliversOnItsThread) {
    const std::vector<uint8_t> img = image(2048);
    LocalHttpServer files([&](const RecordedRequest&, int, Connection& c) { c.send(test::fixedReply(asText(img))); });
    const std::string reply = offerJson(2048, files.url("/fw.bin"), ChecksumText(ImageWordSum(img)));
    LocalHttpServer service([&](const RecordedRequest&, int, Connection& c) { c.send(test::fixedReply(reply)); });

    std::promise<FirmwareOffer> delivered;
    FirmwareCheckWorker worker(service.url("/admin/appios"), quiet(),
                               [&](FirmwareOffer o) { delivered.set_value(std::move(o)); });
    ASSERT_TRUE(worker.StartFirmwareCheckThread("1.0", "1.0.7"));
    FirmwareOffer offer = delivered.get_future().get();
    worker.wait();
    EXPECT_FALSE(worker.running());
    EXPECT_EQ(offer.image, img);
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].body, FirmwareVersionCheckRequest("1.0", "1.0.7"));

    // The owner's side, as the UI thread would do it after the queued call.
    FirmwareUpdateGroup group;
    group.reset();
    group.store(offer);
    EXPECT_EQ(group.updateImageSize(), 2048u);
    EXPECT_STREQ(group.buttonCaption(), "有新版本,点击更新");
    EXPECT_TRUE(group.buttonEnabled());
}

TEST(FirmwareWorker, OneAtATimeAndCancelledByItsOwner) {
    LocalHttpServer service([](const RecordedRequest&, int, Connection& c) { c.waitForClose(); });
    int calls = 0;
    {
        HttpOptions o = quiet();
        o.stallTimeoutMs = 60'000;
        FirmwareCheckWorker worker(service.url("/admin/appios"), o, [&](FirmwareOffer) { ++calls; });
        ASSERT_TRUE(worker.StartFirmwareCheckThread("1.0", "1.0.7"));
        EXPECT_FALSE(worker.StartFirmwareCheckThread("1.0", "1.0.7"));
    }
    EXPECT_EQ(calls, 0);
}

TEST(FirmwareUpdateGroup, ButtonStatesAndHandOff) {
    FirmwareUpdateGroup group;
    group.reset();
    EXPECT_STREQ(group.buttonCaption(), "无新版本");
    EXPECT_FALSE(group.buttonEnabled());
    EXPECT_EQ(group.label(), "0%");
    EXPECT_EQ(group.progressPosition(), 0);

    mfi driver;
    driver.mfiInit();
    int confirms = 0;
    auto cancel = [&](const std::string&, const std::string&) {
        ++confirms;
        return false;
    };
    EXPECT_FALSE(group.OnUpdateButton(driver, cancel));
    EXPECT_EQ(confirms, 0) << "no image held: the click does nothing";

    FirmwareOffer offer;
    offer.image = image(98'304);
    offer.description = "修复";
    offer.softwareVersion = "1.0.9";
    group.store(offer);
    EXPECT_EQ(group.updateImageSize(), 98'304u);
    EXPECT_TRUE(group.buttonEnabled());

    std::string text, caption;
    auto ask = [&](bool answer) {
        return [&, answer](const std::string& t, const std::string& c) {
            ++confirms;
            text = t;
            caption = c;
            return answer;
        };
    };
    EXPECT_FALSE(group.OnUpdateButton(driver, ask(false)));
    EXPECT_EQ(caption, "更新提醒");
    EXPECT_EQ(text, "改善内容：修复\n当前版本：\n新的版本：1.0.9\n更新过程中请保持Tolka连接电脑\n是否需要更新？");
    EXPECT_TRUE(group.buttonEnabled()) << "Cancel leaves the button armed";
    EXPECT_EQ(driver.imageLength(), 0);

    bool disabled = false;
    EXPECT_TRUE(group.OnUpdateButton(driver, ask(true), [&] { disabled = true; }));
    EXPECT_EQ(confirms, 2);
    EXPECT_TRUE(disabled);
    EXPECT_EQ(driver.imageLength(), 98'304) << "the 98,304-byte image the download accepted is written too";
    EXPECT_EQ(group.state(), FirmwareUpdateGroup::ButtonState::Writing);
    EXPECT_STREQ(group.buttonCaption(), "有新版本,点击更新");
    EXPECT_FALSE(group.buttonEnabled());
    EXPECT_FALSE(group.OnUpdateButton(driver, ask(true)));
    EXPECT_EQ(confirms, 2);
}

TEST(FirmwareUpdateGroup, StoreZeroFillsBehindAShorterImage) {
    FirmwareUpdateGroup group;
    FirmwareOffer big;
    big.image = image(8000, 1);
    group.store(big);
    FirmwareOffer small;
    small.image = image(10, 2);
    small.softwareVersion = "2";
    group.store(small);
    EXPECT_EQ(group.updateImageSize(), 10u);
    EXPECT_EQ(group.updateSoftwareVersion(), "2");
    EXPECT_TRUE(std::equal(small.image.begin(), small.image.end(), group.updateImage().begin()));
    EXPECT_TRUE(
        std::all_of(group.updateImage().begin() + 10, group.updateImage().end(), [](uint8_t b) { return b == 0; }));
}

TEST(FirmwareUpdateGroup, ProgressTexts) {
    FirmwareUpdateGroup group;
    struct Step {
        int w, l, percent;
        int position;
        const char* label;
    };
    for (const Step s : {Step{8, 2, 0, 0, "0%"}, Step{8, 2, 45, 45, "45%"}, Step{8, 2, 99, 99, "99%"},
                         Step{8, 4, 99, 99, "下载完成，等待写入"}, Step{8, 5, 100, 99, "写入完成，更新成功"}}) {
        EXPECT_TRUE(group.onTransferEvent(s.w, s.l, s.percent));
        EXPECT_EQ(group.progressPosition(), s.position);
        EXPECT_EQ(group.label(), s.label);
    }
    EXPECT_FALSE(group.onTransferEvent(8, 1, 50));
    EXPECT_EQ(group.label(), "写入完成，更新成功");
}

}  // namespace
}  // namespace qv7
