// The window's size from its screen: the layout's own when it fits, else the screen's room with scroll bars.
#include "panel/screen_fit.h"

#include <QAbstractSlider>
#include <QCoreApplication>
#include <QEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWindow>

#include <algorithm>
#include <cstdlib>

namespace qv7::panel {

ScreenFit::ScreenFit(QWidget& window, QWidget& surface) : QObject(&window), window_(window), surface_(surface) {
    area_ = new QScrollArea(&window);
    area_->setFrameShape(QFrame::NoFrame);
    area_->setWidgetResizable(false);
    area_->setWidget(&surface);
    auto* layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(area_);
    window.installEventFilter(this);
    for (QAbstractSlider* slider : surface.findChildren<QAbstractSlider*>()) slider->installEventFilter(this);
    fit();
}

bool ScreenFit::pageTakesWheel(QObject* watched, QEvent* event) const {
    auto* slider = qobject_cast<QAbstractSlider*>(watched);
    if (!slider || event->type() != QEvent::Wheel || slider->hasFocus()) return false;
    // A wheel turned to scroll the page must not move the slider that happens to pass under the pointer; one the
    // user clicked or reached with Tab takes it. The page scrolls in the wheel's direction only when it can.
    const auto* wheel = static_cast<QWheelEvent*>(event);
    const QPoint delta = wheel->angleDelta();
    const QScrollBar* bar =
        std::abs(delta.x()) > std::abs(delta.y()) ? area_->horizontalScrollBar() : area_->verticalScrollBar();
    return bar->maximum() > bar->minimum();
}

void ScreenFit::follow(QScreen* screen) {
    if (screen == screen_) return;
    disconnect(geometryChanged_);
    screen_ = screen;
    if (screen) geometryChanged_ = connect(screen, &QScreen::availableGeometryChanged, this, &ScreenFit::fit);
}

void ScreenFit::resize() {
    QWindow* handle = window_.windowHandle();
    follow(handle ? handle->screen() : window_.screen());
    if (!screen_) return;
    const QRect available = screen_->availableGeometry();
    // Known once a window manager has framed the window; before that the frame is taken as none.
    const QMargins frame = handle ? handle->frameMargins() : QMargins();
    const QSize room = available.size().shrunkBy(frame);
    const QSize content = surface_.size();
    const int bar = window_.style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, area_);
    // One scroll bar takes room from the other direction, which may then need its own.
    bool across = content.width() > room.width();
    bool down = content.height() > room.height();
    if (across && !down) down = content.height() + bar > room.height();
    if (down && !across) across = content.width() + bar > room.width();
    const QSize wanted(content.width() + (down ? bar : 0), content.height() + (across ? bar : 0));
    const QSize size = wanted.boundedTo(room).expandedTo(QSize(1, 1));
    area_->setHorizontalScrollBarPolicy(across ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    area_->setVerticalScrollBarPolicy(down ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    window_.setFixedSize(size);
}

void ScreenFit::fit() {
    resize();
    if (!window_.isVisible() || !screen_) return;
    const QRect available = screen_->availableGeometry();
    // A window left reaching past the screen's room would hide the very part the scroll bars are for.
    const QRect outer = window_.frameGeometry();
    const int x =
        std::clamp(outer.left(), available.left(), std::max(available.left(), available.right() + 1 - outer.width()));
    const int y =
        std::clamp(outer.top(), available.top(), std::max(available.top(), available.bottom() + 1 - outer.height()));
    if (QPoint(x, y) != outer.topLeft()) window_.move(x, y);
}

bool ScreenFit::eventFilter(QObject* watched, QEvent* event) {
    if (pageTakesWheel(watched, event)) {
        const auto* wheel = static_cast<QWheelEvent*>(event);
        QWidget* viewport = area_->viewport();
        QWheelEvent page(viewport->mapFromGlobal(wheel->globalPosition()), wheel->globalPosition(), wheel->pixelDelta(),
                         wheel->angleDelta(), wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted(),
                         wheel->source());
        QCoreApplication::sendEvent(viewport, &page);
        return true;
    }
    if (watched != &window_) return false;
    if (event->type() == QEvent::Show) {
        if (!watchingWindow_ && window_.windowHandle()) {
            watchingWindow_ = true;
            connect(window_.windowHandle(), &QWindow::screenChanged, this, &ScreenFit::fit);
        }
        fit();
        // The window manager's frame is known only after the window is mapped.
        QTimer::singleShot(0, this, &ScreenFit::fit);
    } else if (event->type() == QEvent::ScreenChangeInternal) {
        fit();
    } else if (event->type() == QEvent::Move) {
        // Framing by the window manager moves the window; the user may put it where they like.
        resize();
    }
    return false;
}

}  // namespace qv7::panel
