// Online update in the real window: firmware offers written to the simulator and the daily panel check, against a local
// service.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "common/ini_file.h"
#include "device/firmware_image.h"
#include "local_http_server.h"
#include "panel/control_table.h"
#include "panel/main_window.h"
#include "sim/sim_transport.h"
#include "update/panel_check.h"

namespace qv7::panel {
namespace {

using ::qv7::test::Connection;
using ::qv7::test::LocalHttpServer;
using ::qv7::test::RecordedRequest;

constexpr int kWaitMs = 30000;  // generous: only a failing test waits this long
constexpr const char* kSiteHost = "www.example.test";

enum class Answer { None, Ok, Cancel };

// Runs the event loop until `done` holds, up to `ms`. Unlike QTest::qWaitFor, which sleeps between
// passes, the loop handles each report as it arrives, so a long transfer runs at the window's pace.
template <typename F>
bool runUntil(F done, int ms = kWaitMs) {
    if (done()) return true;
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) loop.quit();
    });
    poll.start(5);
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
    return done();
}

std::vector<uint8_t> image(size_t n) {
    std::vector<uint8_t> v(n);
    for (size_t i = 0; i < n; ++i) v[i] = static_cast<uint8_t>(11 + i * 29 + (i >> 9));
    return v;
}

bool isPanelRequest(const RecordedRequest& r) {
    return r.method == "POST" && r.body.find("\"panel-qv7-release\"") != std::string::npos;
}
bool isFirmwareRequest(const RecordedRequest& r) {
    return r.method == "POST" && r.body.find("\"type\" : \"qv7-release\"") != std::string::npos;
}

// What the version-check service and its file server answer; fixed before the server starts. "@HOST@"
// in a reply stands for the server's own host:port, as the request's Host header names it.
struct Script {
    std::string panelReply = R"({"status":"0"})";
    std::string firmwareReply = R"({"status":"0"})";
    std::string firmwareFile;
    std::vector<int> brokenDownloads;  // GETs of /fw.bin (counted from 0) answered with an error
    std::string linkFile;
};

std::string withHost(std::string text, const RecordedRequest& r) {
    const std::string* host = r.header("Host");
    for (std::size_t at; (at = text.find("@HOST@")) != std::string::npos;) text.replace(at, 6, host ? *host : "");
    return text;
}

// The service on 127.0.0.1, and the environment that points the panel at it and at a fresh settings folder.
class Service {
public:
    explicit Service(Script script)
        : server_([s = std::move(script), downloads = 0](const RecordedRequest& r, int, Connection& c) mutable {
              if (isPanelRequest(r)) {
                  std::string reply = withHost(s.panelReply, r);
                  if (auto at = reply.find("@LINKSIZE@"); at != std::string::npos)
                      reply.replace(at, 10, std::to_string(s.linkFile.size()));
                  c.send(::qv7::test::fixedReply(reply));
              } else if (isFirmwareRequest(r)) {
                  c.send(::qv7::test::fixedReply(withHost(s.firmwareReply, r)));
              } else if (r.target == "/fw.bin") {
                  const bool broken = std::find(s.brokenDownloads.begin(), s.brokenDownloads.end(), downloads++) !=
                                      s.brokenDownloads.end();
                  c.send(broken ? ::qv7::test::fixedReply("gone", {}, 500) : ::qv7::test::fixedReply(s.firmwareFile));
              } else if (r.target == "/link.txt") {
                  c.send(::qv7::test::fixedReply(s.linkFile));
              } else {
                  c.send(::qv7::test::fixedReply("", {}, 404));
              }
          }) {
        qputenv("QV7_CHECK_HOST", QByteArray::fromStdString(server_.hostPort()));
        qputenv("QV7_SITE_HOST", kSiteHost);
        qputenv("QV7_CONFIG_DIR", dir_.path().toUtf8());
    }
    ~Service() {
        qunsetenv("QV7_CHECK_HOST");
        qunsetenv("QV7_SITE_HOST");
        qunsetenv("QV7_CONFIG_DIR");
    }

