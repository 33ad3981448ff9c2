// Every text fits its control and no two controls lie over each other: the main window, its dialogs and its boxes,
// in Chinese and in English, at the scale the test's environment gives (ctest runs it at 100 % and at 150 %).
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextLayout>

#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "common/ini_file.h"
#include "panel/about_dialog.h"
#include "panel/control_table.h"
#include "panel/device_host.h"
#include "panel/group_frame.h"
#include "panel/main_window.h"
#include "panel/name_input.h"
#include "panel/para_replace.h"
#include "panel/qt_translations.h"
#include "panel/text_fit.h"
#include "panel/window_texts.h"
#include "sim/sim_transport.h"
#include "update/firmware_update.h"
#include "update/panel_check.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

// A button's text as drawn: mnemonic marks taken out, a doubled one kept as one.
QString shownButtonText(QString text) {
    text.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    text.remove(QLatin1Char('&'));
    return text.replace(QStringLiteral("\x01"), QStringLiteral("&"));
}

qreal widestLine(const QFontMetricsF& fm, const QString& text) {
    qreal widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) widest = std::max(widest, fm.horizontalAdvance(line));
    return widest;
}

// How many characters the last line of a label's wrapped text holds; 0 when it takes one line.
int lastLineChars(const QLabel& label, int width) {
    QTextLayout layout(label.text(), label.font(), const_cast<QLabel*>(&label));
    QTextOption option;
    option.setWrapMode(QTextOption::WordWrap);
    layout.setTextOption(option);
    int lines = 0;
    int last = 0;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        ++lines;
        last = static_cast<int>(label.text().mid(line.textStart(), line.textLength()).trimmed().size());
    }
    layout.endLayout();
    return lines > 1 ? last : 0;
}

std::string describe(const QWidget& w) {
    const QString name = w.objectName().isEmpty() ? QString() : QStringLiteral(" ") + w.objectName();
    QString text;
    if (auto* label = qobject_cast<const QLabel*>(&w)) text = label->text();
    else if (auto* button = qobject_cast<const QAbstractButton*>(&w)) text = button->text();
    else if (auto* frame = qobject_cast<const GroupFrame*>(&w)) text = frame->title();
    const QRect g = w.geometry();
    return QString::fromLatin1("%1%2 \"%3\" (%4,%5 %6x%7)")
        .arg(QString::fromLatin1(w.metaObject()->className()), name, text.left(40))
        .arg(g.x())
        .arg(g.y())
        .arg(g.width())
        .arg(g.height())
        .toStdString();
}

// What does not fit, as "where: what".
struct LayoutCheck {
    std::vector<std::string> faults;
    std::set<std::string> seen;

    // A fault is told once, where it was first seen: the window is walked in several states.
    void fault(const QString& where, const std::string& what) {
        if (seen.insert(what).second) faults.push_back(where.toStdString() + ": " + what);
    }

    // The text of `w` against the room its control gives it.
    void text(const QString& where, QWidget& w) {
        const QFontMetricsF fm(w.font(), &w);
        if (auto* frame = qobject_cast<GroupFrame*>(&w)) {
            // The caption breaks the frame line with a gap each side and stays inside both upright lines.
            const qreal need = fm.horizontalAdvance(frame->title()) + fm.averageCharWidth() + 2;
            if (need > w.width()) fault(where, describe(w) + " caption needs " + std::to_string(qRound(need)) + " px");
            return;
        }
        if (auto* label = qobject_cast<QLabel*>(&w)) {
            if (label->text().isEmpty() || label->textFormat() == Qt::RichText) return;
            const QRect room = label->contentsRect().marginsRemoved(
                QMargins(label->margin(), label->margin(), label->margin(), label->margin()));
            if (label->wordWrap()) {
                const QRect needed =
                    QFontMetrics(label->font(), label)
                        .boundingRect(room, static_cast<int>(label->alignment()) | Qt::TextWordWrap, label->text());
                if (needed.width() > room.width() || needed.height() > room.height())
                    fault(where, describe(w) + " wrapped text needs " + std::to_string(needed.width()) + "x" +
                                     std::to_string(needed.height()));
                const int last = lastLineChars(*label, room.width());
                if (last > 0 && last < 3)
                    fault(where,
                          describe(w) + " leaves " + std::to_string(last) + " characters alone on its last line");
                return;
            }
            const qreal width = widestLine(fm, label->text());
            const qreal height = fm.height() * static_cast<qreal>(label->text().count(QLatin1Char('\n')) + 1);
            if (width > room.width() || height > room.height() + 0.5)
                fault(where, describe(w) + " text needs " + std::to_string(qRound(width)) + "x" +
                                 std::to_string(qRound(height)));
            return;
        }
        auto* button = qobject_cast<QAbstractButton*>(&w);
        if (!button || button->text().isEmpty()) return;
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = button->text();
        QStyle::SubElement contents = QStyle::SE_PushButtonContents;
        if (qobject_cast<QCheckBox*>(button)) contents = QStyle::SE_CheckBoxContents;
        else if (qobject_cast<QRadioButton*>(button)) contents = QStyle::SE_RadioButtonContents;
        const QRect room = button->style()->subElementRect(contents, &option, button);
        const qreal width = widestLine(fm, shownButtonText(button->text()));
        if (width > room.width())
            fault(where, describe(w) + " text needs " + std::to_string(qRound(width)) + " px of " +
                             std::to_string(room.width()));
    }

