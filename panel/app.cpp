// CBrontalApp and main: options, the single-instance rule, the device choice, then the window until "关闭".
#include <QApplication>
#include <QFileInfo>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "panel/device_host.h"
#include "panel/hid_provider.h"
#include "panel/main_window.h"
#include "panel/qt_translations.h"
#include "panel/single_instance.h"
#include "sim/sim_transport.h"

namespace qv7::panel {

class CBrontalApp : public QApplication {
public:
    CBrontalApp(int& argc, char** argv) : QApplication(argc, argv) {
        // The application name is the executable's name: it names the single-instance socket and the tray tip.
        setApplicationName(QFileInfo(QString::fromLocal8Bit(argv[0])).completeBaseName());
        setQuitOnLastWindowClosed(false);
        installQtTranslations(*this);
    }
    int run(int argc, char** argv);
};

namespace {

void usage() {
    std::puts("usage: qv7-panel [--simulate[=FIRMWARE]] [--device hid|sim|sim:FIRMWARE|unix:PATH] [--screenshot=FILE]\n"
              "  (default)           the Tolka on USB (hidraw), found and followed as it is plugged in and out\n"
              "  --simulate          use the in-process simulated Tolka (firmware 1.0.7 unless given)\n"
              "  --device unix:PATH  use a device on a local socket (qv7-sim --listen PATH)\n"
              "  --screenshot=FILE   once the device has reported its settings, save the window as FILE and exit");
}

std::unique_ptr<DeviceProvider> simulated(const std::string& firmware) {
    auto config = sim::defaultConfig();
    if (!firmware.empty()) config.firmwareVersion = firmware;
    return std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(config));
}

// Null with a message for an option it does not know.
std::unique_ptr<DeviceProvider> providerFor(int argc, char** argv, bool& ok) {
    ok = true;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        std::string device;
        if (arg.rfind("--screenshot=", 0) == 0) continue;
        if (arg == "--simulate") return simulated("");
        if (arg.rfind("--simulate=", 0) == 0) return simulated(arg.substr(11));
        if (arg == "--device" && i + 1 < argc) device = argv[++i];
        else if (arg.rfind("--device=", 0) == 0) device = arg.substr(9);
        else if (arg == "--help" || arg == "-h") {
            usage();
            ok = false;
            return nullptr;
        } else {
            std::fprintf(stderr, "qv7-panel: unknown option '%s'\n", arg.c_str());
            usage();
            ok = false;
            return nullptr;
        }
        if (device == "sim") return simulated("");
        if (device.rfind("sim:", 0) == 0) return simulated(device.substr(4));
        if (device.rfind("unix:", 0) == 0) return std::make_unique<SocketProvider>(device.substr(5));
        if (device == "hid") return std::make_unique<HidProvider>();
        std::fprintf(stderr, "qv7-panel: device '%s' is not 'hid', 'sim', 'sim:FIRMWARE' or 'unix:PATH'\n", device.c_str());
        ok = false;
        return nullptr;
    }
    return std::make_unique<HidProvider>();
}

}  // namespace

// Saves the window once it shows the device's settings (for the README), then ends the program.
void screenshotWhenReady(CBrontalDlg& window, const QString& file) {
    auto* poll = new QTimer(&window);
    auto tries = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, &window, [&window, file, poll, tries] {
        if (!window.controller().enabled(1000) && ++*tries < 100) return;
        poll->stop();
        const bool saved = window.grab().save(file);
        std::fprintf(stderr, "qv7-panel: %s %s\n", saved ? "saved" : "could not save", file.toLocal8Bit().constData());
        QCoreApplication::exit(saved ? 0 : 1);
    });
    poll->start(50);
}

int CBrontalApp::run(int argc, char** argv) {
    QString screenshot;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], "--screenshot=", 13) == 0) screenshot = QString::fromLocal8Bit(argv[i] + 13);
    SingleInstance instance(applicationName());
    if (screenshot.isEmpty() && instance.forwardToRunning()) return 0;
    bool ok = false;
    auto provider = providerFor(argc, argv, ok);
    if (!ok) return 2;
    if (provider->simulated()) std::fprintf(stderr, "qv7-panel: running on %s\n", provider->describe().c_str());
    CBrontalDlg window(std::move(provider));
    if (screenshot.isEmpty()) instance.listen([&window] { window.bringForward(); });
    window.show();
    if (!screenshot.isEmpty()) screenshotWhenReady(window, screenshot);
    return exec();
}

}  // namespace qv7::panel

int main(int argc, char** argv) {
    qv7::panel::CBrontalApp app(argc, argv);
    return app.run(argc, argv);
}
