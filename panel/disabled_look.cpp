// The derived disabled colours and the window they are kept on.
#include "panel/disabled_look.h"

#include <QApplication>
#include <QEvent>
#include <QPainter>
#include <QStyleOptionSlider>

namespace qv7::panel {

namespace {
QColor between(const QColor& a, const QColor& b) {
    return QColor::fromRgbF((a.redF() + b.redF()) / 2, (a.greenF() + b.greenF()) / 2, (a.blueF() + b.blueF()) / 2);
}
}  // namespace

QPalette withGreyedDisabled(QPalette palette) {
    const QColor window = palette.color(QPalette::Active, QPalette::Window);
    const QColor base = palette.color(QPalette::Active, QPalette::Base);
    struct Role {
        QPalette::ColorRole role;
        const QColor& behind;
    };
    // Highlight is a slider's filled groove, Text sits on Base.
    for (const Role& r : {Role{QPalette::WindowText, window}, Role{QPalette::ButtonText, window},
                          Role{QPalette::Text, base}, Role{QPalette::Highlight, window}}) {
        const QColor active = palette.color(QPalette::Active, r.role);
        if (palette.color(QPalette::Disabled, r.role) == active)
            palette.setColor(QPalette::Disabled, r.role, between(active, r.behind));
    }
    return palette;
}

DisabledLook::DisabledLook(QWidget& window) : QObject(&window), window_(window) {
    window.installEventFilter(this);
    apply();
}

void DisabledLook::apply() {
    applying_ = true;
    // From the theme, not from the window's palette, which holds the colours derived from the previous theme.
    window_.setPalette(withGreyedDisabled(QApplication::palette(&window_)));
    applying_ = false;
}

bool DisabledLook::eventFilter(QObject* watched, QEvent* event) {
    if (watched == &window_ && event->type() == QEvent::ApplicationPaletteChange && !applying_) apply();
    return false;
}

void DimmedSlider::paintEvent(QPaintEvent* event) {
    if (isEnabled()) {
        QSlider::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setOpacity(0.4);
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    opt.subControls = QStyle::SC_SliderGroove | QStyle::SC_SliderHandle;  // as QSlider paints itself
    style()->drawComplexControl(QStyle::CC_Slider, &opt, &painter, this);
}

}  // namespace qv7::panel
