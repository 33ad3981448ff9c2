// The real window on a real X display (Xvfb), at whatever size and scale the test's environment gives the screen.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTest>
#include <QWheelEvent>

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

// Three notches of the wheel (down) over the middle of `w`, as the window system delivers them.
void wheelOver(QWidget* w, int notches) {
    const QPointF at = QPointF(w->rect().center());
    QWheelEvent wheel(at, QPointF(w->mapToGlobal(at.toPoint())), QPoint(), QPoint(0, -120 * notches), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &wheel);
}

// While the page scrolls, a wheel over a slider nobody chose scrolls the page and sends nothing; a slider reached
// with Tab takes the wheel. Where the layout fits, the wheel moves the slider under it, as it always did.
TEST(PanelScreenFit, WheelOverAnUnfocusedSliderScrollsThePageWhileItCanAndAFocusedSliderTakesIt) {
    auto sim = std::make_shared<sim::SimTransport>();
    long sent = 0;
    CBrontalDlg window(std::make_unique<SimProvider>(sim), [&](std::string_view line) {
        if (line == "ControlToSetting\n") ++sent;
    });
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.control(kReverbWetSliderId)->isEnabled(); }, kWaitMs));
    auto* area = window.findChild<QScrollArea*>();
    ASSERT_NE(area, nullptr);
    QScrollBar* bar = area->verticalScrollBar();
    auto* wet = qobject_cast<QSlider*>(window.control(kReverbWetSliderId));
    ASSERT_NE(wet, nullptr);
    const bool scrolls = bar->maximum() > bar->minimum();
    std::printf("the page %s\n", scrolls ? "scrolls" : "fits");
    const int value = wet->value();
    const long before = sent;
    if (scrolls) {
        area->ensureWidgetVisible(wet);
        bar->setValue(bar->minimum() + (bar->maximum() - bar->minimum()) / 2);
        QCoreApplication::processEvents();
        const int page = bar->value();
        wheelOver(wet, 3);
        EXPECT_GT(bar->value(), page) << "the page scrolls";
        EXPECT_EQ(wet->value(), value) << "the slider under the pointer stays";
        QTest::qWait(50);
        EXPECT_EQ(sent, before) << "nothing is sent";

        wet->setFocus(Qt::TabFocusReason);
        ASSERT_TRUE(QTest::qWaitFor([&] { return wet->hasFocus(); }, kWaitMs));
        const int scrolled = bar->value();
        wheelOver(wet, 1);
        EXPECT_NE(wet->value(), value) << "the focused slider moves";
        EXPECT_EQ(bar->value(), scrolled) << "the page stays";
        EXPECT_GT(sent, before) << "the focused slider sends its value";

        // Focus elsewhere: the wheel scrolls the page again; a click on the slider gives it the wheel back.
        wet->clearFocus();
        const int shown = wet->value();
        const int at = bar->value();
        wheelOver(wet, -2);
        EXPECT_LT(bar->value(), at) << "the page scrolls back";
        EXPECT_EQ(wet->value(), shown);
        area->ensureWidgetVisible(wet);
        QTest::mouseClick(wet, Qt::LeftButton, {}, wet->rect().center());
        ASSERT_TRUE(QTest::qWaitFor([&] { return wet->hasFocus(); }, kWaitMs)) << "a click focuses the slider";
        const int clicked = wet->value();
        wheelOver(wet, 1);
        EXPECT_NE(wet->value(), clicked) << "the clicked slider moves";
    } else {
        wheelOver(wet, 1);
        EXPECT_NE(wet->value(), value) << "with nothing to scroll the slider takes the wheel";
        EXPECT_GT(sent, before);
    }
    window.close();
}

}  // namespace
}  // namespace qv7::panel
