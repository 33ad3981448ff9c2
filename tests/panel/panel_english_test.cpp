// The window in English: which language the desktop's list chooses, and every text the window, its menus, its
// dialogs and its message boxes show, walked with the English translation installed. Names that are data (the
// presets, the device's quick keys and identity) stay as they are and are left out of the walk.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
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
#include "panel/tray.h"
#include "panel/window_texts.h"
#include "params/builtin_presets.h"
#include "params/preset_file.h"
#include "sim/sim_transport.h"
#include "update/firmware_update.h"
#include "update/panel_check.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

TEST(WindowLanguage, ChineseForChineseListsEnglishForEveryOther) {
    struct Case {
        QStringList uiLanguages;
        const char* language;
    };
    const std::vector<Case> cases = {
        {{"zh-CN", "zh-Hans-CN", "zh"}, "zh"},
        {{"zh_CN.UTF-8"}, "zh"},
        {{"zh-TW", "zh-Hant-TW", "zh"}, "zh"},
        {{"zh"}, "zh"},
        {{"en-US", "en"}, "en"},
        {{"de-DE", "de"}, "en"},
        {{"C"}, "en"},
        {{"POSIX"}, "en"},
        {{}, "en"},
        {{""}, "en"},
        // LANGUAGE lists what to fall back to: the first language the panel has wins.
        {{"fr-FR", "zh-CN"}, "zh"},
        {{"de-DE", "en-GB", "zh-CN"}, "en"},
        {{"en-US", "zh-CN"}, "en"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.uiLanguages.join(QLatin1Char(':')).toStdString());
        EXPECT_EQ(windowLanguage(c.uiLanguages), QLatin1String(c.language));
    }
}

// Han characters and the full-width punctuation that comes with them.
bool chinese(const QString& text) {
    static const QRegularExpression cjk(QStringLiteral("[\\x{3000}-\\x{303F}\\x{3400}-\\x{9FFF}\\x{F900}-\\x{FAFF}"
                                                       "\\x{FF00}-\\x{FFEF}]"));
    return cjk.match(text).hasMatch();
}

// Every text still in Chinese, as "where: text".
struct Walk {
    void check(const QString& where, const QString& text) {
        if (chinese(text)) left.push_back(where.toStdString() + ": " + text.toStdString());
    }
    void widgets(const QString& where, const QWidget& top, const std::vector<const QWidget*>& data = {}) {
        check(where + " title", top.windowTitle());
        std::vector<const QWidget*> all{&top};
        for (const QWidget* w : top.findChildren<QWidget*>()) all.push_back(w);
        for (const QWidget* w : all) {
            if (std::find(data.begin(), data.end(), w) != data.end()) continue;
            const QString name =
                where + " " + QString::fromLatin1(w->metaObject()->className()) + " " + w->objectName();
            check(name + " tool tip", w->toolTip());
            if (auto* label = qobject_cast<const QLabel*>(w)) check(name, label->text());
            if (auto* button = qobject_cast<const QAbstractButton*>(w)) check(name, button->text());
            if (auto* frame = qobject_cast<const GroupFrame*>(w)) check(name, frame->title());
            if (auto* edit = qobject_cast<const QLineEdit*>(w)) check(name + " placeholder", edit->placeholderText());
            if (auto* box = qobject_cast<const QMessageBox*>(w)) check(name + " more", box->informativeText());
        }
    }
    void menu(const QString& where, const QMenu& menu) {
        for (const QAction* action : menu.actions()) {
            check(where, action->text());
            check(where + " tool tip", action->toolTip());
        }
    }
    std::vector<std::string> left;
};

