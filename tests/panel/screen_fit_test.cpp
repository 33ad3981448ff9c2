// The real window on a real X display (Xvfb), at whatever size and scale the test's environment gives the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include "panel/control_table.h"
#include "panel/main_window.h"
#include "panel_test_support.h"
#include "sim/sim_transport.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

// Whether all of `w` can be seen in its window: inside the window and not clipped by a scrolled parent.
bool wholeInView(QWidget& window, QWidget* w) {
    const QRect at(w->mapTo(&window, QPoint(0, 0)), w->size());
    return window.rect().contains(at) && w->visibleRegion().boundingRect() == w->rect();
}

TEST(PanelScreenFit, WindowFitsTheScreensRoomAndTheBottomLineCanBeScrolledIntoView) {
    auto sim = std::make_shared<sim::SimTransport>();
    CBrontalDlg window(std::make_unique<SimProvider>(sim), [](std::string_view) {});
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window, kWaitMs));
    QScreen* screen = window.screen();
    const QRect room = screen->availableGeometry();
    std::printf("screen room %dx%d at scale %s, window %dx%d\n", room.width(), room.height(),
                qgetenv("QT_SCALE_FACTOR").constData(), window.width(), window.height());
    EXPECT_TRUE(QTest::qWaitFor([&] { return room.contains(window.frameGeometry()); }, kWaitMs))
        << "window " << window.frameGeometry().width() << "x" << window.frameGeometry().height() << " at "
        << window.frameGeometry().x() << "," << window.frameGeometry().y();

    const DialogUnits units(window.fontMetrics());
    const QSize layout(units.x(kWindowWidthDu), units.y(kWindowHeightDu));
    const bool fits = layout.width() <= room.width() && layout.height() <= room.height();
    auto* area = window.findChild<QScrollArea*>();
    if (fits) {
        EXPECT_EQ(window.size(), layout) << "no scroll bars where the layout fits";
        if (area) {
            EXPECT_FALSE(area->verticalScrollBar()->isVisible());
            EXPECT_FALSE(area->horizontalScrollBar()->isVisible());
        }
    }
    // The status line and the battery at the bottom, and the top-left and top-right controls, one after another.
    for (int id : {1031, 1051, 1067, 1077, 1082}) {
        QWidget* w = window.control(id);
        ASSERT_NE(w, nullptr) << id;
        if (area) area->ensureWidgetVisible(w, 0, 0);
        QCoreApplication::processEvents();
        EXPECT_TRUE(wholeInView(window, w)) << id << " cannot be brought into view";
    }
    window.close();
}

}  // namespace
}  // namespace qv7::panel
