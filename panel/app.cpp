// CBrontalApp and main: options, the single-instance rule, the device choice, then the window until "关闭".
#include <QApplication>
#include <QEvent>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "device/device_name.h"
#include "panel/control_table.h"
#include "panel/device_host.h"
#include "panel/forwarded_commands.h"
#include "panel/hid_provider.h"
#include "panel/instance_claim.h"
#include "panel/main_window.h"
#include "panel/panel_options.h"
#include "panel/process_guards.h"
#include "panel/qt_translations.h"
#include "panel/recording_provider.h"
#include "panel/single_instance.h"
#include "panel/tray.h"
#include "sim/sim_transport.h"

namespace qv7::panel {

class CBrontalApp : public QApplication {
public:
    CBrontalApp(int& argc, char** argv, const std::string& name) : QApplication(argc, argv) {
        setApplicationName(QString::fromStdString(name));
        setApplicationVersion(QStringLiteral(QV7_VERSION));
        setQuitOnLastWindowClosed(false);
        installTranslations(*this, systemWindowLanguage());
    }
    int run(const PanelOptions& options, InstanceClaim claim);
};

namespace {

std::unique_ptr<DeviceProvider> simulated(const std::string& firmware) {
    auto config = sim::defaultConfig();
    if (!firmware.empty()) config.firmwareVersion = firmware;
    return std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(config));
}

// `device` as parsePanelOptions leaves it.
std::unique_ptr<DeviceProvider> providerFor(const std::string& device) {
    std::string unused;
    const auto name = parseDeviceName(device, unused);
    if (name && name->kind == DeviceName::Kind::Simulated) return simulated(name->argument);
    if (name && name->kind == DeviceName::Kind::Socket) return std::make_unique<SocketProvider>(name->argument);
    return std::make_unique<HidProvider>();
}

}  // namespace

