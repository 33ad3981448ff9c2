// One message box at a time: messages that come while it is open update it instead of opening more,
// so a device that repeats a fault costs one box, not one per report.
#pragma once

#include <QPointer>
#include <QString>
#include <QTimer>

#include <string>

#include "device/mfi.h"

class QMessageBox;
class QWidget;

namespace qv7::panel {

class SingleMessageBox : public MessageSink {
public:
    // Boxes are window-modal to `parent`.
    explicit SingleMessageBox(QWidget* parent);
    ~SingleMessageBox() override;

    // The first message opens a box with its text and caption as given. While that box is open, a
    // message shows there as the latest text, with how many came after the first.
    void showMessage(const std::string& text, const std::string& caption) override;

    QMessageBox* box() const;
    long repeats() const { return repeats_; }

    // How often repeats redraw the box: every message would be a relayout, and they come at the device's rate.
    static constexpr int kRefreshMs = 100;

private:
    void refresh();

    QWidget* parent_;
    QPointer<QMessageBox> box_;
    QString text_, caption_;
    long repeats_ = 0;
    bool varied_ = false;  // a repeat differed from the message before it
    QTimer refresh_;
};

}  // namespace qv7::panel
