// Fits the window to the room its screen leaves, scrolling the fixed dialog-unit layout when it is larger.
#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>
#include <QScreen>
#include <QScrollArea>
#include <QSize>
#include <QWidget>

namespace qv7::panel {

// The layout keeps its size in dialog units; at 150 % scale or on a 768-line laptop with a panel bar that is taller
// than the screen. The window then takes what the screen's available area holds, less its frame, and scrolls; the
// wheel then scrolls the page over a slider too, unless the slider has the focus.
class ScreenFit : public QObject {
public:
    // `surface` holds the controls at the layout's size; it moves into a frameless scroll area filling `window`.
    ScreenFit(QWidget& window, QWidget& surface);

    QScrollArea* scrollArea() const { return area_; }
    // Fits again, to the screen the window is on now.
    void fit();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void follow(QScreen* screen);
    // Whether `event` is a wheel over a slider without focus that should scroll the page instead.
    bool pageTakesWheel(QObject* watched, QEvent* event) const;
    void resize();

    QWidget& window_;
    QWidget& surface_;
    QScrollArea* area_;
    QPointer<QScreen> screen_;
    QMetaObject::Connection geometryChanged_;
    bool watchingWindow_ = false;
};

}  // namespace qv7::panel
