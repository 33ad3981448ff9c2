// The one message box and the repeats it absorbs.
#include "panel/single_message_box.h"

#include <QCoreApplication>

#include "panel/message_box.h"
#include "panel/window_texts.h"

namespace qv7::panel {

namespace {
// Captions and texts come from the device, the preset library and the update checks, in Chinese.
QString qs(const std::string& s) { return messageText(s); }
}  // namespace

SingleMessageBox::SingleMessageBox(QWidget* parent) : parent_(parent) {
    refresh_.setSingleShot(true);
    refresh_.setInterval(kRefreshMs);
    refresh_.callOnTimeout([this] { refresh(); });
}

SingleMessageBox::~SingleMessageBox() = default;

QMessageBox* SingleMessageBox::box() const { return box_ && box_->isVisible() ? box_.data() : nullptr; }

void SingleMessageBox::showMessage(const std::string& text, const std::string& caption) {
    if (box()) {
        const QString t = qs(text), c = qs(caption);
        varied_ = varied_ || t != text_ || c != caption_;
        text_ = t;
        caption_ = c;
        ++repeats_;
        if (!refresh_.isActive()) refresh_.start();
        return;
    }
    refresh_.stop();
    repeats_ = 0;
    varied_ = false;
    text_ = qs(text);
    caption_ = qs(caption);
    // Not exec(): a nested event loop would run reports into the driver while it is still inside one.
    auto* box = new PanelMessageBox(QMessageBox::NoIcon, qs(caption), qs(text), QMessageBox::Ok, parent_);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
    box_ = box;
}

void SingleMessageBox::refresh() {
    QMessageBox* open = box();
    if (!open) return;
    open->setWindowTitle(caption_);
    open->setText(text_);
    // Say whether the box shows the one message repeated or the latest of several different ones.
    open->setInformativeText(
        varied_
            ? QCoreApplication::translate("SingleMessageBox", "（又收到 %1 条消息，这里显示最新的一条）").arg(repeats_)
            : QCoreApplication::translate("SingleMessageBox", "（又收到 %1 次）").arg(repeats_));
}

}  // namespace qv7::panel
