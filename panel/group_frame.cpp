// The group frame's painting: a line from the window's own text colour, so it shows under any theme.
#include "panel/group_frame.h"

#include <QPainter>

namespace qv7::panel {

GroupFrame::GroupFrame(const QString& title, QWidget* parent) : QWidget(parent), title_(title) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

QRect GroupFrame::frameRect() const {
    const int top = fontMetrics().height() / 2;
    return {0, top, width(), height() - top};
}

void GroupFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Themes disagree on Mid and Dark (some make them the window colour): a faded text colour always contrasts.
    QColor line = palette().color(QPalette::WindowText);
    line.setAlphaF(0.35f);
    painter.setPen(line);
    painter.drawRect(frameRect().adjusted(0, 0, -1, -1));

    const QFontMetrics fm = fontMetrics();
    const int indent = fm.averageCharWidth() * 3 / 2;
    const int gap = fm.averageCharWidth() / 2;
    const QString caption = fm.elidedText(title_, Qt::ElideRight, std::max(0, width() - 2 * (indent + gap)));
    const QRect text(indent + gap, 0, fm.horizontalAdvance(caption), fm.height());
    // The caption interrupts the line rather than being crossed by it.
    painter.fillRect(text.adjusted(-gap, 0, gap, 0), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, caption);
}

}  // namespace qv7::panel
