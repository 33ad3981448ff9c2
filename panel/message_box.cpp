// Placement and text format of the window's message boxes.
#include "panel/message_box.h"

#include <QGuiApplication>
#include <QScreen>
#include <QShowEvent>
#include <QWindow>

#include <algorithm>

namespace qv7::panel {

QRect boxArea(const QWidget* window) {
    const QWidget* top = window ? window->window() : nullptr;
    // A window that is shown but not exposed yet still has the position it was created with, not the
    // one the window manager will give it: centring on it put the first prompt off to the side.
    if (top && top->isVisible() && !top->isMinimized() && top->windowHandle() && top->windowHandle()->isExposed())
        return top->frameGeometry();
    QScreen* screen = top ? top->screen() : QGuiApplication::primaryScreen();
    return screen ? screen->availableGeometry() : QRect();
}

QPoint centredOrigin(QSize size, QRect area, QRect screen) {
    QPoint origin(area.x() + (area.width() - size.width()) / 2, area.y() + (area.height() - size.height()) / 2);
    if (screen.isValid()) {
        // Left and top win when the box is larger than the screen: its title bar stays reachable.
        origin.setX(std::max(screen.left(), std::min(origin.x(), screen.x() + screen.width() - size.width())));
        origin.setY(std::max(screen.top(), std::min(origin.y(), screen.y() + screen.height() - size.height())));
    }
    return origin;
}

PanelMessageBox::PanelMessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons,
                                 QWidget* window)
    : QMessageBox(icon, caption, QString(), buttons, window), window_(window) {
    setTextFormat(Qt::PlainText);
    setText(text);
}

void PanelMessageBox::showEvent(QShowEvent* event) {
    // The base sizes the box for its text first; the show event comes before the box is on screen.
    QMessageBox::showEvent(event);
    if (event->spontaneous()) return;
    const QRect area = boxArea(window_);
    if (!area.isValid()) return;
    QScreen* screen = window_ ? window_->screen() : QGuiApplication::primaryScreen();
    // move() places the frame, so the frame's size is what is centred.
    move(centredOrigin(frameGeometry().size(), area, screen ? screen->availableGeometry() : QRect()));
}

}  // namespace qv7::panel
