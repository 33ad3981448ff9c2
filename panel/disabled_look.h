// Greys disabled controls under themes that give disabled widgets their active colours.
#pragma once

#include <QObject>
#include <QPalette>
#include <QSlider>
#include <QWidget>

namespace qv7::panel {

// The disabled colours of a palette, derived where the theme left them equal to the active ones: halfway
// between the active colour and the window's background, so the control stays legible but plainly off.
QPalette withGreyedDisabled(QPalette palette);

// Keeps the window's palette greyed as above, again after each change of the application's theme.
class DisabledLook : public QObject {
public:
    explicit DisabledLook(QWidget& window);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void apply();

    QWidget& window_;
    bool applying_ = false;
};

// A slider whose handle and groove fade into the window while it is disabled. Styles such as Fusion draw a
// disabled slider like an enabled one but for its filled part, which an empty slider does not have.
class DimmedSlider : public QSlider {
public:
    using QSlider::QSlider;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace qv7::panel