std::string report(const std::vector<std::string>& left) {
    std::string out;
    for (const auto& line : left) out += "\n  " + line;
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

void writeFile(const std::filesystem::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream(file, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// A para.bin of `records` that all fail to load, headers and checksums in turn: the notice lists them.
std::vector<uint8_t> damagedRecords(int records) {
    std::vector<uint8_t> bytes;
    const PresetEntry entry = PresetEntry::make(BuiltinPresets()[5].set, "ab");
    for (int i = 0; i < records; ++i) {
        UserPresetRecord r = makeUserPresetRecord(entry);
        if (i % 2 == 0) r[0] ^= 0xFF;
        else r[kRecordOffsetChecksum] ^= 0xFF;
        bytes.insert(bytes.end(), r.begin(), r.end());
    }
    return bytes;
}

// The window on the simulator, in its own settings directory stamped for today so no panel check runs.
struct Window {
    explicit Window(const std::vector<uint8_t>& para = {}) {
        qputenv("QV7_CONFIG_DIR", dir.path().toUtf8());
        WriteIniString(dir.filePath("TolkaPanel.ini").toStdString(), "Setting", "last_date", FormatToday());
        if (!para.empty()) writeFile(dir.filePath("para.bin").toStdString(), para);
        window = std::make_unique<CBrontalDlg>(
            std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(sim::defaultConfig())),
            [](std::string_view) {});
        window->presets().setDialogRunner(&dialogs);
    }
    ~Window() {
        for (auto* b : window->findChildren<QMessageBox*>()) delete b;
        window->presets().setDialogRunner(nullptr);
        window.reset();
        qunsetenv("QV7_CONFIG_DIR");
    }
    bool ready() {
        return QTest::qWaitFor([&] { return window->control(kMonitorVolSliderId)->isEnabled(); }, kWaitMs);
    }
    // The open message boxes, waiting for at least `count` of them.
    QList<QMessageBox*> boxes(int count = 1) {
        QList<QMessageBox*> open;
        (void)QTest::qWaitFor(
            [&] {
                open.clear();
                for (auto* b : window->findChildren<QMessageBox*>())
                    if (b->isVisible()) open.push_back(b);
                return open.size() >= count;
            },
            kWaitMs);
        return open;
    }
    // A message box's note on the messages that came after its first: it shows with the box's next refresh.
    void waitForNote() {
        (void)QTest::qWaitFor([&] { return !boxes().empty() && !boxes()[0]->informativeText().isEmpty(); }, kWaitMs);
    }
    void closeBoxes() {
        for (auto* b : window->findChildren<QMessageBox*>()) delete b;
    }
    // Walks the main window, its menu and the tray's menu. The combo box holds preset names and the quick keys
    // the device's names: data.
    void walkWindow(Walk& walk, const QString& when) {
        std::vector<const QWidget*> data{window->control(kPresetComboId)};
        for (int id : kQuickKeyButtons) data.push_back(window->control(id));
        if (auto* combo = window->control(kPresetComboId)) {
            const auto children = combo->findChildren<QWidget*>();
            data.insert(data.end(), children.begin(), children.end());
        }
        walk.widgets("window " + when, *window, data);
        walk.menu("context menu", window->contextMenu());
        walk.menu("tray menu", window->tray()->menu());
    }
    void walkBoxes(Walk& walk, const QString& what, int count = 1) {
        const auto open = boxes(count);
        if (open.size() < count) walk.left.push_back(what.toStdString() + ": no box appeared");
        for (auto* b : open) walk.widgets("box " + what, *b);
        closeBoxes();
    }

    QTemporaryDir dir;
    Dialogs dialogs;
    std::unique_ptr<CBrontalDlg> window;
};

class EnglishTexts : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(installTranslations(*qApp, QStringLiteral("en"))); }
};

// A text filled in below the window keeps its values exactly, whatever they hold: a path with the list's
// separator or a placeholder in it, a Chinese preset name. Names alone are never translated.
TEST_F(EnglishTexts, FilledTextsKeepTheirValues) {
    struct Case {
        const char* context;
        std::string text;
        const char* shown;
    };
    const std::vector<Case> cases = {
        {kMessagesContext, "是否需要删除常用参数： 我的一 ？", "Delete the preset 我的一?"},
        {kMessagesContext,
         "效果文件 /tmp/第1条（校验和错误）、%2/para.bin 无法载入：不是普通文件，其中的效果都没有列出。"
         "保存或删除效果前，会先把原文件另存一份。",
         "The preset file /tmp/第1条（校验和错误）、%2/para.bin could not be loaded: it is not a regular file. None "
         "of its presets are listed. Before a preset is saved or deleted, the file will be kept as a copy."},
        {kMessagesContext,
         "效果文件 p 中有记录无法载入，已跳过：第7条（记录头错误）、第9条（校验和错误）等共 11 条。"
         "保存或删除效果前，会先把原文件另存一份。",
         "Records in the preset file p could not be loaded and were skipped: record 7 (bad header), record 9 (bad "
         "checksum) and others, 11 in all. Before a preset is saved or deleted, the file will be kept as a copy."},
        {kMessagesContext,
         "效果文件 p 无法载入：无法读取（Permission denied），其中的效果都没有列出。"
         "保存或删除效果前，会先把原文件另存一份。",
         "The preset file p could not be loaded: it cannot be read (Permission denied). None of its presets are "
         "listed. Before a preset is saved or deleted, the file will be kept as a copy."},
        {kWindowContext, StalledLabel(3), "Stalled: no progress for 3 s. Check the connection"},
        // Data: preset and quick-key names, a list separator with nothing around it, the battery.
        {kWindowContext, "原声默认", "原声默认"},
        {kWindowContext, "原声", "原声"},
        {kMessagesContext, "第1条（校验和错误）", "第1条（校验和错误）"},
        {kMessagesContext, "甲、乙", "甲、乙"},
        {kWindowContext, "3.70 V", "3.70 V"},
        {kMessagesContext, "", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(shownText(c.context, c.text), QString::fromUtf8(c.shown));
    }
}

class EnglishWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(installTranslations(*qApp, QStringLiteral("en"))); }
};