    // Children of `parent` that lie over each other. A control drawn over another on purpose (a group's frame around
    // its controls, the percentage over its bar) takes no clicks and lies wholly inside or around the other.
    void siblings(const QString& where, QWidget& top, QWidget& parent) {
        std::vector<QWidget*> shown;
        for (QWidget* w : parent.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (!w->isWindow() && w->isVisibleTo(&top) && !w->geometry().isEmpty()) shown.push_back(w);
        for (std::size_t i = 0; i < shown.size(); ++i) {
            for (std::size_t j = i + 1; j < shown.size(); ++j) {
                QWidget* a = shown[i];
                QWidget* b = shown[j];
                if (!a->geometry().intersects(b->geometry())) continue;
                auto overlay = [](QWidget* over, QWidget* under) {
                    return over->testAttribute(Qt::WA_TransparentForMouseEvents) &&
                           (over->geometry().contains(under->geometry()) ||
                            under->geometry().contains(over->geometry()));
                };
                if (overlay(a, b) || overlay(b, a)) continue;
                fault(where, describe(*a) + " overlaps " + describe(*b));
            }
        }
    }

    // Every control of the window or dialog `top`.
    void window(const QString& where, QWidget& top) {
        top.ensurePolished();
        for (QWidget* w : top.findChildren<QWidget*>()) {
            if (w->isWindow() || !w->isVisibleTo(&top)) continue;
            // Parts of Qt's composite controls (a combo box's, a scroll area's) are laid out by Qt.
            const QWidget* p = w->parentWidget();
            bool composite = false;
            for (; p && p != &top; p = p->parentWidget())
                if (qobject_cast<const QComboBox*>(p) || qobject_cast<const QAbstractButton*>(p)) composite = true;
            if (!composite) text(where, *w);
        }
        siblings(where, top, top);
        for (auto* area : top.findChildren<QScrollArea*>())
            if (area->widget()) siblings(where, top, *area->widget());
    }
};

std::string report(const std::vector<std::string>& faults) {
    std::string out;
    for (const auto& line : faults) out += "\n  " + line;
    return out;
}

// Answers the window's modal dialogs in place: looks at each, then does what the test says with it.
struct Dialogs : DialogRunner {
    std::vector<std::function<int(QDialog&)>> script;
    int run(QDialog& dialog) override {
        dialog.show();
        if (script.empty()) {
            dialog.reject();
            return QDialog::Rejected;
        }
        auto next = std::move(script.front());
        script.erase(script.begin());
        return next(dialog);
    }
};

// The window on the simulator, in its own settings directory stamped for today so no panel check runs.
struct Window {
    Window() {
        qputenv("QV7_CONFIG_DIR", dir.path().toUtf8());
        WriteIniString(dir.filePath("TolkaPanel.ini").toStdString(), "Setting", "last_date", FormatToday());
        window = std::make_unique<CBrontalDlg>(
            std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(sim::defaultConfig())),
            [](std::string_view) {});
        window->presets().setDialogRunner(&dialogs);
    }
    ~Window() {
        closeBoxes();
        window->presets().setDialogRunner(nullptr);
        window.reset();
        qunsetenv("QV7_CONFIG_DIR");
    }
    bool ready() {
        return QTest::qWaitFor([&] { return window->control(kMonitorVolSliderId)->isEnabled(); }, kWaitMs);
    }
    QList<QMessageBox*> boxes() {
        QList<QMessageBox*> open;
        (void)QTest::qWaitFor(
            [&] {
                open.clear();
                for (auto* b : window->findChildren<QMessageBox*>())
                    if (b->isVisible()) open.push_back(b);
                return !open.empty();
            },
            kWaitMs);
        return open;
    }
    void closeBoxes() {
        for (auto* b : window->findChildren<QMessageBox*>()) delete b;
    }
    void checkBoxes(LayoutCheck& check, const QString& what) {
        const auto open = boxes();
        if (open.empty()) check.fault(what, "no box appeared");
        for (auto* b : open) check.window("box " + what, *b);
        closeBoxes();
    }

