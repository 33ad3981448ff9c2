// Measuring texts against their controls, and the few ways a control makes room for a longer one.
#include "panel/text_fit.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace qv7::panel {

namespace {

int widestLine(const QFontMetricsF& fm, const QString& text) {
    qreal widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
    return static_cast<int>(std::ceil(widest));
}

// The lines `text` wraps into at `width` pixels, as a label draws them.
struct Wrapped {
    int lines = 0;
    int lastLineChars = 0;
};

Wrapped wrapAt(QLabel& label, int width) {
    QTextLayout layout(label.text(), label.font(), &label);
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    Wrapped out;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++out.lines;
        out.lastLineChars = static_cast<int>(label.text().mid(line.textStart(), line.textLength()).trimmed().size());
    }
    layout.endLayout();
    return out;
}

}  // namespace

int textNeed(const QWidget& w) {
    const QFontMetricsF fm(w.font(), &w);
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        if (label->text().isEmpty()) return 0;
        const QMargins m = label->contentsMargins();
        return widestLine(fm, label->text()) + m.left() + m.right() + 2 * label->margin();
    }
    auto* button = qobject_cast<const QAbstractButton*>(&w);
    if (!button || button->text().isEmpty()) return 0;
    QString text = button->text();
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'));
    const QStyle* style = button->style();
    const bool check = qobject_cast<const QCheckBox*>(button) != nullptr;
    if (check || qobject_cast<const QRadioButton*>(button)) {
        // The text starts after the indicator and its spacing, where the style puts the contents.
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        const QRect contents = style->subElementRect(
            check ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, button);
        return contents.left() + widestLine(fm, text) + 1;
    }
    return widestLine(fm, text) + style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button) +
           2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, button);
}

int wrapToFit(QLabel& label) {
    if (textNeed(label) <= label.width()) return 0;
    label.setWordWrap(true);
    label.setAlignment(Qt::AlignLeft | Qt::AlignTop);
    const int height = label.heightForWidth(label.width());
    const int grown = std::max(0, height - label.height());
    label.resize(label.width(), label.height() + grown);
    return grown;
}

void balanceWrap(QLabel& label) {
    const int width = label.contentsRect().width();
    const Wrapped full = wrapAt(label, width);
    // A few characters alone on the last line read as a stray; a single line or a fuller last line stays.
    constexpr int kStrayChars = 3;
    if (full.lines < 2 || full.lastLineChars >= kStrayChars) return;
    // The narrowest width that still takes as many lines gives each of them an even share.
    int low = width / 2;
    int high = width;
    while (low < high) {
        const int mid = (low + high) / 2;
        if (wrapAt(label, mid).lines <= full.lines) high = mid;
        else low = mid + 1;
    }
    if (wrapAt(label, high).lastLineChars < kStrayChars) return;
    QMargins margins = label.contentsMargins();
    margins.setRight(margins.right() + width - high);
    label.setContentsMargins(margins);
}

void makeRoomBelow(QWidget& parent, int y, int dy) {
    if (dy <= 0) return;
    for (QWidget* child : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (!child->isWindow() && child->y() >= y) child->move(child->x(), child->y() + dy);
    if (parent.minimumSize() == parent.maximumSize()) parent.setFixedSize(parent.width(), parent.height() + dy);
}

}  // namespace qv7::panel