TEST_F(EnglishWindow, WindowMenusAndDialogsSpeakNoChinese) {
    Walk walk;
    {
        Window w;
        // Before the device answers (the status line says there is none), and with it in place.
        w.walkWindow(walk, QStringLiteral("at start"));
        w.window->show();
        ASSERT_TRUE(w.ready());
        w.walkWindow(walk, QStringLiteral("with the device"));

        const DeviceIdentity id = w.window->controller().driver().identity();
        CAboutDlg about(id.HardwareVersion, id.FirmwareVersion, id.SerialNumber, id.Name, id.ModelIdentifier);
        std::vector<const QWidget*> identity;
        for (int i = 1052; i <= 1056; ++i) identity.push_back(about.value(i));
        walk.widgets("About box", about, identity);

        // The name dialog, once with a character no preset name can hold (its notice), then left empty: the
        // library refuses the empty name with a message.
        w.dialogs.script.push_back([&](QDialog& d) {
            auto& input = dynamic_cast<NameInput&>(d);
            QTest::sendKeyEvent(QTest::Click, input.edit(), Qt::Key_unknown, QStringLiteral("\U0001F600"),
                                Qt::NoModifier);
            walk.widgets("name dialog", d);
            return static_cast<int>(QDialog::Accepted);
        });
        w.window->presetCommand(kSavePresetButtonId);
        w.walkBoxes(walk, "empty name");

        // A preset saved, chosen and about to be deleted: the question, answered Cancel.
        w.dialogs.script.push_back([](QDialog& d) {
            auto& input = dynamic_cast<NameInput&>(d);
            input.edit()->setText(QStringLiteral("mine"));
            return static_cast<int>(QDialog::Accepted);
        });
        w.window->presetCommand(kSavePresetButtonId);
        auto* combo = qobject_cast<QComboBox*>(w.window->control(kPresetComboId));
        ASSERT_NE(combo, nullptr);
        const int mine = combo->findText(QStringLiteral("mine"));
        ASSERT_GE(mine, static_cast<int>(FIRST_USER_INDEX));
        combo->setCurrentIndex(mine);
        bool asked = false;
        w.dialogs.script.push_back([&](QDialog& d) {
            asked = true;
            walk.widgets("delete question", d);
            return static_cast<int>(QDialog::Rejected);
        });
        w.window->presetCommand(kDeletePresetButtonId);
        EXPECT_TRUE(asked);

        // A quick key's replacement dialog: its list is the preset names.
        w.dialogs.script.push_back([&](QDialog& d) {
            const auto* para = dynamic_cast<CParaReplace*>(&d);
            walk.widgets("quick-key dialog", d, {para ? para->list() : nullptr});
            return static_cast<int>(QDialog::Rejected);
        });
        w.window->replaceQuickKey(0);

        // The device's messages as the driver formats them, one box for several: its note counts the others.
        char text[128];
        std::snprintf(text, sizeof text, "解锁失败,0x%02x！", 0x5a);
        w.window->showMessage(text, "Error");
        std::snprintf(text, sizeof text, "选择升级区域失败,0x%02x！", 1);
        w.window->showMessage(text, "Error");
        w.waitForNote();
        w.walkBoxes(walk, "device messages");
        for (const char* fmt : {"开始升级失败,0x%02x！", "擦除失败,0x%02x！"}) {
            std::snprintf(text, sizeof text, fmt, 0x11);
            w.window->showMessage(text, "Error");
            w.window->showMessage(text, "Error");
            w.waitForNote();
            w.walkBoxes(walk, QString::fromUtf8(fmt));
        }
        std::snprintf(text, sizeof text, "收到的参数错误（%d）(%d)", 3, 4);
        w.window->showMessage(text, "Error");
        w.walkBoxes(walk, "parameter reply");
        std::snprintf(text, sizeof text, "写入固件失败：设备确认了%d字节，本块只有%d字节！", 32, 16);
        w.window->showMessage(text, "Error");
        w.walkBoxes(walk, "firmware write");

        // The firmware offer's question and the stalled write's label text.
        FirmwareUpdateGroup group;
        group.store({.image = std::vector<uint8_t>(64, 1),
                     .description = "fixes",
                     .softwareVersion = "1.2.0",
                     .hardwareVersion = "1.0"});
        w.window->askQuestion(group.UpdatePrompt("1.1.0"), kUpdatePromptCaption, [](bool) {});
        w.walkBoxes(walk, "firmware offer");
        walk.check("label 1076 stalled", windowText(StalledLabel(12)));

        // The preset list's menu, its file dialogs' words, its replace question; the access advice and the status
        // lines of a denied or held Tolka; the autostart failure.
        walk.menu("preset menu", w.window->presetMenu());
        walk.check("preset file filter", windowText(kPresetFileFilter));
        walk.check("status no access", windowText(kStatusNoAccess));
        walk.check("status held elsewhere", windowText(kStatusHeldElsewhere));
        w.window->askQuestion(std::string(kReplaceQuestion) + "mine" + std::string(kReplaceQuestionEnd), "Notice",
                              [](bool) {});
        w.walkBoxes(walk, "replace question");
        w.window->adviseAccess("/dev/hidraw3");
        w.walkBoxes(walk, "access advice");

        // The panel's own offer, as the update check words it.
        PanelCheckContext context;
        context.iniPath = w.dir.filePath("offer.ini").toStdString();
        context.siteHost = "www.example.invalid";
        const auto offer = OnPanelVersionReply(
            R"({"status":"112304","softwareVersion":"2.0.1","filesize":4096,"urlPath":"x"})", context);
        ASSERT_TRUE(offer);
        w.window->askQuestion(offer->prompt, offer->caption, [](bool) {});
        w.walkBoxes(walk, "panel offer");
    }
    {
        // No device there: the status line says so.
        QTemporaryDir dir;
        qputenv("QV7_CONFIG_DIR", dir.path().toUtf8());
        WriteIniString(dir.filePath("TolkaPanel.ini").toStdString(), "Setting", "last_date", FormatToday());
        CBrontalDlg alone(std::make_unique<SocketProvider>("/nonexistent/qv7.sock"), [](std::string_view) {});
        walk.widgets("window without a device", alone);
        qunsetenv("QV7_CONFIG_DIR");
    }
    // para.bin that cannot be loaded at all, and one whose records are all skipped (listed, then counted).
    const std::vector<std::pair<const char*, std::vector<uint8_t>>> files = {
        {"para.bin not whole records", std::vector<uint8_t>(150, 0)},
        {"para.bin bad records", damagedRecords(3)},
        {"para.bin many bad records", damagedRecords(12)},
    };
    for (const auto& [what, bytes] : files) {
        Window w(bytes);
        w.window->show();
        w.walkBoxes(walk, QString::fromUtf8(what));
    }
    {
        // A full library refuses a save before the name dialog.
        std::vector<PresetEntry> full(kMaxUserPresetRecords, PresetEntry::make(BuiltinPresets()[5].set, "ab"));
        Window w(encodeUserPresets(full));
        w.window->show();
        ASSERT_TRUE(w.ready());
        w.window->presetCommand(kSavePresetButtonId);
        w.walkBoxes(walk, "library full");
    }
    EXPECT_TRUE(walk.left.empty()) << "texts still in Chinese:" << report(walk.left);
}

}  // namespace
}  // namespace qv7::panel