    std::string iniPath() const { return dir_.filePath("TolkaPanel.ini").toStdString(); }
    std::string lastDate() const { return ReadIniString(iniPath(), "Setting", "last_date", "null"); }

    long count(bool (*kind)(const RecordedRequest&)) const {
        long n = 0;
        for (const auto& r : server_.requests()) n += kind(r);
        return n;
    }
    long count(std::string_view target) const {
        long n = 0;
        for (const auto& r : server_.requests()) n += r.target == target;
        return n;
    }

private:
    QTemporaryDir dir_;
    LocalHttpServer server_;
};

// The window with the browser replaced and label 1076 recorded as each change showed it.
class UpdateWindow : public CBrontalDlg {
public:
    using CBrontalDlg::CBrontalDlg;
    std::vector<std::string> labels;
    std::vector<std::string> opened;
    void controlsChanged(const std::set<int>& ids) override {
        if (ids.count(1076)) labels.push_back(controller().text(1076));
        CBrontalDlg::controlsChanged(ids);
    }
    void openUrl(const std::string& address) override { opened.push_back(address); }
};

struct Panel {
    explicit Panel(sim::SimConfig config = sim::defaultConfig())
        : sim(std::make_shared<sim::SimTransport>(std::move(config))),
          window(std::make_unique<SimProvider>(sim), [](std::string_view) {}) {
        window.show();
    }
    ~Panel() { window.close(); }

    bool ready() {
        return runUntil([&] { return window.control(1000)->isEnabled(); });
    }
    QString text(int id) {
        if (auto* label = qobject_cast<QLabel*>(window.control(id))) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(window.control(id))) return button->text();
        return {};
    }
    bool on(int id) { return window.control(id)->isEnabled(); }
    template <typename F>
    auto device(F f) {
        decltype(f(std::declval<sim::TolkaSim&>())) out{};
        sim->withDevice([&](sim::TolkaSim& d) { out = f(d); });
        return out;
    }
    // The visible box with this caption, waiting for it to appear; null when none does.
    QMessageBox* box(const QString& caption, int waitMs = kWaitMs) {
        QMessageBox* found = nullptr;
        (void)runUntil(
            [&] {
                for (auto* b : window.findChildren<QMessageBox*>())
                    if (b->isVisible() && b->windowTitle() == caption) found = b;
                return found != nullptr;
            },
            waitMs);
        return found;
    }
    bool boxShown(const QString& caption) { return box(caption, 0) != nullptr; }
    void answer(QMessageBox* b, bool ok) { b->button(ok ? QMessageBox::Ok : QMessageBox::Cancel)->click(); }

    std::shared_ptr<sim::SimTransport> sim;
    UpdateWindow window;
};

// Queued results are in the queue once a worker has ended; one pass delivers them.
void deliverQueued() { QCoreApplication::processEvents(); }

std::string firmwareOffer(uint32_t filesize, const std::string& url, const std::string& checksum) {
    return R"({"status":"112304","softwareVersion":"1.0.9","description":"更稳定","hardwareVersion":"1.0",)"
           R"("filesize":)" +
           std::to_string(filesize) + R"(,"urlPath":")" + url + R"(","checksum":")" + checksum + "\"}";
}

struct FirmwareCase {
    const char* name;
    size_t size;
    const char* checksum;  // nullptr: the image's own; "UPPER" or "0x": the image's own so altered; else as given
    std::vector<int> brokenDownloads;
    bool armed;
    long downloads;
    Answer answer;
};

class PanelUpdateFirmware : public ::testing::TestWithParam<FirmwareCase> {};

