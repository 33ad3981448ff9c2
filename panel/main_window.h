// CBrontalDlg: the panel's one window. Layout and wiring only; behaviour lives in PanelController.
#pragma once

#include <QMenu>
#include <QWidget>

#include <memory>
#include <string>

#include "common/trace_tail.h"
#include "panel/device_host.h"
#include "panel/panel_controller.h"
#include "panel/preset_view.h"
#include "panel/qt_step_timer.h"
#include "panel/single_message_box.h"
#include "panel/update_checks.h"
#include "panel/widget_bindings.h"

namespace qv7::panel {

class Tray;

class CBrontalDlg : public QWidget, public PanelView, public UrlOpener {
public:
    // `trace` takes the diagnostic lines (standard output when empty). The online checks' libcurl lines
    // ("dwError = N") are kept for the diagnostics text and passed to `onlineTrace` only when it is set: the
    // checks fail silently, and an offline machine should not fill the terminal with them.
    explicit CBrontalDlg(std::unique_ptr<DeviceProvider> provider, const LineWriter& trace = {},
                         QWidget* parent = nullptr, const LineWriter& onlineTrace = {});
    ~CBrontalDlg() override;

    PanelController& controller() { return controller_; }
    DeviceHost& host() { return host_; }
    QWidget* control(int id) const { return bindings_.widget(id); }
    int sliderPosition(int id) const { return bindings_.position(id); }
    const QtStepTimer& stepTimer() const { return timer_; }
    Tray* tray() const { return tray_; }
    PresetView& presets() { return presets_; }
    QMenu& presetMenu() { return presetMenu_; }
    // The right-click menu (its About item).
    QMenu& contextMenu() { return contextMenu_; }

    // What a second start asks of the first copy.
    void bringForward();
    void showAbout();
    // Where the About box's "录制设备通信…" writes, given a default; empty when the user cancels. A file dialog
    // unless a test puts its own answer here.
    std::function<std::string(const std::string&)> askRecordingPath;
    // The text "复制诊断信息" copies: versions, system, settings folder, the Tolka and the trace's last lines.
    std::string diagnostics() const;
    // The window leaves the screen and the tray icon shows; only while a tray is usable.
    void hideToTray();

    // PanelView
    void controlsChanged(const std::set<int>& ids) override;
    void showMessage(const std::string& text, const std::string& caption) override {
        driverMessages_.showMessage(text, caption);
    }
    void replaceQuickKey(int key) override;
    void startFirmwareCheck() override;
    void cancelFirmwareCheck() override;
    void askQuestion(const std::string& text, const std::string& caption, std::function<void(bool)> answer) override;
    // UrlOpener: the user's browser.
    void openUrl(const std::string& address) override;

    const FirmwareCheckSlot& firmwareCheck() const { return firmwareCheck_; }
    const PanelCheckSlot& panelCheck() const { return panelCheck_; }
    void presetCommand(int id) override { presets_.command(id); }
    void presetSelected(int index) override { presets_.selected(index); }
    void adviseAccess(const std::string& path) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool ours(QObject* watched) const;

    // The driver's messages, and the preset library's notices, each one box at a time.
    TraceTail traceTail_;  // before everything that traces
    SingleMessageBox driverMessages_;
    SingleMessageBox notices_;
    QtStepTimer timer_;
    DeviceHost host_;
    PanelController controller_;
    WidgetBindings bindings_;
    PresetView presets_;
    Tray* tray_ = nullptr;
    QMenu contextMenu_;
    QMenu presetMenu_;  // over the controls of group "常用效果"
    // Last, so both are joined before anything their results reach goes away.
    FirmwareCheckSlot firmwareCheck_;
    PanelCheckSlot panelCheck_;
};

}  // namespace qv7::panel
