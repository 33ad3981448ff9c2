// The percentage drawn over the progress bar, readable over both its filled and its empty part.
#pragma once

#include <QLabel>
#include <QPointer>
#include <QProgressBar>

namespace qv7::panel {

// Over the filled part the text is black: every theme fills the bar with a light enough colour for it, and a
// theme's own text colour may be light. Over the empty part it takes the colour meant for text on the bar's base.
class BarLabel : public QLabel {
    Q_OBJECT
public:
    BarLabel(QProgressBar& bar, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Where the fill ends, in this label's coordinates.
    int fillEnd() const;

    QPointer<QProgressBar> bar_;
};

}  // namespace qv7::panel
