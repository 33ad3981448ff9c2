// The quick-key replacement dialog laid out in dialog units like the main window.
#include "panel/para_replace.h"

#include <QCoreApplication>
#include <QLabel>

#include "panel/text_fit.h"
#include "panel/widget_bindings.h"

namespace qv7::panel {

CParaReplace::CParaReplace(const PresetLibrary& library, QWidget* parent) : QDialog(parent), choice_(library) {
    const DialogUnits du(fontMetrics());
    setWindowTitle(QCoreApplication::translate("CParaReplace", "替换快捷参数"));
    setFixedSize(du.x(235), du.y(100));
    setModal(true);

    auto* text = new QLabel(
        QCoreApplication::translate("CParaReplace",
                                    "    请从常用参数列表中选择一项替换这个按键对应的参数，这组参数会保存在Tolka中。"),
        this);
    text->setWordWrap(true);
    text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    text->setGeometry(du.rect({7, 7, 221, 26}));
    balanceWrap(*text);
    list_ = new QComboBox(this);
    list_->setObjectName(QStringLiteral("1064"));
    list_->setGeometry(du.rect({7, 40, 221, 14}));
    const int count = static_cast<int>(choice_.entries().size());
    for (int i = 0; i < count; ++i) list_->addItem(QString::fromStdString(choice_.itemText(i)));
    list_->setCurrentIndex(0);
    replace_ = new QPushButton(QCoreApplication::translate("CParaReplace", "替换"), this);
    replace_->setGeometry(du.rect({60, 78, 50, 14}));
    replace_->setDefault(true);
    cancel_ = new QPushButton(QCoreApplication::translate("CParaReplace", "取消"), this);
    cancel_->setGeometry(du.rect({124, 78, 50, 14}));

    connect(list_, &QComboBox::currentIndexChanged, this, [this](int index) { choice_.onSelected(index); });
    connect(replace_, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

}  // namespace qv7::panel
