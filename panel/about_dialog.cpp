// The About box laid out in dialog units like the main window.
#include "panel/about_dialog.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPushButton>

#include <algorithm>
#include <iterator>

#include "panel/app_icon.h"
#include "panel/text_fit.h"
#include "panel/widget_bindings.h"

namespace qv7::panel {

namespace {
constexpr int kValueX = 49;  // where the values start, in dialog units

// The captions end where the values start. A language whose captions need more room (English "Firmware:") gets
// one column as wide as its widest caption, from the leftmost caption's start, and the values move right of it.
template <std::size_t N>
void widenCaptions(QLabel* (&captions)[N], QLabel* (&values)[N], const DialogUnits& du) {
    int left = captions[0]->x();
    int need = 0;
    bool fits = true;
    for (QLabel* c : captions) {
        left = std::min(left, c->x());
        need = std::max(need, textNeed(*c));
        fits = fits && textNeed(*c) <= c->width();
    }
    if (fits) return;
    QDialog& dialog = *static_cast<QDialog*>(captions[0]->parentWidget());
    const int shift = left + need + du.x(2) - du.x(kValueX);
    int right = dialog.width();
    for (QLabel* c : captions) c->setGeometry(left, c->y(), need, c->height());
    for (QLabel* value : values) {
        value->move(value->x() + shift, value->y());
        right = std::max(right, value->geometry().right() + 1 + du.x(7));
    }
    dialog.setFixedSize(right, dialog.height());
}
}  // namespace

CAboutDlg::CAboutDlg(const std::string& hardware, const std::string& firmware, const std::string& serial,
                     const std::string& name, const std::string& model, QWidget* parent,
                     std::function<std::string()> diagnostics, RecordingControl recording)
    : QDialog(parent), recording_(std::move(recording)) {
    const DialogUnits du(fontMetrics());
    setWindowTitle(QCoreApplication::translate("CAboutDlg", "关于Tolka面板"));
    setFixedSize(du.x(221), du.y(121));
    setModal(true);

    struct Row {
        const char* caption;
        int captionX, y, width;
        const std::string& text;
    };
    const Row rows[] = {{QT_TRANSLATE_NOOP("CAboutDlg", "名字："), 28, 16, 146, name},
                        {QT_TRANSLATE_NOOP("CAboutDlg", "型号："), 28, 29, 147, model},
                        {QT_TRANSLATE_NOOP("CAboutDlg", "固件版本："), 15, 42, 152, firmware},
                        {QT_TRANSLATE_NOOP("CAboutDlg", "硬件版本："), 15, 55, 157, hardware},
                        {QT_TRANSLATE_NOOP("CAboutDlg", "序列号："), 22, 68, 131, serial}};
    QLabel* captions[std::size(rows)] = {};
    int i = 0;
    for (const Row& r : rows) {
        captions[i] = new QLabel(QCoreApplication::translate("CAboutDlg", r.caption), this);
        captions[i]->setGeometry(du.rect({r.captionX, r.y, kValueX - r.captionX, 8}));
        values_[i] = new QLabel(QString::fromStdString(r.text), this);
        // The device names itself: a tag in its name is shown as written.
        values_[i]->setTextFormat(Qt::PlainText);
        values_[i]->setObjectName(QString::number(1052 + i));
        values_[i]->setGeometry(du.rect({kValueX, r.y, r.width, 8}));
        ++i;
    }
    widenCaptions(captions, values_, du);
    auto* icon = new QLabel(this);
    icon->setPixmap(appIcon().pixmap(du.y(20), du.y(20)));
    icon->setGeometry(du.rect({14, 91, 21, 20}));
    auto* version = new QLabel(QCoreApplication::translate("CAboutDlg", "Tolka面板，1.4 版"), this);
    version->setGeometry(du.rect({42, 91, 110, 8}));
    copy_ = new QPushButton(QCoreApplication::translate("CAboutDlg", "复制诊断信息"), this);
    copy_->setGeometry(du.rect({42, 102, 80, 14}));
    connect(copy_, &QPushButton::clicked, this, [this, diagnostics = std::move(diagnostics)] {
        if (!diagnostics) return;
        QGuiApplication::clipboard()->setText(QString::fromStdString(diagnostics()));
        // Nothing else shows that the click did anything; a second click copies a fresher trace again.
        copy_->setText(QCoreApplication::translate("CAboutDlg", "已复制到剪贴板"));
    });
    auto* ok = new QPushButton(QCoreApplication::translate("CAboutDlg", "确定"), this);
    ok->setGeometry(du.rect({164, 97, 50, 14}));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    if (!recording_.start) return;

    // A row below the box as the window's own About box has it: the recording's switch and where it goes.
    setFixedSize(width(), du.y(151));
    record_ = new QPushButton(this);
    record_->setGeometry(du.rect({42, 120, 80, 14}));
    recordingNote_ = new QLabel(this);
    recordingNote_->setTextFormat(Qt::PlainText);
    recordingNote_->setGeometry(du.rect({14, 138, 200, 8}));
    recordingNote_->resize(width() - recordingNote_->x() - du.x(7), recordingNote_->height());
    connect(record_, &QPushButton::clicked, this, [this] {
        if (recording_.active()) {
            recording_.stop();
        } else {
            const std::string file = recording_.askPath(recording_.path());
            if (file.empty()) return;
            const std::string error = recording_.start(file);
            if (!error.empty()) {
                recordingNote_->setText(
                    QCoreApplication::translate("CAboutDlg", "无法录制：%1").arg(QString::fromStdString(error)));
                return;
            }
        }
        showRecording();
    });
    showRecording();
}

void CAboutDlg::showRecording() {
    const bool active = recording_.active();
    record_->setText(active ? QCoreApplication::translate("CAboutDlg", "停止录制")
                            : QCoreApplication::translate("CAboutDlg", "录制设备通信…"));
    const QString file = QString::fromStdString(recording_.path());
    QString note;
    if (active) note = QCoreApplication::translate("CAboutDlg", "正在录制：%1").arg(file);
    else if (!file.isEmpty()) note = QCoreApplication::translate("CAboutDlg", "录制已保存：%1").arg(file);
    recordingNote_->setToolTip(note);
    // A long path keeps its file name in view.
    recordingNote_->setText(recordingNote_->fontMetrics().elidedText(note, Qt::ElideMiddle, recordingNote_->width()));
}

QLabel* CAboutDlg::value(int id) const { return id >= 1052 && id <= 1056 ? values_[id - 1052] : nullptr; }

}  // namespace qv7::panel