TEST_P(PanelUpdateFirmware, OfferArmsTheButtonAndOnlyOkWritesTheImage) {
    const FirmwareCase& c = GetParam();
    const std::vector<uint8_t> img = image(c.size);
    std::string checksum = ChecksumText(ImageWordSum(img));
    const std::string mode = c.checksum != nullptr ? c.checksum : "";
    if (mode == "UPPER") {
        for (char& ch : checksum) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    } else if (mode == "0x") {
        checksum = "0x" + checksum;
    } else if (!mode.empty()) {
        checksum = c.checksum;
    }
    Script script;
    script.firmwareReply = firmwareOffer(static_cast<uint32_t>(c.size), "http://@HOST@/fw.bin", checksum);
    script.firmwareFile.assign(img.begin(), img.end());
    script.brokenDownloads = c.brokenDownloads;
    Service service(script);
    Panel p;
    ASSERT_TRUE(p.ready());

    // The check is over once the service has been asked and the worker has ended.
    ASSERT_TRUE(runUntil([&] { return service.count(isFirmwareRequest) == 1 && !p.window.firmwareCheck().running(); }));
    deliverQueued();
    EXPECT_EQ(service.count("/fw.bin"), c.downloads);
    EXPECT_EQ(p.text(1074), c.armed ? "有新版本,点击更新" : "无新版本");
    EXPECT_EQ(p.on(1074), c.armed);
    if (!c.armed || c.answer == Answer::None) return;

    QTest::mouseClick(p.window.control(1074), Qt::LeftButton);
    QMessageBox* box = p.box("更新提醒");
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text().toStdString(),
              "改善内容：更稳定\n当前版本：1.0.7\n新的版本：1.0.9\n更新过程中请保持Tolka连接电脑\n是否需要更新？");
    p.answer(box, c.answer == Answer::Ok);

    if (c.answer == Answer::Cancel) {
        EXPECT_FALSE(p.boxShown("更新提醒"));
        EXPECT_EQ(p.text(1074), "有新版本,点击更新");
        EXPECT_TRUE(p.on(1074)) << "the button can be pressed again";
        EXPECT_TRUE(p.on(1000));
        EXPECT_EQ(p.window.controller().driver().step(), kStepIdle);
        EXPECT_TRUE(p.device([](sim::TolkaSim& d) { return d.installedImage().empty(); }));
        QTest::mouseClick(p.window.control(1074), Qt::LeftButton);
        QMessageBox* again = p.box("更新提醒");
        ASSERT_NE(again, nullptr);
        p.answer(again, false);
        EXPECT_EQ(p.device([](sim::TolkaSim& d) { return d.updatesCompleted(); }), 0);
        return;
    }

    for (int id : kInteractiveSet) EXPECT_FALSE(p.on(id)) << id;
    EXPECT_FALSE(p.on(1074));
    EXPECT_EQ(p.text(1074), "有新版本,点击更新") << "the caption stays while writing";
    ASSERT_TRUE(runUntil([&] { return p.text(1076) == "写入完成，更新成功"; }));
    EXPECT_EQ(p.device([](sim::TolkaSim& d) { return d.installedImage(); }), img);
    EXPECT_EQ(p.device([](sim::TolkaSim& d) { return d.updatesCompleted(); }), 1);

    // 0% first, rising to at most 99%, then the two end texts.
    const std::vector<std::string>& labels = p.window.labels;
    ASSERT_GE(labels.size(), 3u);
    EXPECT_EQ(labels.front(), "0%");
    int last = -1;
    for (std::size_t i = 0; i + 2 < labels.size(); ++i) {
        ASSERT_EQ(labels[i].back(), '%') << labels[i];
        const int percent = std::stoi(labels[i]);
        EXPECT_GE(percent, last);
        EXPECT_LE(percent, 99);
        last = percent;
    }
    EXPECT_GE(last, 90) << "the last block starts near the end";
    EXPECT_EQ(labels[labels.size() - 2], "下载完成，等待写入");
    EXPECT_EQ(labels.back(), "写入完成，更新成功");
    EXPECT_EQ(qobject_cast<QProgressBar*>(p.window.control(1075))->value(), last);
    EXPECT_FALSE(p.on(1074));
    EXPECT_FALSE(p.on(1000)) << "controls come back with the next parameters";
}

