// NameInput: asks for a preset's name, at most 10 bytes of GBK.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

#include <string>

namespace qv7::panel {

class NameInput : public QDialog {
public:
    explicit NameInput(QWidget* parent = nullptr);

    // The text entered, UTF-8.
    std::string name() const;

    QLineEdit* edit() const { return edit_; }
    // Says why the last edit was refused; empty while nothing was.
    QLabel* notice() const { return notice_; }
    QPushButton* okButton() const { return ok_; }
    QPushButton* cancelButton() const { return cancel_; }

private:
    void edited(const QString& text);
    void restore(const QString& text, int cursor);

    QLineEdit* edit_ = nullptr;
    QLabel* notice_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QString kept_;  // the last text that fitted
};

}  // namespace qv7::panel