    QTemporaryDir dir;
    Dialogs dialogs;
    std::unique_ptr<CBrontalDlg> window;
};

// Sets a run-time text on a control of the window as the controller's mirror would.
void showText(CBrontalDlg& window, int id, std::string_view text) {
    QWidget* w = window.control(id);
    if (auto* label = qobject_cast<QLabel*>(w)) label->setText(windowText(text));
    if (auto* button = qobject_cast<QAbstractButton*>(w)) button->setText(windowText(text));
}

void walkEverything(LayoutCheck& check) {
    // The scale the environment asks for is the scale the test runs at.
    const double scale = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? qgetenv("QT_SCALE_FACTOR").toDouble() : 1.0;
    ASSERT_DOUBLE_EQ(qApp->devicePixelRatio(), scale);

    Window w;
    check.window(QStringLiteral("window at start"), *w.window);
    w.window->show();
    ASSERT_TRUE(w.ready());
    check.window(QStringLiteral("window with the device"), *w.window);

    // The texts the status line, the update button and its label take while the panel runs.
    const std::vector<std::pair<int, std::string>> runTime = {
        {kStatusLabelId, std::string(kStatusNoDevice)},
        {kStatusLabelId, std::string(kStatusNoAccess)},
        {kStatusLabelId, std::string(kStatusHeldElsewhere)},
        {kUpdateButtonId, kUpdateCaptionNoOffer},
        {kUpdateButtonId, kUpdateCaptionReady},
        {kUpdatePercentLabelId, kLabelOverSent},
        {kUpdatePercentLabelId, kLabelUpdateDone},
        {kUpdatePercentLabelId, StalledLabel(600)},
    };
    for (const auto& [id, text] : runTime) {
        showText(*w.window, id, text);
        check.window(QStringLiteral("window showing ") + QString::fromStdString(text), *w.window);
    }

    const DeviceIdentity id = w.window->controller().driver().identity();
    CAboutDlg about(id.HardwareVersion, id.FirmwareVersion, id.SerialNumber, id.Name, id.ModelIdentifier);
    check.window(QStringLiteral("About box"), about);
    // With its recording row, both ways the button reads.
    for (const bool recording : {false, true}) {
        RecordingControl control;
        control.active = [recording] { return recording; };
        control.path = [] { return std::string("/home/u/tolka-20261211-120000.rec"); };
        control.start = [](const std::string&) { return std::string(); };
        control.stop = [] {};
        control.askPath = [](const std::string&) { return std::string(); };
        CAboutDlg withRecording(id.HardwareVersion, id.FirmwareVersion, id.SerialNumber, id.Name, id.ModelIdentifier,
                                nullptr, {}, control);
        check.window(recording ? QStringLiteral("About box recording") : QStringLiteral("About box with a recording"),
                     withRecording);
    }

    // The name dialog, with its notice on a character no preset name can hold, then left empty: the library
    // refuses the empty name with a message.
    w.dialogs.script.push_back([&](QDialog& d) {
        check.window(QStringLiteral("name dialog"), d);
        auto& input = dynamic_cast<NameInput&>(d);
        QTest::sendKeyEvent(QTest::Click, input.edit(), Qt::Key_unknown, QStringLiteral("\U0001F600"), Qt::NoModifier);
        check.window(QStringLiteral("name dialog with its notice"), d);
        return static_cast<int>(QDialog::Accepted);
    });
    w.window->presetCommand(kSavePresetButtonId);
    w.checkBoxes(check, QStringLiteral("empty name"));

    w.dialogs.script.push_back([&](QDialog& d) {
        check.window(QStringLiteral("quick-key dialog"), d);
        return static_cast<int>(QDialog::Rejected);
    });
    w.window->replaceQuickKey(0);

    // Boxes: a device message, the firmware offer, the access advice, the panel's own offer.
    w.window->showMessage("收到的参数错误（3）(4)", "Error");
    w.checkBoxes(check, QStringLiteral("device message"));
    FirmwareUpdateGroup group;
    group.store({.image = std::vector<uint8_t>(64, 1),
                 .description = "fixes",
                 .softwareVersion = "1.2.0",
                 .hardwareVersion = "1.0"});
    w.window->askQuestion(group.UpdatePrompt("1.1.0"), kUpdatePromptCaption, [](bool) {});
    w.checkBoxes(check, QStringLiteral("firmware offer"));
    w.window->adviseAccess("/dev/hidraw3");
    w.checkBoxes(check, QStringLiteral("access advice"));
    PanelCheckContext context;
    context.iniPath = w.dir.filePath("offer.ini").toStdString();
    context.siteHost = "www.example.invalid";
    const auto offer =
        OnPanelVersionReply(R"({"status":"112304","softwareVersion":"2.0.1","filesize":4096,"urlPath":"x"})", context);
    ASSERT_TRUE(offer);
    w.window->askQuestion(offer->prompt, offer->caption, [](bool) {});
    w.checkBoxes(check, QStringLiteral("panel offer"));
}

