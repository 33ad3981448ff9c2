// CAboutDlg: the device's identity as it was when the box was opened.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <functional>
#include <string>

namespace qv7::panel {

class CAboutDlg : public QDialog {
public:
    // UTF-8 texts, in the order the window hands them over. `diagnostics` gives the text "复制诊断信息" puts on
    // the clipboard, asked for when the button is clicked so the trace is as fresh as the click.
    CAboutDlg(const std::string& hardware, const std::string& firmware, const std::string& serial,
              const std::string& name, const std::string& model, QWidget* parent = nullptr,
              std::function<std::string()> diagnostics = {});

    // The value label of control 1052..1056.
    QLabel* value(int id) const;
    QPushButton* copyDiagnosticsButton() const { return copy_; }

private:
    QLabel* values_[5] = {};
    QPushButton* copy_ = nullptr;
};

}  // namespace qv7::panel
