// NameInput keeps every name storable: whole GBK characters only, never more than the 10 bytes a preset holds.
#include "panel/name_input.h"

#include <QCoreApplication>

#include <algorithm>

#include "common/gbk_text.h"
#include "panel/text_fit.h"
#include "panel/widget_bindings.h"
#include "panel/window_texts.h"
#include "params/preset_entry.h"
#include "presets/preset_library.h"

namespace qv7::panel {

namespace {
QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string utf8(const QString& s) { return s.toUtf8().toStdString(); }
}  // namespace

NameInput::NameInput(QWidget* parent) : QDialog(parent) {
    const DialogUnits du(fontMetrics());
    setWindowTitle(QCoreApplication::translate("NameInput", "输入名字"));
    setFixedSize(du.x(213), du.y(84));
    setModal(true);

    auto* prompt =
        new QLabel(QCoreApplication::translate("NameInput", "请输入该参数的名字，最长为5个汉字（10个字母）："), this);
    prompt->setGeometry(du.rect({7, 7, 199, 9}));
    edit_ = new QLineEdit(this);
    edit_->setObjectName(QStringLiteral("1065"));
    edit_->setGeometry(du.rect({7, 20, 199, 14}));
    notice_ = new QLabel(this);
    notice_->setTextFormat(Qt::PlainText);
    notice_->setGeometry(du.rect({7, 38, 199, 9}));
    notice_->setStyleSheet(QStringLiteral("color: #b00000"));
    ok_ = new QPushButton(QCoreApplication::translate("NameInput", "确定"), this);
    ok_->setGeometry(du.rect({49, 60, 50, 14}));
    ok_->setDefault(true);
    cancel_ = new QPushButton(QCoreApplication::translate("NameInput", "取消"), this);
    cancel_->setGeometry(du.rect({113, 60, 50, 14}));

    // An English prompt, and the notice, are longer than the line the layout gives them: they wrap, and what lies
    // below moves down.
    const int promptBottom = prompt->geometry().bottom() + 1;
    makeRoomBelow(*this, promptBottom, wrapToFit(*prompt));
    notice_->setText(messageText(preset_text::kNameNotGbk));
    const int noticeBottom = notice_->geometry().bottom() + 1;
    makeRoomBelow(*this, noticeBottom, wrapToFit(*notice_));
    notice_->clear();

    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    // textEdited, not textChanged: only the user's input is limited, never our own corrections.
    connect(edit_, &QLineEdit::textEdited, this, [this](const QString& text) { edited(text); });
    edit_->setFocus();
}

std::string NameInput::name() const { return utf8(edit_->text()); }

void NameInput::restore(const QString& text, int cursor) {
    edit_->setText(text);
    edit_->setCursorPosition(cursor);
    kept_ = text;
}

void NameInput::edited(const QString& text) {
    // Where the edit happened: what it left of the old text before and after it.
    const qsizetype shorter = std::min(text.size(), kept_.size());
    qsizetype head = 0;
    while (head < shorter && text[head] == kept_[head]) ++head;
    qsizetype tail = 0;
    while (tail < shorter - head && text[text.size() - 1 - tail] == kept_[kept_.size() - 1 - tail]) ++tail;

    const auto bytes = gbk::byteLength(utf8(text));
    if (!bytes) {
        // A character the device's code page has no bytes for would be stored mangled: refuse the whole edit.
        notice_->setText(messageText(preset_text::kNameNotGbk));
        restore(kept_, static_cast<int>(head));
        return;
    }
    notice_->clear();
    if (*bytes <= kMaxPresetNameBytes) {
        kept_ = text;
        return;
    }
    // Too long: keep the old text and as much of the new input as fits, in whole characters.
    const QString before = kept_.left(head);
    const QString after = kept_.right(tail);
    const std::size_t used = *gbk::byteLength(utf8(before + after));
    const std::size_t room = used < kMaxPresetNameBytes ? kMaxPresetNameBytes - used : 0;
    const QString inserted = qs(gbk::fitToBytes(utf8(text.mid(head, text.size() - head - tail)), room));
    restore(before + inserted + after, static_cast<int>(head + inserted.size()));
}

}  // namespace qv7::panel