// The quick-key dialog's sentence, at every width where a font leaves its last characters alone ("中。"): the lines
// share the text instead, in as many lines, and the label keeps its rectangle.
TEST(LayoutFitChinese, WrappedSentenceLeavesNoCharactersAloneOnItsLastLine) {
    const QString sentence =
        QStringLiteral("    请从常用参数列表中选择一项替换这个按键对应的参数，这组参数会保存在Tolka中。");
    QLabel probe(sentence);
    int strays = 0;
    for (int width = 200; width <= 400; ++width) {
        if (lastLineChars(probe, width) == 0 || lastLineChars(probe, width) >= 3) continue;
        ++strays;
        SCOPED_TRACE(width);
        QLabel label(sentence);
        label.setWordWrap(true);
        label.setGeometry(0, 0, width, 60);
        const int lines =
            QFontMetrics(label.font()).boundingRect(QRect(0, 0, width, 1000), Qt::TextWordWrap, sentence).height();
        balanceWrap(label);
        const int room = label.contentsRect().width();
        EXPECT_GE(lastLineChars(label, room), 3);
        EXPECT_EQ(QFontMetrics(label.font()).boundingRect(QRect(0, 0, room, 1000), Qt::TextWordWrap, sentence).height(),
                  lines);
        EXPECT_EQ(label.geometry(), QRect(0, 0, width, 60));
    }
    EXPECT_GT(strays, 0) << "no width leaves characters alone: the test tests nothing";
}

TEST(LayoutFitChinese, EveryTextFitsItsControlAndNoControlsOverlap) {
    // Qt's own buttons in Chinese where Debian's translations are installed; the window's texts are Chinese anyway.
    installTranslations(*qApp, QStringLiteral("zh"));
    LayoutCheck check;
    walkEverything(check);
    EXPECT_TRUE(check.faults.empty()) << "at scale " << qApp->devicePixelRatio() << ":" << report(check.faults);
}

TEST(LayoutFitEnglish, EveryTextFitsItsControlAndNoControlsOverlap) {
    ASSERT_TRUE(installTranslations(*qApp, QStringLiteral("en")));
    LayoutCheck check;
    walkEverything(check);
    EXPECT_TRUE(check.faults.empty()) << "at scale " << qApp->devicePixelRatio() << ":" << report(check.faults);
}

}  // namespace
}  // namespace qv7::panel
