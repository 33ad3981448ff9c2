// CAboutDlg: the device's identity as it was when the box was opened.
#pragma once

#include <QDialog>
#include <QLabel>
#include <QPushButton>

#include <functional>
#include <string>

namespace qv7::panel {

// "录制设备通信…": what the box needs of the window's recorder. Without `start` the box has no such button.
struct RecordingControl {
    std::function<bool()> active;
    std::function<std::string()> path;                     // the file of the last or current recording
    std::function<std::string(const std::string&)> start;  // empty when it started, else why not
    std::function<void()> stop;
    std::function<std::string(const std::string&)> askPath;  // the user's choice given a default; empty: cancelled
};

class CAboutDlg : public QDialog {
public:
    // UTF-8 texts, in the order the window hands them over. `diagnostics` gives the text "复制诊断信息" puts on
    // the clipboard, asked for when the button is clicked so the trace is as fresh as the click.
    CAboutDlg(const std::string& hardware, const std::string& firmware, const std::string& serial,
              const std::string& name, const std::string& model, QWidget* parent = nullptr,
              std::function<std::string()> diagnostics = {}, RecordingControl recording = {});

    // The value label of control 1052..1056.
    QLabel* value(int id) const;
    QPushButton* copyDiagnosticsButton() const { return copy_; }
    QPushButton* recordButton() const { return record_; }
    QLabel* recordingNote() const { return recordingNote_; }

private:
    void showRecording();

    RecordingControl recording_;
    QPushButton* record_ = nullptr;
    QLabel* recordingNote_ = nullptr;
    QLabel* values_[5] = {};
    QPushButton* copy_ = nullptr;
};

}  // namespace qv7::panel
