// CAboutDlg: the device's identity as it was when the box was opened.
#pragma once

#include <QDialog>
#include <QLabel>

#include <string>

namespace qv7::panel {

class CAboutDlg : public QDialog {
public:
    // UTF-8 texts, in the order the window hands them over.
    CAboutDlg(const std::string& hardware, const std::string& firmware, const std::string& serial,
              const std::string& name, const std::string& model, QWidget* parent = nullptr);

    // The value label of control 1052..1056.
    QLabel* value(int id) const;

private:
    QLabel* values_[5] = {};
};

}  // namespace qv7::panel
