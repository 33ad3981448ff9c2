// Texts from outside shown as written, message boxes placed over the window, the preset popup's height
// and Qt's own button texts in Chinese: the real widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QListView>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "common/ini_file.h"
#include "panel/about_dialog.h"
#include "panel/device_host.h"
#include "panel/main_window.h"
#include "panel/qt_translations.h"
#include "sim/sim_transport.h"
#include "update/panel_check.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long
const std::string kTagged = "<b>x</b> <a href=\"http://a.invalid\">y</a>";

// A window on the simulator, in its own settings directory stamped for today so no panel check runs.
struct Window {
    Window() {
        qputenv("QV7_CONFIG_DIR", dir.path().toUtf8());
        WriteIniString(dir.filePath("TolkaPanel.ini").toStdString(), "Setting", "last_date", FormatToday());
        window = std::make_unique<CBrontalDlg>(
            std::make_unique<SimProvider>(std::make_shared<sim::SimTransport>(sim::defaultConfig())),
            [](std::string_view) {});
    }
    ~Window() {
        for (auto* b : window->findChildren<QMessageBox*>()) delete b;
        window.reset();
        qunsetenv("QV7_CONFIG_DIR");
    }
    // The visible box with this caption, waiting for it to appear; null when none does.
    QMessageBox* box(const QString& caption) {
        QMessageBox* found = nullptr;
        (void)QTest::qWaitFor(
            [&] {
                for (auto* b : window->findChildren<QMessageBox*>())
                    if (b->isVisible() && b->windowTitle() == caption) found = b;
                return found != nullptr;
            },
            kWaitMs);
        return found;
    }
    QTemporaryDir dir;
    std::unique_ptr<CBrontalDlg> window;
};

// Answers a modal dialog in place, after looking at it.
struct LookingRunner : DialogRunner {
    std::function<void(QDialog&)> look;
    int run(QDialog& dialog) override {
        dialog.show();
        look(dialog);
        dialog.reject();
        return QDialog::Rejected;
    }
};

void expectPlain(const QMessageBox* box, const std::string& text) {
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    EXPECT_EQ(box->text(), QString::fromStdString(text));
}

TEST(PanelTexts, AboutBoxShowsTheDeviceTextsAsWritten) {
    CAboutDlg about(kTagged + "h", kTagged + "f", kTagged + "s", kTagged + "n", kTagged + "m");
    const char* ends[] = {"n", "m", "f", "h", "s"};  // 1052..1056
    for (int id = 1052; id <= 1056; ++id) {
        SCOPED_TRACE(id);
        ASSERT_NE(about.value(id), nullptr);
        EXPECT_EQ(about.value(id)->textFormat(), Qt::PlainText);
        EXPECT_EQ(about.value(id)->text(), QString::fromStdString(kTagged + ends[id - 1052]));
    }
}

TEST(PanelTexts, WindowLabelsShowTextsAsWritten) {
    Window w;
    const auto labels = w.window->findChildren<QLabel*>();
    ASSERT_FALSE(labels.empty());
    for (const QLabel* label : labels) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
}

struct BoxCase {
    const char* name;
    // Opens a box showing `text` on the window and returns it.
    std::function<QMessageBox*(Window&, const std::string& text)> open;
};

TEST(PanelTexts, MessageBoxesShowTextsAsWritten) {
    const std::vector<BoxCase> cases = {
        {"driver message",
         [](Window& w, const std::string& t) {
             w.window->showMessage(t, "消息");
             return w.box(QStringLiteral("消息"));
         }},
        {"update prompt",
         [](Window& w, const std::string& t) {
             w.window->askQuestion(t, "更新提醒", [](bool) {});
             return w.box(QStringLiteral("更新提醒"));
         }},
        {"preset notice",
         [](Window& w, const std::string& t) {
             w.window->presets().showMessage(t, "提示");
             return w.box(QStringLiteral("提示"));
         }},
    };
    for (const BoxCase& c : cases) {
        SCOPED_TRACE(c.name);
        Window w;
        w.window->show();
        expectPlain(c.open(w, kTagged), kTagged);
    }

    // The preset library's question, a modal box answered in place.
    Window w;
    w.window->show();
    LookingRunner runner;
    bool looked = false;
    runner.look = [&](QDialog& d) {
        looked = true;
        expectPlain(qobject_cast<QMessageBox*>(&d), kTagged);
    };
    w.window->presets().setDialogRunner(&runner);
    EXPECT_FALSE(w.window->presets().ask(kTagged, "确认"));
    EXPECT_TRUE(looked);
    w.window->presets().setDialogRunner(nullptr);
}

struct PlaceCase {
    const char* name;
    bool windowShown;
};

// Centres compared with a pixel of rounding.
void expectCentredOn(const QMessageBox* box, QRect area) {
    ASSERT_NE(box, nullptr);
    const QPoint d = box->frameGeometry().center() - area.center();
    EXPECT_LE(d.manhattanLength(), 2) << "box " << box->frameGeometry().x() << "," << box->frameGeometry().y() << " "
                                      << box->frameGeometry().width() << "x" << box->frameGeometry().height()
                                      << " area " << area.x() << "," << area.y() << " " << area.width() << "x"
                                      << area.height();
}

TEST(PanelTexts, MessageBoxesAreCentredOnTheWindowOrTheScreen) {
    for (bool shown : {true, false}) {
        SCOPED_TRACE(shown ? "window shown" : "window hidden");
        Window w;
        const QRect screen = w.window->screen()->availableGeometry();
        // Off the middle of the screen, so the two places differ.
        w.window->move(screen.topLeft() + QPoint(10, 10));
        w.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
        if (!shown) w.window->hide();
        const QRect area = shown ? w.window->frameGeometry() : screen;

        w.window->askQuestion("    Tolka面板有更新的版本", "新面板提醒", [](bool) {});
        expectCentredOn(w.box(QStringLiteral("新面板提醒")), area);
        w.window->showMessage("设备消息", "消息");
        expectCentredOn(w.box(QStringLiteral("消息")), area);
    }
}

TEST(PanelTexts, PresetPopupShowsAboutTwentyRows) {
    Window w;
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    std::vector<std::string> items;
    for (int i = 0; i < 200; ++i) items.push_back("效果" + std::to_string(i));
    w.window->controller().setPresetItems(items);
    auto* combo = qobject_cast<QComboBox*>(w.window->control(1064));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 200);
    combo->showPopup();
    QWidget* popup = combo->view()->window();
    ASSERT_TRUE(QTest::qWaitFor([&] { return popup->isVisible(); }, kWaitMs));
    const int row = combo->view()->sizeHintForRow(0);
    ASSERT_GT(row, 0);
    const int rows = combo->view()->viewport()->height() / row;
    EXPECT_GE(rows, 15);
    EXPECT_LE(rows, 21);
    combo->hidePopup();
}

TEST(PanelTexts, QtsOwnButtonsSpeakChinese) {
    ASSERT_TRUE(installTranslations(*qApp, QStringLiteral("zh")));
    QMessageBox box(QMessageBox::NoIcon, "t", "x", QMessageBox::Ok | QMessageBox::Cancel);
    EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("确定"));
    EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("取消"));
}

}  // namespace
}  // namespace qv7::panel
