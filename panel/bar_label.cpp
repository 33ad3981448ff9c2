// The percentage over the bar: the text drawn twice, each copy clipped to its side of the fill's end.
#include "panel/bar_label.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionProgressBar>

namespace qv7::panel {

BarLabel::BarLabel(QProgressBar& bar, QWidget* parent) : QLabel(parent), bar_(&bar) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    connect(&bar, &QProgressBar::valueChanged, this, qOverload<>(&QWidget::update));
}

int BarLabel::fillEnd() const {
    if (!bar_) return 0;
    QStyleOptionProgressBar opt;
    opt.initFrom(bar_);
    opt.minimum = bar_->minimum();
    opt.maximum = bar_->maximum();
    opt.progress = bar_->value();
    const QRect contents = bar_->style()->subElementRect(QStyle::SE_ProgressBarContents, &opt, bar_);
    const qint64 span = std::max(1, opt.maximum - opt.minimum);
    const qint64 done = std::clamp(opt.progress - opt.minimum, 0, opt.maximum - opt.minimum);
    const int end = contents.left() + static_cast<int>(contents.width() * done / span);
    // The bar is a sibling, made on the same parent.
    return bar_->x() + end - x();
}

void BarLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int split = std::clamp(fillEnd(), 0, width());
    const QRect filled(0, 0, split, height());
    const QRect empty(split, 0, width() - split, height());
    const QPalette::ColorGroup group = isEnabled() ? QPalette::Active : QPalette::Disabled;
    const auto draw = [&](const QRect& clip, const QColor& colour) {
        if (clip.isEmpty()) return;
        painter.save();
        painter.setClipRect(clip);
        painter.setPen(colour);
        painter.drawText(contentsRect(), static_cast<int>(alignment()), text());
        painter.restore();
    };
    draw(filled, palette().color(group, QPalette::WindowText));
    draw(empty, palette().color(group, QPalette::Text));
}

}  // namespace qv7::panel
