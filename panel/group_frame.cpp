// The group frame's painting: a line from the window's own text colour, so it shows under any theme.
#include "panel/group_frame.h"

#include <QPainter>

#include <algorithm>

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
    painter.setPen(QPen(line, 1));
    // Half a pixel in, so the line stays inside the widget at fractional scale factors too.
    painter.drawRect(QRectF(frameRect()).adjusted(0.5, 0.5, -0.5, -0.5));

    const QFontMetrics fm = fontMetrics();
    const int gap = fm.averageCharWidth() / 2;
    const int width = fm.horizontalAdvance(title_);
    // Indented as usual, centred on a group too narrow for that; what still does not fit is cut at the edge.
    const int left = std::max(0, std::min(fm.averageCharWidth() * 2, (this->width() - width) / 2));
    const QRect text(left, 0, width, fm.height());
    // The caption interrupts the line rather than being crossed by it.
    painter.fillRect(text.adjusted(-gap, 0, gap, 0), palette().color(QPalette::Window));
    painter.setPen(palette().color(QPalette::WindowText));
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, title_);
}

}  // namespace qv7::panel
