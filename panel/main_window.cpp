// The window's initialisation, its input filter and its hide-to-tray rules.
#include "panel/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QStandardPaths>
#include <QTimer>

#include "common/app_dir.h"
#include "common/gbk_text.h"
#include "hid/access_advice.h"
#include "panel/about_dialog.h"
#include "panel/app_icon.h"
#include "panel/autostart.h"
#include "panel/diagnostics.h"
#include "panel/qt_ui_post.h"
#include "panel/recording_provider.h"
#include "panel/screen_fit.h"
#include "panel/tray.h"
#include "panel/window_texts.h"

namespace qv7::panel {

namespace {

// The online checks initialise libcurl and its TLS libraries (2.5 MiB and several milliseconds on a start that
// otherwise takes about 60): nothing on the first frame needs them, and an answer a second later changes nothing.
constexpr int kOnlineChecksAfterMs = 1000;
constexpr std::size_t kDiagnosticsTraceLines = 200;
HttpOptions onlineCheckOptions(const TraceTail& tail, const LineWriter& onlineTrace) {
    HttpOptions options;
    options.diagnostics = tail.tee(onlineTrace ? onlineTrace : [](std::string_view) {});
    return options;
}

// A new file in the user's documents each time, named for when it was made, unless the user picks another.
std::string chooseRecordingFile(QWidget* parent, const std::string& last) {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!last.empty()) folder = QFileInfo(QString::fromStdString(last)).absolutePath();
    const QString name =
        QStringLiteral("tolka-%1.rec").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss")));
    QFileDialog dialog(parent, QCoreApplication::translate("CAboutDlg", "录制设备通信…"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDirectory(folder);
    dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front().toStdString();
}

PanelCheckContext panelCheckContext(const TraceTail& tail, const LineWriter& onlineTrace) {
    PanelCheckContext context;
    context.http = onlineCheckOptions(tail, onlineTrace);
    return context;
}

}  // namespace

CBrontalDlg::CBrontalDlg(std::unique_ptr<DeviceProvider> provider, const LineWriter& trace, QWidget* parent,
                         const LineWriter& onlineTrace)
    : QWidget(parent, Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      traceTail_(kDiagnosticsTraceLines), driverMessages_(this), notices_(this),
      timer_([this] { controller_.onTimer(); }), host_(std::move(provider)),
      controller_(timer_, host_, *this, traceTail_.tee(trace)), bindings_(*this, controller_),
      presets_(*this, controller_, notices_, GetAppDirFile("para.bin"), traceTail_.tee(trace)),
      firmwareCheck_(
          queuedOn(this), [this](const FirmwareOffer& offer) { controller_.onFirmwareOffer(offer); }, {},
          onlineCheckOptions(traceTail_, onlineTrace)),
      panelCheck_(
          queuedOn(this),
          [this](const std::string& text, const std::string& caption, std::function<void(bool)> answer) {
              askQuestion(text, caption, std::move(answer));
          },
          *this, panelCheckContext(traceTail_, onlineTrace)) {
    panelCheck_.hold();
    firmwareCheck_.hold();
    QString title = windowText(kWindowTitle);
    // Nobody should take a simulated or socket device for the hardware.
    if (host_.provider().simulated())
        title += QStringLiteral(" (%1)").arg(QString::fromStdString(host_.provider().describe()));
    setWindowTitle(title);
    setWindowIcon(appIcon());
    const DialogUnits units(fontMetrics());

    contextMenu_.addAction(windowText(kAboutMenuText), this, [this] { showAbout(); });
    presetMenu_.addAction(windowText(kExportPresetMenuText), this, [this] { presets_.exportSelected(); });
    presetMenu_.addAction(windowText(kImportPresetMenuText), this, [this] { presets_.importFile(); });
    tray_ = new Tray(
        QCoreApplication::applicationName(), [this] { bringForward(); }, [this] { showAbout(); },
        [] { QCoreApplication::quit(); }, this);
    tray_->offerAutostart(autostartFile(), [this](const std::string& error) {
        notices_.showMessage(
            QCoreApplication::translate(kMessagesContext, "无法更改开机启动：").toStdString() + "\n" + error,
            std::string(kTrayAutostart));
    });
    // A window hidden in a tray that goes away would be out of reach: it comes back instead.
    tray_->followDesktop([this](bool usable) {
        if (!usable && isHidden()) bringForward();
    });
    qApp->installEventFilter(this);

    bindings_.build(units);
    new ScreenFit(*this, *bindings_.surface());
    host_.attach(controller_);
    // The library is filled before the controls are first filled, so combo 1064 starts complete.
    controller_.initialise(presets_.initialise());
    panelCheck_.startIfDue();
    QTimer::singleShot(kOnlineChecksAfterMs, this, [this] {
        panelCheck_.release();
        firmwareCheck_.release();
    });
}

CBrontalDlg::~CBrontalDlg() {
    qApp->removeEventFilter(this);
    timer_.stop();
    host_.close();
}

void CBrontalDlg::controlsChanged(const std::set<int>& ids) { bindings_.mirror(ids); }

void CBrontalDlg::replaceQuickKey(int key) { presets_.replaceQuickKey(key); }

void CBrontalDlg::showAbout() {
    const DeviceIdentity id = controller_.driver().identity();
    auto text = [](const std::string& gbkText) { return gbk::toUtf8Display(gbkText); };
    RecordingControl recording;
    if (auto* recorder = dynamic_cast<RecordingProvider*>(&host_.provider())) {
        recording.active = [recorder] { return recorder->recording(); };
        recording.path = [recorder] { return recorder->recorder()->path(); };
        recording.start = [recorder](const std::string& file) { return recorder->startRecording(file); };
        recording.stop = [recorder] { recorder->stopRecording(); };
        recording.askPath = [this](const std::string& last) {
            return askRecordingPath ? askRecordingPath(last) : chooseRecordingFile(this, last);
        };
    }
    CAboutDlg about(
        text(id.HardwareVersion), text(id.FirmwareVersion), text(id.SerialNumber), text(id.Name),
        text(id.ModelIdentifier), isVisible() ? this : nullptr, [this] { return diagnostics(); }, std::move(recording));
    about.setWindowIcon(appIcon());
    about.exec();
}

std::string CBrontalDlg::diagnostics() const {
    DiagnosticsFacts facts = runningPanelFacts();
    if (controller_.deviceOpen())
        facts.identity = identityFields(controller_.driver(), controller_.deviceDescription());
    facts.trace = traceTail_.lines();
    if (const auto* recorder = dynamic_cast<const RecordingProvider*>(&host_.provider()))
        facts.recording = recorder->describeRecording();
    return diagnosticsText(facts);
}

void CBrontalDlg::adviseAccess(const std::string& path) {
    auto qs = [](std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); };
    // The commands and the rule's place are qv7ctl's words too, so both programs give the same fix.
    const QString text =
        QCoreApplication::translate(kMessagesContext, "在 %1 找到了Vexlor声卡，但当前用户没有权限打开它。\n\n"
                                                      "请安装 udev 规则 %2（“%3” 可打印规则内容），然后运行：\n\n%4\n\n"
                                                      "再把声卡重新插上。")
            .arg(QString::fromStdString(path), qs(hid::udevRulePath()), qs(hid::kPrintRuleCommand),
                 qs(hid::kReloadRulesCommand));
    notices_.showMessage(text.toStdString(), "没有访问权限");
}

void CBrontalDlg::bringForward() {
    showNormal();
    raise();
    activateWindow();
}

bool CBrontalDlg::ours(QObject* watched) const {
    auto* w = qobject_cast<QWidget*>(watched);
    return w && w->window() == this;
}

bool CBrontalDlg::eventFilter(QObject* watched, QEvent* event) {
    if (!ours(watched)) return false;
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        return key == Qt::Key_Escape || key == Qt::Key_Return || key == Qt::Key_Enter;
    }
    if (event->type() == QEvent::MouseButtonPress && static_cast<QMouseEvent*>(event)->button() == Qt::RightButton) {
        const QPoint at = static_cast<QMouseEvent*>(event)->globalPosition().toPoint();
        for (int id : kQuickKeyButtons) {
            QWidget* button = bindings_.widget(id);
            if (button && QRect(button->mapToGlobal(QPoint(0, 0)), button->size()).contains(at)) {
                // A quick key answers a right click with its replacement dialog or, while disabled, with
                // nothing at all: never with the window's menu.
                if (button->isEnabled()) controller_.onQuickKeyRightClick(id);
                return true;
            }
        }
        // The preset list and its buttons answer with the presets' menu, greyed or not: a file can be
        // exported or imported without a device.
        for (int id : {kPresetComboId, kSavePresetButtonId, kDeletePresetButtonId, kApplyPresetButtonId}) {
            QWidget* w = bindings_.widget(id);
            if (w && w->isVisible() && QRect(w->mapToGlobal(QPoint(0, 0)), w->size()).contains(at)) {
                QTimer::singleShot(0, this, [this, at] { presetMenu_.popup(at); });
                return true;
            }
        }
        // Linux window managers own the system menu, so the About item lives here and in the tray menu.
        QTimer::singleShot(0, this, [this, at] { contextMenu_.popup(at); });
        return true;
    }
    if (event->type() == QEvent::ContextMenu) return true;
    return false;
}

void CBrontalDlg::hideToTray() {
    tray_->show();
    hide();
}

void CBrontalDlg::closeEvent(QCloseEvent* event) {
    // Without a tray a hidden window could never come back: closing then ends the program.
    if (!tray_->usable()) {
        event->accept();
        QCoreApplication::quit();
        return;
    }
    event->ignore();
    hideToTray();
}

void CBrontalDlg::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Without a tray the window minimises as any other.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && tray_->usable()) {
        QTimer::singleShot(0, this, [this] {
            if (!tray_->usable()) return;
            setWindowState(windowState() & ~Qt::WindowMinimized);
            hideToTray();
        });
    }
}

}  // namespace qv7::panel
