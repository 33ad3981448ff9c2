// The pictures in docs/screens: the main window on the simulated Tolka, its About box, the name prompt of "保存效果"
// and the quick-key dialog, in the language given, at the scale of the environment (QT_SCALE_FACTOR). Run on a real
// X display (scripts/screenshots runs it under Xvfb), so the fonts and the pixels are a desktop's.
// usage: panel_screenshots zh|en DIRECTORY PREFIX
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <memory>

#include "common/gbk_text.h"
#include "common/ini_file.h"
#include "panel/about_dialog.h"
#include "panel/device_host.h"
#include "panel/dialog_runner.h"
#include "panel/main_window.h"
#include "panel/qt_translations.h"
#include "sim/sim_transport.h"
#include "update/panel_check.h"

namespace {

bool save(QWidget& w, const QString& file) {
    w.show();
    if (!QTest::qWaitForWindowExposed(&w, 10000)) return false;
    QTest::qWait(200);  // the first paint, and the window manager's, if any
    const bool ok = w.grab().save(file);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", qPrintable(file));
    return ok;
}

// Pictures each dialog the window runs, then closes it.
struct Snapshots : qv7::panel::DialogRunner {
    QString file;
    bool ok = true;
    int run(QDialog& dialog) override {
        ok = save(dialog, file) && ok;
        dialog.reject();
        return QDialog::Rejected;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 4) {
        std::fprintf(stderr, "usage: panel_screenshots zh|en DIRECTORY PREFIX\n");
        return 2;
    }
    const QString language = QString::fromLocal8Bit(argv[1]);
    const QDir out(QString::fromLocal8Bit(argv[2]));
    const QString prefix = QString::fromLocal8Bit(argv[3]);
    qv7::panel::installTranslations(app, language);

    QTemporaryDir config;
    qputenv("QV7_CONFIG_DIR", config.path().toUtf8());
    qv7::WriteIniString(config.filePath("TolkaPanel.ini").toStdString(), "Setting", "last_date", qv7::FormatToday());
    qv7::panel::CBrontalDlg window(
        std::make_unique<qv7::panel::SimProvider>(std::make_shared<qv7::sim::SimTransport>(qv7::sim::defaultConfig())),
        [](std::string_view) {});
    window.show();
    if (!QTest::qWaitFor([&] { return window.control(1000)->isEnabled(); }, 10000)) {
        std::fprintf(stderr, "panel_screenshots: the simulated Tolka did not answer\n");
        return 1;
    }
    bool ok = save(window, out.filePath(prefix + "-window.png"));

    const qv7::DeviceIdentity id = window.controller().driver().identity();
    auto text = [](const std::string& gbkText) { return qv7::gbk::toUtf8Display(gbkText); };
    qv7::panel::CAboutDlg about(text(id.HardwareVersion), text(id.FirmwareVersion), text(id.SerialNumber),
                                text(id.Name), text(id.ModelIdentifier), &window);
    ok = save(about, out.filePath(prefix + "-about.png")) && ok;
    about.hide();

    Snapshots dialogs;
    window.presets().setDialogRunner(&dialogs);
    dialogs.file = out.filePath(prefix + "-name.png");
    window.presetCommand(1030);  // "保存效果"
    dialogs.file = out.filePath(prefix + "-quick-key.png");
    window.replaceQuickKey(0);
    window.presets().setDialogRunner(nullptr);
    return ok && dialogs.ok ? 0 : 1;
}