INSTANTIATE_TEST_SUITE_P(Offers, PanelUpdateFirmware,
                         ::testing::Values(FirmwareCase{.name = "OkWritesTheImage",
                                                        .size = 4096,
                                                        .checksum = nullptr,
                                                        .brokenDownloads = {},
                                                        .armed = true,
                                                        .downloads = 1,
                                                        .answer = Answer::Ok},
                                           FirmwareCase{.name = "CancelWritesNothing",
                                                        .size = 4096,
                                                        .checksum = nullptr,
                                                        .brokenDownloads = {},
                                                        .armed = true,
                                                        .downloads = 1,
                                                        .answer = Answer::Cancel},
                                           FirmwareCase{.name = "ChecksumMismatchTwice",
                                                        .size = 4096,
                                                        .checksum = "00000000",
                                                        .brokenDownloads = {},
                                                        .armed = false,
                                                        .downloads = 2,
                                                        .answer = Answer::None},
                                           FirmwareCase{.name = "FirstDownloadFailsSecondSucceeds",
                                                        .size = 4096,
                                                        .checksum = nullptr,
                                                        .brokenDownloads = {0},
                                                        .armed = true,
                                                        .downloads = 2,
                                                        .answer = Answer::None},
                                           FirmwareCase{.name = "BothDownloadsFail",
                                                        .size = 4096,
                                                        .checksum = nullptr,
                                                        .brokenDownloads = {0, 1},
                                                        .armed = false,
                                                        .downloads = 2,
                                                        .answer = Answer::None},
                                           FirmwareCase{.name = "UpperCaseChecksum",
                                                        .size = 4096,
                                                        .checksum = "UPPER",
                                                        .brokenDownloads = {},
                                                        .armed = true,
                                                        .downloads = 1,
                                                        .answer = Answer::None},
                                           FirmwareCase{.name = "PrefixedChecksum",
                                                        .size = 4096,
                                                        .checksum = "0x",
                                                        .brokenDownloads = {},
                                                        .armed = false,
                                                        .downloads = 2,
                                                        .answer = Answer::None},
                                           FirmwareCase{.name = "LargestImageWritten",
                                                        .size = 98'304,
                                                        .checksum = nullptr,
                                                        .brokenDownloads = {},
                                                        .armed = true,
                                                        .downloads = 1,
                                                        .answer = Answer::Ok},
                                           FirmwareCase{.name = "OneByteMoreIgnored",
                                                        .size = 98'305,
                                                        .checksum = nullptr,
                                                        .brokenDownloads = {},
                                                        .armed = false,
                                                        .downloads = 0,
                                                        .answer = Answer::None}),
                         [](const ::testing::TestParamInfo<FirmwareCase>& param) {
                             return std::string(param.param.name);
                         });

// `filesize` "@LINKSIZE@" stands for the size of the script's link file.
std::string panelOffer(const std::string& filesize, const std::string& urlPath) {
    return R"({"status":"112304","softwareVersion":"2.0.9","filesize":)" + filesize + R"(,"urlPath":")" + urlPath +
           "\"}";
}

struct PanelCase {
    const char* name;
    bool stampedToday;  // TolkaPanel.ini already holds today's date
    std::string reply;
    std::string linkFile;
    Answer answer;
    std::vector<std::string> opened;
    bool dueAfter;  // a later start that day asks again
};

class PanelUpdatePanelCheck : public ::testing::TestWithParam<PanelCase> {};