// Saves the window once it shows the device's settings (for the README), then ends the program.
// The settings are in place when the monitor volume comes on; the save waits for the rest of that update.
class ScreenshotWhenReady : public QObject {
public:
    ScreenshotWhenReady(CBrontalDlg& window, QString file) : QObject(&window), window_(window), file_(std::move(file)) {
        QWidget* volume = window.control(kMonitorVolSliderId);
        if (volume) volume->installEventFilter(this);
        if (window.controller().enabled(kMonitorVolSliderId)) QTimer::singleShot(0, this, [this] { save(); });
        // A device that never answers still gets its window saved.
        QTimer::singleShot(kGiveUpMs, this, [this] { save(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::EnabledChange && window_.controller().enabled(kMonitorVolSliderId))
            QTimer::singleShot(0, this, [this] { save(); });
        return QObject::eventFilter(watched, event);
    }

private:
    static constexpr int kGiveUpMs = 5000;

    void save() {
        if (saved_) return;
        saved_ = true;
        const bool ok = window_.grab().save(file_);
        std::fprintf(stderr, "qv7-panel: %s %s\n", ok ? "saved" : "could not save", file_.toLocal8Bit().constData());
        QCoreApplication::exit(ok ? 0 : 1);
    }

    CBrontalDlg& window_;
    const QString file_;
    bool saved_ = false;
};

int CBrontalApp::run(const PanelOptions& options, InstanceClaim claim) {
    auto provider = providerFor(options.device);
    // Every device source can be recorded: from the start with --record, or later from the About box.
    auto recorder = std::make_shared<ReportRecorder>();
    if (!options.record.empty()) {
        std::string error;
        if (!recorder->open({options.record, std::string("qv7-panel ") + QV7_VERSION, options.recordRaw,
                             ReportRecorder::kDefaultLimitBytes},
                            error)) {
            std::fprintf(stderr, "qv7-panel: %s\n", error.c_str());
            return 1;
        }
        std::fprintf(stderr, "qv7-panel: recording the device's reports to %s\n", options.record.c_str());
    }
    provider = std::make_unique<RecordingProvider>(std::move(provider), std::move(recorder));
    // Written into the device's lock, so qv7ctl finds where to hand its commands; the socket already listens.
    if (claim.outcome() == InstanceClaim::Outcome::Claimed) provider->handoverSocket = claim.socketPath();
    if (provider->simulated()) std::fprintf(stderr, "qv7-panel: running on %s\n", provider->describe().c_str());
    CBrontalDlg window(std::move(provider), {}, nullptr, options.trace ? LineWriter(writeLineToStdout) : LineWriter());
    // Declared before the instance that uses it, so it outlives it.
    ForwardedPresets forwardedPresets(window.presets().library(),
                                      [&window](std::string* into) { window.presets().divertMessages(into); });
    std::unique_ptr<SingleInstance> instance;
    if (claim.outcome() == InstanceClaim::Outcome::Claimed)
        instance = std::make_unique<SingleInstance>(
            std::move(claim),
            [&window] {
                std::fputs("qv7-panel: brought forward by a later start\n", stderr);
                window.bringForward();
            },
            // Into the window's trace, so "复制诊断信息" carries it too.
            [&window](std::string_view line) { window.controller().traceReaderLine(line); });
    if (instance) {
        auto commands = std::make_unique<ForwardedCommands>(
            window.controller(),
            [&window](const std::string& nameOrIndex) {
                // The preset named as the file has it now, should another program have changed it.
                window.presets().reloadChangedFile();
                return findPreset(window.presets().library(), nameOrIndex);
            },
            &forwardedPresets);
        commands->setStoreKey([&window](int key, int preset) {
            PresetView& presets = window.presets();
            return presets.storeQuickKey(key, presets.library().entry(preset));
        });
        instance->carryOut(std::move(commands));
    }
    // Started with the session: the tray holds the panel until the user asks for it. Without a tray the
    // window is the only way to it, so it shows.
    if (options.minimized && window.tray()->usable()) {
        window.hideToTray();
        std::fputs("qv7-panel: started hidden in the tray\n", stderr);
    } else {
        window.show();
    }
    if (!options.screenshot.empty())
        new ScreenshotWhenReady(window, QString::fromLocal8Bit(options.screenshot.c_str()));
    return exec();
}

// Everything a start decides before the window system is touched: --help and --version need no display, and
// the name is claimed before the window or the device exist, so starts close together cannot both stay.
int start(int argc, char** argv) {
    const PanelOptions options = parsePanelOptions({argv + 1, argv + argc});
    switch (options.action) {
    case PanelOptions::Action::Help:
        std::fputs(panelUsage(), stdout);
        return 0;
    case PanelOptions::Action::Version:
        std::printf("qv7-panel %s\n", QV7_VERSION);
        return 0;
    case PanelOptions::Action::Refuse:
        std::fprintf(stderr, "qv7-panel: %s\n", options.error.c_str());
        std::fputs(panelUsage(), stderr);
        return 2;
    case PanelOptions::Action::Run:
        break;
    }
    // The executable's name names the single-instance socket and the tray tip.
    const std::string name = std::filesystem::path(argv[0]).stem().string();
    InstanceClaim claim;
    // A screenshot run is a one-off beside whatever panel runs: it neither asks nor answers.
    if (options.screenshot.empty()) {
        claim = InstanceClaim::take(name);
        switch (claim.outcome()) {
        case InstanceClaim::Outcome::Forwarded:
            return 0;
        case InstanceClaim::Outcome::NoAnswer:
            std::fprintf(stderr, "qv7-panel: the copy already running (%s) does not answer\n",
                         claim.socketPath().c_str());
            return 1;
        case InstanceClaim::Outcome::NoPlace:
            std::fprintf(stderr, "qv7-panel: %s; a second start will not find this one\n", claim.detail().c_str());
            break;
        case InstanceClaim::Outcome::Claimed:
            break;
        }
    }
    CBrontalApp app(argc, argv, name);
    return app.run(options, std::move(claim));
}

}  // namespace qv7::panel

int main(int argc, char** argv) {
    // Before anything opens a file or writes a line.
    qv7::panel::reopenClosedStandardStreams();
    qv7::panel::surviveBrokenPipes();
    return qv7::panel::start(argc, argv);
}
