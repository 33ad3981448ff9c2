// A group box drawn the way the dialog-unit layout means it: the rectangle is the frame, its caption sits on the top
// line.
#pragma once

#include <QString>
#include <QWidget>

namespace qv7::panel {

// QGroupBox puts its frame below a caption that takes its own row, which pushes the frame line onto the controls
// the layout places a few units under the rectangle's top. This frame stays where the layout puts it.
class GroupFrame : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QRect frameRect READ frameRect)
public:
    GroupFrame(const QString& title, QWidget* parent);
    QString title() const { return title_; }
    // The frame line in this widget's coordinates: its top runs through the middle of the caption.
    QRect frameRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString title_;
};

}  // namespace qv7::panel
