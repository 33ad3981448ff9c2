// The tray on the offscreen platform: its menu, the activations that bring the window back, and what
// the window does as trays come and go.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QTimer>

#include "panel/control_table.h"
#include "panel/main_window.h"
#include "panel/tray.h"
#include "sim/sim_transport.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }

struct Calls {
    int restores = 0;
    int abouts = 0;
    int quits = 0;
};

struct TestTray {
    Calls calls;
    Tray tray{QStringLiteral("qv7-panel"), [this] { ++calls.restores; }, [this] { ++calls.abouts; },
              [this] { ++calls.quits; }};
};

TEST(Tray, MenuShowsThePanelAboveAboutAndClose) {
    TestTray t;
    const auto actions = t.tray.menu().actions();
    ASSERT_EQ(actions.size(), 3);
    EXPECT_EQ(actions[0]->text(), qs(kTrayShow));
    EXPECT_EQ(actions[1]->text(), qs(kAboutMenuText));
    EXPECT_EQ(actions[2]->text(), qs(kTrayClose));

    const std::vector<std::pair<int, Calls>> table = {{0, {1, 0, 0}}, {1, {1, 1, 0}}, {2, {1, 1, 1}}};
    for (const auto& [index, expected] : table) {
        actions[index]->trigger();
        EXPECT_EQ(t.calls.restores, expected.restores) << index;
        EXPECT_EQ(t.calls.abouts, expected.abouts) << index;
        EXPECT_EQ(t.calls.quits, expected.quits) << index;
    }
}

// StatusNotifierItem hosts report a click as Trigger and never a double-click: both bring the window back.
TEST(Tray, SingleAndDoubleActivationRestoreOthersDoNot) {
    const std::vector<std::pair<QSystemTrayIcon::ActivationReason, bool>> table = {
        {QSystemTrayIcon::Trigger, true},      {QSystemTrayIcon::DoubleClick, true}, {QSystemTrayIcon::Context, false},
        {QSystemTrayIcon::MiddleClick, false}, {QSystemTrayIcon::Unknown, false},
    };
    for (const auto& [reason, restores] : table) {
        TestTray t;
        t.tray.setHosts({true, false});
        ASSERT_TRUE(t.tray.usable());
        t.tray.show();
        ASSERT_TRUE(t.tray.visible());
        emit t.tray.icon()->activated(reason);
        QCoreApplication::processEvents();
        EXPECT_EQ(t.calls.restores, restores ? 1 : 0) << reason;
        EXPECT_EQ(t.tray.visible(), !restores) << reason;
    }
}

TEST(Tray, UsableOnlyWhileTheTrayItsIconWasMadeForIsThere) {
    TestTray t;
    std::vector<bool> heard;
    t.tray.followDesktop([&heard](bool usable) { heard.push_back(usable); });
    t.tray.setHosts({});
    EXPECT_FALSE(t.tray.usable());
    t.tray.show();
    EXPECT_FALSE(t.tray.visible()) << "an icon with no tray to show it in";

    t.tray.setHosts({true, false});
    EXPECT_TRUE(t.tray.usable());
    t.tray.show();
    EXPECT_TRUE(t.tray.visible());
    t.tray.setHosts({false, false});
    EXPECT_FALSE(t.tray.usable());
    EXPECT_FALSE(t.tray.visible());
    // Off X11 Qt's icon lives on D-Bus only: an XEmbed tray is no place for it.
    t.tray.setHosts({false, true});
    EXPECT_FALSE(t.tray.usable());
    t.tray.setHosts({true, true});
    EXPECT_TRUE(t.tray.usable());
    EXPECT_EQ(heard, (std::vector<bool>{true, false, true}));
}

struct TrayWindow {
    TrayWindow()
        : window(std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(sim::defaultConfig())),
                 [](std::string_view) {}) {
        window.show();
    }
    ~TrayWindow() { window.close(); }
    bool shown() {
        return QTest::qWaitFor([&] { return window.isVisible(); }, kWaitMs);
    }
    bool hidden() {
        return QTest::qWaitFor([&] { return window.isHidden(); }, kWaitMs);
    }
    CBrontalDlg window;
};

TEST(TrayWindow, ClosingAndMinimisingHideToAUsableTrayAndALostTrayShowsTheWindow) {
    for (const bool minimise : {false, true}) {
        TrayWindow w;
        w.window.tray()->setHosts({true, false});
        if (minimise) w.window.setWindowState(Qt::WindowMinimized);
        else w.window.close();
        ASSERT_TRUE(w.hidden()) << minimise;
        EXPECT_TRUE(w.window.tray()->visible()) << minimise;

        w.window.tray()->setHosts({false, false});
        EXPECT_TRUE(w.shown()) << minimise;
        EXPECT_FALSE(w.window.isMinimized()) << minimise;
        EXPECT_FALSE(w.window.tray()->visible()) << minimise;
    }
}

TEST(TrayWindow, WithoutATrayMinimisingKeepsTheWindowAndClosingQuits) {
    TrayWindow w;
    w.window.tray()->setHosts({});
    w.window.setWindowState(Qt::WindowMinimized);
    QCoreApplication::processEvents();
    EXPECT_FALSE(w.window.isHidden());
    EXPECT_FALSE(w.window.tray()->visible());
    // Closing ends the program: the event loop's quit is what a test can see of it.
    // The guard and its timer end with the test, so nothing of it reaches a later one.
    QObject guard;
    QTimer::singleShot(0, &guard, [&w] { w.window.close(); });
    QTimer::singleShot(kWaitMs, &guard, [] { QCoreApplication::exit(1); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

}  // namespace
}  // namespace qv7::panel