TEST_P(PanelUpdatePanelCheck, DueCheckPromptsOnceADayAndOkOpensTheAddress) {
    const PanelCase& c = GetParam();
    const std::string today = FormatToday();
    Script script;
    script.panelReply = c.reply;
    script.linkFile = c.linkFile;
    Service service(script);
    if (c.stampedToday) {
        ASSERT_TRUE(WriteIniString(service.iniPath(), "Setting", "last_date", today));
    }
    {
        Panel p;
        if (c.stampedToday) {
            EXPECT_FALSE(p.window.panelCheck().running());
            EXPECT_EQ(p.window.panelCheck().lastDate(), today);
        } else {
            ASSERT_TRUE(
                runUntil([&] { return service.count(isPanelRequest) == 1 && !p.window.panelCheck().running(); }));
            EXPECT_EQ(p.window.panelCheck().lastDate(), "null");
        }
        deliverQueued();
        QMessageBox* box = p.box("新面板提醒", 0);
        EXPECT_EQ(box != nullptr, c.answer != Answer::None);
        if (box != nullptr) {
            EXPECT_EQ(box->text().toStdString(), "    Tolka面板有更新的版本(2.0.9)，请到Vexlor官网（" +
                                                     std::string(kSiteHost) +
                                                     "）下载，或找Vexlor售后获取。\n    是否去官网下载？");
            p.answer(box, c.answer == Answer::Ok);
        }
        EXPECT_EQ(p.window.opened, c.opened);
    }
    EXPECT_EQ(service.count(isPanelRequest), c.stampedToday ? 0 : 1);
    EXPECT_EQ(service.lastDate() == today, !c.dueAfter) << service.lastDate();

    // A later start the same day.
    const long asked = service.count(isPanelRequest);
    UpdateWindow again(std::make_unique<NoDeviceProvider>(), [](std::string_view) {});
    if (c.dueAfter) {
        EXPECT_TRUE(
            runUntil([&] { return service.count(isPanelRequest) == asked + 1 && !again.panelCheck().running(); }));
    } else {
        EXPECT_FALSE(again.panelCheck().running());
        EXPECT_EQ(again.panelCheck().lastDate(), today);
    }
}

INSTANTIATE_TEST_SUITE_P(Checks, PanelUpdatePanelCheck,
                         ::testing::Values(PanelCase{.name = "OkOpensTheDownloadPage",
                                                     .stampedToday = false,
                                                     .reply = panelOffer("5000", "http://@HOST@/big.zip"),
                                                     .linkFile = "",
                                                     .answer = Answer::Ok,
                                                     .opened = {"http://www.example.test/Download"},
                                                     .dueAfter = false},
                                           PanelCase{.name = "OkOpensTheLinkFilesAddress",
                                                     .stampedToday = false,
                                                     .reply = panelOffer("@LINKSIZE@", "http://@HOST@/link.txt"),
                                                     .linkFile = "see <http://example.test/p-2.0.9> now",
                                                     .answer = Answer::Ok,
                                                     .opened = {"http://example.test/p-2.0.9"},
                                                     .dueAfter = false},
                                           PanelCase{.name = "LinkFileWithoutAddressFallsBackToTheDownloadPage",
                                                     .stampedToday = false,
                                                     .reply = panelOffer("@LINKSIZE@", "http://@HOST@/link.txt"),
                                                     .linkFile = "no link!!",
                                                     .answer = Answer::Ok,
                                                     .opened = {"http://www.example.test/Download"},
                                                     .dueAfter = false},
                                           PanelCase{.name = "CancelOpensNothingButStampsTheDay",
                                                     .stampedToday = false,
                                                     .reply = panelOffer("5000", "http://@HOST@/big.zip"),
                                                     .linkFile = "",
                                                     .answer = Answer::Cancel,
                                                     .opened = {},
                                                     .dueAfter = false},
                                           PanelCase{.name = "NothingOfferedNoPromptNoStamp",
                                                     .stampedToday = false,
                                                     .reply = R"({"status":"0","softwareVersion":"2.0.9"})",
                                                     .linkFile = "",
                                                     .answer = Answer::None,
                                                     .opened = {},
                                                     .dueAfter = true},
                                           PanelCase{.name = "StampedTodayNotAsked",
                                                     .stampedToday = true,
                                                     .reply = panelOffer("5000", "http://@HOST@/big.zip"),
                                                     .linkFile = "",
                                                     .answer = Answer::None,
                                                     .opened = {},
                                                     .dueAfter = false}),
                         [](const ::testing::TestParamInfo<PanelCase>& param) {
                             return std::string(param.param.name);
                         });

}  // namespace
}  // namespace qv7::panel
