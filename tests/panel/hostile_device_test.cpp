// The real window on the offscreen platform against a hostile Tolka on a local socket: a device that
// repeats a reply the driver rejects, and one that floods faster than the window can take.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <chrono>
#include <thread>

#include "bench/flood_server.h"
#include "panel/main_window.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 20000;  // generous: only a failing test waits this long

// Counts the driver's messages instead of showing them.
class CountingWindow : public CBrontalDlg {
public:
    using CBrontalDlg::CBrontalDlg;
    long messages = 0;
    std::string lastText, lastCaption;
    void showMessage(const std::string& text, const std::string& caption) override {
        ++messages;
        lastText = text;
        lastCaption = caption;
    }
};

template <typename Window>
struct HostilePanel {
    HostilePanel() : path(dir.filePath("tolka").toStdString()), server(path) {
        std::string error;
        if (!server.listen(error)) ADD_FAILURE() << error;
        window = std::make_unique<Window>(std::make_unique<SocketProvider>(path), [](std::string_view) {});
        window->show();
    }
    ~HostilePanel() { window->close(); }

    QString battery() const { return qobject_cast<QLabel*>(window->control(1051))->text(); }
    // Waits until the device's battery marker, sent behind everything else, is on the window.
    bool shows(unsigned centivolts) {
        const QString text = QString::asprintf("%1.2f V", centivolts / 100.0);
        return QTest::qWaitFor([&] { return battery() == text; }, kWaitMs);
    }

    QTemporaryDir dir;
    std::string path;
    bench::FloodServer server;
    std::unique_ptr<Window> window;
};

std::vector<QMessageBox*> visibleMessageBoxes() {
    std::vector<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible()) boxes.push_back(box);
    return boxes;
}

TEST(HostileDevice, RepeatedRejectedRepliesKeepOneMessageBoxThatCountsThem) {
    HostilePanel<CBrontalDlg> p;
    p.server.burst(bench::FloodKind::BadParameters, 300);
    p.server.battery(377);
    ASSERT_TRUE(p.shows(377));
    auto boxes = visibleMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    // The driver's text and caption, unchanged, and how often the same message came again.
    EXPECT_TRUE(boxes[0]->text().startsWith(QStringLiteral("收到的参数错误（"))) << boxes[0]->text().toStdString();
    EXPECT_TRUE(boxes[0]->text().endsWith(QStringLiteral("）(0)")));
    EXPECT_EQ(boxes[0]->windowTitle(), "Error");
    EXPECT_TRUE(QTest::qWaitFor([&] { return boxes[0]->informativeText().contains("299"); }, kWaitMs))
        << boxes[0]->informativeText().toStdString();

    // Once the user closed it, the next message opens one box again, exactly as the driver words it.
    const QString first = boxes[0]->text();
    QTest::mouseClick(boxes[0]->button(QMessageBox::Ok), Qt::LeftButton);
    ASSERT_TRUE(QTest::qWaitFor([] { return visibleMessageBoxes().empty(); }, kWaitMs));
    p.server.burst(bench::FloodKind::BadParameters, 1);
    p.server.battery(366);
    ASSERT_TRUE(p.shows(366));
    boxes = visibleMessageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0]->text(), first);
    EXPECT_EQ(boxes[0]->windowTitle(), "Error");
    EXPECT_EQ(boxes[0]->informativeText(), "");
    QTest::mouseClick(boxes[0]->button(QMessageBox::Ok), Qt::LeftButton);
}

TEST(HostileDevice, FloodWhileTheWindowIsBusyKeepsABoundedBacklog) {
    HostilePanel<CountingWindow> p;
    constexpr long kFlood = 20000;
    p.server.burst(bench::FloodKind::BadParameters, kFlood);
    p.server.battery(377);
    // The window thread is busy (no event is processed) until the reader has taken every report.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitMs);
    while (!p.server.drained() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(p.server.drained());
    ASSERT_TRUE(p.shows(377));
    // What waited for the window was bounded: far fewer messages than reports, the newest kept, the
    // rest counted as dropped.
    EXPECT_LT(p.window->messages, kFlood / 10);
    EXPECT_LE(p.window->messages, long(ReportQueue::kCapacity));
    EXPECT_GT(p.window->messages, 0);
    EXPECT_EQ(p.window->lastCaption, "Error");
    const auto counts = p.window->host().reportCounts();
    EXPECT_GT(counts.pushed, uint64_t(kFlood));
    EXPECT_GE(counts.dropped, uint64_t(kFlood + 1 - ReportQueue::kCapacity));
    EXPECT_LE(counts.taken + counts.dropped, counts.pushed);
}

}  // namespace
}  // namespace qv7::panel
