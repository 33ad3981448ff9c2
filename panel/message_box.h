// The window's message boxes: texts shown exactly as they came, the box placed where the user is looking.
#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QRect>

namespace qv7::panel {

// Where a box that belongs to `window` is centred: on the window while the user can see it, otherwise
// (hidden in the tray, minimised, not yet placed by the window manager) on the middle of its screen.
QRect boxArea(const QWidget* window);

// The top-left corner that centres a box of `size` on `area`, moved inside `screen` where it would cross it.
QPoint centredOrigin(QSize size, QRect area, QRect screen);

// Texts in these boxes come from the device, the version service or files: plain text, so a tag in
// them is shown as written and never turns the box into a web page.
class PanelMessageBox : public QMessageBox {
public:
    PanelMessageBox(Icon icon, const QString& caption, const QString& text, StandardButtons buttons, QWidget* window);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QPointer<QWidget> window_;
};

}  // namespace qv7::panel
