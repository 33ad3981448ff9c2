// CBrontalDlg: the panel's one window. Layout and wiring only; behaviour lives in PanelController.
#pragma once

#include <QMenu>
#include <QWidget>

#include <memory>
#include <string>

#include "panel/device_host.h"
#include "panel/panel_controller.h"
#include "panel/qt_step_timer.h"
#include "panel/widget_bindings.h"

namespace qv7::panel {

class Tray;

class CBrontalDlg : public QWidget, public PanelView {
public:
    // `trace` takes the diagnostic lines (standard output when empty).
    explicit CBrontalDlg(std::unique_ptr<DeviceProvider> provider, LineWriter trace = {}, QWidget* parent = nullptr);
    ~CBrontalDlg() override;

    PanelController& controller() { return controller_; }
    DeviceHost& host() { return host_; }
    QWidget* control(int id) const { return bindings_.widget(id); }
    int sliderPosition(int id) const { return bindings_.position(id); }
    const QtStepTimer& stepTimer() const { return timer_; }
    Tray* tray() const { return tray_; }

    // What a second start asks of the first copy.
    void bringForward();
    void showAbout();

    // PanelView
    void controlsChanged(const std::set<int>& ids) override;
    void showMessage(const std::string& text, const std::string& caption) override;
    void replaceQuickKey(int key) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    bool ours(QObject* watched) const;
    void hideToTray();

    QtStepTimer timer_;
    DeviceHost host_;
    PanelController controller_;
    WidgetBindings bindings_;
    Tray* tray_ = nullptr;
    QMenu contextMenu_;
};

}  // namespace qv7::panel
