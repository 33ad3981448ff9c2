// The real window on the offscreen platform, connected to the in-process simulator through the read worker.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyleOptionGroupBox>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

#include <algorithm>

#include "device/report_recording.h"
#include "panel/about_dialog.h"
#include "panel/control_table.h"
#include "panel/main_window.h"
#include "panel/recording_provider.h"
#include "panel_test_support.h"
#include "sim/sim_transport.h"
#include "tests/support/temp_dir.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

// A window that records what it would hand to the quick-key dialog of the presets issue.
class RecordingWindow : public CBrontalDlg {
public:
    using CBrontalDlg::CBrontalDlg;
    std::vector<int> replaced;
    void replaceQuickKey(int key) override { replaced.push_back(key); }
};

struct Panel {
    explicit Panel(sim::SimConfig config = sim::defaultConfig())
        : sim(std::make_shared<sim::SimTransport>(std::move(config))),
          window(std::make_unique<SimProvider>(sim), [this](std::string_view l) { trace.emplace_back(l); }) {
        window.show();
    }
    ~Panel() { window.close(); }

    bool ready() {
        return QTest::qWaitFor([&] { return window.control(1000)->isEnabled(); }, kWaitMs);
    }
    QString text(int id) {
        if (auto* label = qobject_cast<QLabel*>(window.control(id))) return label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(window.control(id))) return button->text();
        return {};
    }
    bool on(int id) { return window.control(id)->isEnabled(); }
    QSlider* slider(int id) { return qobject_cast<QSlider*>(window.control(id)); }
    long count(std::string_view line) { return std::count(trace.begin(), trace.end(), line); }
    template <typename F>
    auto device(F f) {
        return test::readDevice(*sim, f);
    }

    std::vector<std::string> trace;
    std::shared_ptr<sim::SimTransport> sim;
    RecordingWindow window;
};

TEST(PanelWindow, StartupEnablesAndShowsTheDevicesSettings) {
    auto config = sim::defaultConfig();
    config.parameters.effectSwitch = 2;
    config.parameters.accompany = 1;
    config.parameters.eqSwitch = 1;
    config.parameters.eqGain[0] = 30;
    Panel p(config);
    EXPECT_EQ(p.text(1031), "VexlorTolka连接");
    ASSERT_TRUE(p.ready());
    EXPECT_EQ(p.window.sliderPosition(1000), 2);
    EXPECT_EQ(p.text(1033), "14");
    EXPECT_EQ(p.window.sliderPosition(1004), 18);
    EXPECT_EQ(p.text(1037), "6");
    EXPECT_EQ(p.text(1048), "D");
    EXPECT_TRUE(qobject_cast<QCheckBox*>(p.window.control(1027))->isChecked());
    EXPECT_TRUE(qobject_cast<QRadioButton*>(p.window.control(1060))->isChecked());
    EXPECT_TRUE(qobject_cast<QRadioButton*>(p.window.control(1063))->isChecked());
    EXPECT_TRUE(p.on(1029));
    EXPECT_FALSE(p.on(1025));
    EXPECT_TRUE(QTest::qWaitFor([&] { return p.text(1051) == "3.85 V"; }, kWaitMs));
    EXPECT_EQ(p.text(1067), "原声");
    EXPECT_EQ(p.text(1074), "无新版本");
    EXPECT_FALSE(p.on(1074));
    EXPECT_EQ(p.slider(1003)->minimum(), -24) << "live volume 0..24 above firmware 102";
    EXPECT_FALSE(p.window.stepTimer().active()) << "the conversation is over: nothing for the step timer to repeat";
    EXPECT_EQ(ReadWorker::alive(), 1);
}

TEST(PanelWindow, DraggingMonitorTopToBottomSendsEachValueOnceAndRepaintsSendNothing) {
    auto config = sim::defaultConfig();
    config.parameters.monitorVol = 16;
    Panel p(config);
    ASSERT_TRUE(p.ready());
    QSlider* s = p.slider(1000);
    ASSERT_EQ(p.window.sliderPosition(1000), 0);

    std::vector<int> taken;
    QObject::connect(s, &QSlider::valueChanged, s, [&](int v) { taken.push_back(v); });
    QStyleOptionSlider opt;
    opt.initFrom(s);
    opt.orientation = s->orientation();
    opt.minimum = s->minimum();
    opt.maximum = s->maximum();
    opt.sliderPosition = opt.sliderValue = s->value();
    opt.upsideDown = !s->invertedAppearance();  // as QSlider has it for a vertical slider
    const QRect handle = s->style()->subControlRect(QStyle::CC_Slider, &opt, QStyle::SC_SliderHandle, s);
    QPoint at = handle.center();
    QTest::mousePress(s, Qt::LeftButton, {}, at);
    for (; at.y() < s->height() + 10; at.ry() += 1) QTest::mouseMove(s, at);
    QTest::mouseRelease(s, Qt::LeftButton, {}, at);

    EXPECT_EQ(taken.size(), 16u) << "a one-pixel drag reaches every value";
    EXPECT_EQ(p.window.sliderPosition(1000), 16);
    EXPECT_EQ(p.count("ControlToSetting\n"), static_cast<long>(taken.size())) << "one setpara per value reached";
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return p.device([](sim::TolkaSim& d) { return int(d.parameters().monitorVol); }) == 0; }, kWaitMs));

    const long sent = p.count("ControlToSetting\n");
    const long commands = p.device([](sim::TolkaSim& d) { return d.stats().commands; });
    p.window.repaint();
    (void)p.window.grab();
    QTest::qWait(50);
    EXPECT_EQ(p.count("ControlToSetting\n"), sent);
    EXPECT_EQ(p.device([](sim::TolkaSim& d) { return d.stats().commands; }), commands);
}

TEST(PanelWindow, ClicksApplyTheSwitchRulesAndReachTheDevice) {
    Panel p;
    ASSERT_TRUE(p.ready());
    struct Click {
        int id;
        std::vector<int> on, off;
    };
    const Click clicks[] = {{1027, {1004, 1010}, {}},        // equaliser on
                            {1062, {1025, 1026}, {1029}},    // 电音
                            {1063, {1029}, {1025, 1026}},    // 变声
                            {1061, {}, {1025, 1026, 1029}},  // 不使用
                            {1019, {1053, 1055, 1057}, {}},  // 闪避
                            {1021, {1022}, {}}};             // auto power-off
    for (const Click& c : clicks) {
        QTest::mouseClick(p.window.control(c.id), Qt::LeftButton, {}, QPoint(6, p.window.control(c.id)->height() / 2));
        for (int id : c.on) EXPECT_TRUE(p.on(id)) << c.id << " -> " << id;
        for (int id : c.off) EXPECT_FALSE(p.on(id)) << c.id << " -> " << id;
    }
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return p.device([](sim::TolkaSim& d) {
                const auto& s = d.parameters();
                return s.eqSwitch == 1 && s.effectSwitch == 0 && s.dodgeSwitch == 1 && s.auto_poweroff == 1;
            });
        },
        kWaitMs));
}

struct Variant {
    const char* firmware;
    bool earReturn, noise, ducking;
    int liveMax;
};
class PanelWindowFirmware : public ::testing::TestWithParam<Variant> {};

TEST_P(PanelWindowFirmware, WidgetsFollowTheFirmware) {
    const Variant& v = GetParam();
    auto config = sim::defaultConfig();
    config.firmwareVersion = v.firmware;
    config.parameters.dodgeSwitch = 1;
    Panel p(config);
    ASSERT_TRUE(p.ready());
    EXPECT_EQ(p.on(1077), v.earReturn);
    EXPECT_EQ(p.on(1080), v.noise);
    EXPECT_EQ(p.on(1053), v.ducking);
    EXPECT_EQ(p.on(1067), v.ducking);
    EXPECT_EQ(p.slider(1003)->minimum(), -v.liveMax);
}

INSTANTIATE_TEST_SUITE_P(Versions, PanelWindowFirmware,
                         ::testing::Values(Variant{"1.0.0", false, false, false, 16},
                                           Variant{"1.0.2", true, false, true, 16},
                                           Variant{"1.0.6", true, false, true, 24},
                                           Variant{"1.0.7", true, true, true, 24}));

TEST(PanelWindow, UnplugAndReplugDriveRemovalAndArrival) {
    Panel p;
    ASSERT_TRUE(p.ready());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.text(1051).isEmpty(); }, kWaitMs));
    p.sim->unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.text(1031) == "没有找到Vexlor声卡"; }, kWaitMs));
    for (int id : kInteractiveSet) EXPECT_FALSE(p.on(id)) << id;
    EXPECT_EQ(p.text(1051), "");
    EXPECT_EQ(p.text(1074), "无新版本");
    EXPECT_FALSE(p.on(1074));
    EXPECT_EQ(p.slider(1003)->minimum(), -16);
    EXPECT_EQ(ReadWorker::alive(), 0);
    EXPECT_EQ(p.count("out\n"), 1);

    p.sim->replug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.text(1031) == "VexlorTolka连接"; }, kWaitMs));
    EXPECT_TRUE(p.ready());
    EXPECT_EQ(p.slider(1003)->minimum(), -24);
    EXPECT_EQ(ReadWorker::alive(), 1);
}

TEST(PanelWindow, DeviceGoingAwayMidConversationIsTracedOnceBeforeTheRemoval) {
    Panel p;
    ASSERT_TRUE(p.ready());
    p.slider(1001)->setValue(-10);  // a setting on its way when the device goes
    p.sim->unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.text(1031) == "没有找到Vexlor声卡"; }, kWaitMs));
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.count("device disconect\n") > 0; }, kWaitMs))
        << "the window's reader says that the device went, as every reader of a Tolka does";
    const auto line = std::find(p.trace.begin(), p.trace.end(), "device disconect\n");
    EXPECT_NE(std::find(line, p.trace.end(), "out\n"), p.trace.end()) << "the line comes before the removal's trace";

    // A reader stopped on purpose (the new device's arrival retires the old reader) says nothing.
    p.sim->replug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.text(1031) == "VexlorTolka连接"; }, kWaitMs));
    ASSERT_TRUE(p.ready());
    p.window.controller().onArrival();
    ASSERT_TRUE(p.ready());
    EXPECT_EQ(p.count("device disconect\n"), 1);
}

TEST(PanelWindow, SecondArrivalKeepsOneDeviceAndOneWorker) {
    Panel p;
    ASSERT_TRUE(p.ready());
    p.window.controller().onArrival();
    EXPECT_EQ(ReadWorker::alive(), 1);
    ASSERT_TRUE(p.ready());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.window.controller().driver().step() == kStepIdle; }, kWaitMs));
    const long before = p.count("ControlToSetting\n");
    p.slider(1001)->setValue(-10);  // as the keyboard would
    EXPECT_EQ(p.count("ControlToSetting\n"), before + 1);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return p.device([](sim::TolkaSim& d) { return int(d.parameters().micVol); }) == 6; }, kWaitMs));
    EXPECT_EQ(ReadWorker::alive(), 1);
}

// The simulated Tolka, but every open after the first fails, as an arrival whose device cannot be opened would.
class FailsLaterOpens : public SimProvider {
public:
    using SimProvider::SimProvider;
    HidTransport* open() override { return ++opens_ > 1 ? nullptr : SimProvider::open(); }

private:
    int opens_ = 0;
};

TEST(PanelWindow, FailedOpenOnASecondArrivalKeepsTheDeviceAndItsReader) {
    auto sim = std::make_shared<sim::SimTransport>();
    std::vector<std::string> trace;
    RecordingWindow window(std::make_unique<FailsLaterOpens>(sim), [&](std::string_view l) { trace.emplace_back(l); });
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.control(1000)->isEnabled(); }, kWaitMs));
    window.controller().onArrival();
    EXPECT_EQ(ReadWorker::alive(), 1);
    EXPECT_TRUE(window.control(1000)->isEnabled());
    // The link still works both ways: a change reaches the device and its acknowledgement comes back.
    qobject_cast<QSlider*>(window.control(1001))->setValue(-10);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            int mic = -1;
            sim->withDevice([&](sim::TolkaSim& d) { mic = d.parameters().micVol; });
            return mic == 6 && window.controller().driver().step() == kStepIdle;
        },
        kWaitMs));
    window.close();
}

TEST(PanelWindow, RejectedParameterReplyShowsTheErrorBox) {
    auto config = sim::defaultConfig();
    config.parameters.monitorVol = 200;
    Panel p(config);
    QMessageBox* box = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const auto boxes = p.window.findChildren<QMessageBox*>();
            box = boxes.isEmpty() ? nullptr : boxes.first();
            return box != nullptr;
        },
        kWaitMs));
    EXPECT_TRUE(box->text().startsWith(QStringLiteral("收到的参数错误（"))) << box->text().toStdString();
    EXPECT_TRUE(box->text().endsWith(QStringLiteral("）(0)")));
    EXPECT_EQ(box->windowTitle(), "Error");
    EXPECT_FALSE(p.on(1000));
}

TEST(PanelWindow, EscapeAndReturnNeverCloseAndRightClickReachesEnabledQuickKeys) {
    Panel p;
    QTest::mousePress(p.window.control(1070), Qt::RightButton);
    EXPECT_TRUE(p.window.replaced.empty()) << "disabled before the first report";
    ASSERT_TRUE(p.ready());
    for (auto key : {Qt::Key_Escape, Qt::Key_Return, Qt::Key_Enter}) {
        QTest::keyClick(p.window.control(1030), key);
        QTest::keyClick(&p.window, key);
    }
    EXPECT_TRUE(p.window.isVisible());
    QTest::mousePress(p.window.control(1070), Qt::RightButton);
    QTest::mousePress(p.window.control(1000), Qt::RightButton);
    EXPECT_EQ(p.window.replaced, (std::vector<int>{1}));
}

TEST(PanelWindow, RadioGroupsShowTheirFirstButtonBeforeAnyReport) {
    Panel p;  // initialised, its first report not yet handled
    ASSERT_FALSE(p.on(1000));
    for (int id : {1059, 1061}) EXPECT_TRUE(qobject_cast<QRadioButton*>(p.window.control(id))->isChecked()) << id;
    for (int id : {1060, 1062, 1063})
        EXPECT_FALSE(qobject_cast<QRadioButton*>(p.window.control(id))->isChecked()) << id;
}

// Right clicks that reach no quick-key dialog: a disabled quick key opens nothing, anywhere else the window's menu.
TEST(PanelWindow, RightClickOnADisabledQuickKeyOpensNothing) {
    Panel p;
    struct Press {
        int id;
        bool menu;
    };
    for (const Press& press : {Press{1067, false}, Press{1070, false}, Press{1071, false}, Press{1000, true}}) {
        ASSERT_FALSE(p.on(press.id)) << press.id;
        QTest::mousePress(p.window.control(press.id), Qt::RightButton);
        QCoreApplication::processEvents();
        QWidget* popup = QApplication::activePopupWidget();
        EXPECT_EQ(popup != nullptr, press.menu) << press.id;
        if (popup) popup->close();
    }
    EXPECT_TRUE(p.window.replaced.empty());
}

TEST(PanelWindow, PercentageIsBlackOnTheBarUnderAnyTheme) {
    const QPalette before = QApplication::palette();
    QPalette dark = before;
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    {
        Panel p;
        EXPECT_EQ(p.window.control(1076)->palette().color(QPalette::WindowText), QColor(Qt::black));
        EXPECT_FALSE(p.window.control(1076)->autoFillBackground()) << "the bar shows through";
        EXPECT_EQ(p.window.control(1031)->palette().color(QPalette::WindowText), QColor(Qt::white))
            << "only label 1076";
    }
    QApplication::setPalette(before);
}

// Desktop themes that give disabled widgets their active colours, as several do; the panel greys them itself.
QPalette flatTheme(bool dark) {
    QPalette p;
    const QColor window = dark ? QColor(0x2b, 0x2b, 0x2b) : QColor(0xef, 0xef, 0xef);
    const QColor base = dark ? QColor(0x1e, 0x1e, 0x1e) : QColor(Qt::white);
    const QColor text = dark ? QColor(0xee, 0xee, 0xee) : QColor(Qt::black);
    for (auto role : {QPalette::Window, QPalette::Button, QPalette::Midlight, QPalette::Mid, QPalette::Dark,
                      QPalette::Light, QPalette::Shadow, QPalette::AlternateBase})
        p.setColor(role, window);
    p.setColor(QPalette::Base, base);
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::BrightText})
        p.setColor(role, text);
    p.setColor(QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

QLabel* labelWithText(const QWidget& window, const QString& text) {
    for (QLabel* label : window.findChildren<QLabel*>())
        if (label->text() == text) return label;
    return nullptr;
}

int lightness(QRgb c) { return qGray(c); }

// The spread of lightness in a part of the window: text that can be read stands out from what is behind it.
std::pair<int, int> lightnessRange(const QImage& image) {
    int lo = 255, hi = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const int l = lightness(image.pixel(x, y));
            lo = std::min(lo, l);
            hi = std::max(hi, l);
        }
    return {lo, hi};
}

QImage region(QWidget& window, QWidget* w) {
    return window.grab(QRect(w->mapTo(&window, QPoint(0, 0)), w->size())).toImage();
}

TEST(PanelWindow, DisabledSlidersTheirCaptionsAndValuesLookDisabledInLightAndDarkThemes) {
    const QPalette before = QApplication::palette();
    for (bool dark : {false, true}) {
        SCOPED_TRACE(dark ? "dark" : "light");
        QApplication::setPalette(flatTheme(dark));
        auto config = sim::defaultConfig();
        config.parameters.effectSwitch = 2;  // 变声: 1029 on, 1025 and 1026 off
        Panel p(config);
        ASSERT_TRUE(p.ready());
        struct Column {
            int slider, value;
            QString caption;
        };
        const Column columns[] = {{1026, 1049, "电音幅度"}, {1029, 1050, "变声效果"}};
        auto shots = [&] {
            std::vector<QImage> images;
            for (const Column& c : columns)
                for (QWidget* w : {p.window.control(c.slider), p.window.control(c.value),
                                   static_cast<QWidget*>(labelWithText(p.window, c.caption))}) {
                    EXPECT_NE(w, nullptr);
                    if (!w) return images;
                    EXPECT_EQ(w->isEnabled(), p.on(c.slider)) << c.slider << " " << w->objectName().toStdString();
                    images.push_back(region(p.window, w));
                }
            return images;
        };
        ASSERT_FALSE(p.on(1026));
        ASSERT_TRUE(p.on(1029));
        const auto first = shots();
        QTest::mouseClick(p.window.control(1062), Qt::LeftButton, {}, QPoint(6, p.window.control(1062)->height() / 2));
        ASSERT_TRUE(p.on(1026));
        ASSERT_FALSE(p.on(1029));
        const auto second = shots();
        ASSERT_EQ(first.size(), second.size());
        const char* names[] = {"slider", "value", "caption"};
        for (size_t i = 0; i < first.size(); ++i)
            EXPECT_NE(first[i], second[i])
                << columns[i / 3].slider << " " << names[i % 3] << " looks the same enabled and disabled";
    }
    QApplication::setPalette(before);
}

TEST(PanelWindow, PercentageIsBlackOnTheFilledBarAndReadableOnTheEmptyOneInADarkTheme) {
    const QPalette before = QApplication::palette();
    QApplication::setPalette(flatTheme(true));
    {
        Panel p;
        auto* bar = qobject_cast<QProgressBar*>(p.window.control(1075));
        auto* percent = qobject_cast<QLabel*>(p.window.control(1076));
        percent->setText("88%");
        bar->setValue(0);
        const auto [emptyLo, emptyHi] = lightnessRange(region(p.window, percent));
        EXPECT_GT(emptyHi - emptyLo, 120) << "text over the empty bar stands out";
        bar->setValue(100);
        const auto [fullLo, fullHi] = lightnessRange(region(p.window, percent));
        EXPECT_LT(fullLo, 40) << "black over the filled bar";
        (void)fullHi;
    }
    QApplication::setPalette(before);
}

// The frame as drawn: the panel's own group frame says where it draws it, a QGroupBox's is the style's.
QRect drawnFrame(QWidget* group) {
    if (const QVariant frame = group->property("frameRect"); frame.isValid()) return frame.toRect();
    auto* box = qobject_cast<QGroupBox*>(group);
    if (!box) return {};
    QStyleOptionGroupBox opt;
    opt.initFrom(box);
    opt.text = box->title();
    opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
    opt.lineWidth = 1;
    return box->style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxFrame, box);
}

TEST(PanelWindow, EveryControlInAGroupSitsInsideItsDrawnFrame) {
    Panel p;
    const DialogUnits units(p.window.fontMetrics());
    int checked = 0;
    for (const ControlSpec& group : controlTable()) {
        if (group.kind != Kind::Group) continue;
        const QString caption = QString::fromUtf8(group.caption.data(), qsizetype(group.caption.size()));
        QWidget* g = p.window.findChild<QWidget*>(QStringLiteral("group ") + caption);
        for (QGroupBox* box : p.window.findChildren<QGroupBox*>())
            if (!g && box->title() == caption) g = box;
        ASSERT_NE(g, nullptr) << group.caption;
        QRect frame = drawnFrame(g);
        ASSERT_FALSE(frame.isEmpty()) << group.caption;
        // Inside the line, not on it: the frame line may be two pixels wide.
        frame = QRect(g->mapTo(&p.window, frame.topLeft()), frame.size()).adjusted(2, 2, -2, -2);
        const QRect area = units.rect(group.rect);
        int members = 0;
        for (const ControlSpec& c : controlTable()) {
            if (c.kind == Kind::Group || !area.contains(units.rect(c.rect))) continue;
            QWidget* w =
                c.id ? p.window.control(c.id)
                     : labelWithText(p.window, QString::fromUtf8(c.caption.data(), qsizetype(c.caption.size())));
            if (!w) continue;
            ++members;
            const QRect at(w->mapTo(&p.window, QPoint(0, 0)), w->size());
            EXPECT_TRUE(frame.contains(at))
                << group.caption << ": " << (c.id ? std::to_string(c.id) : std::string(c.caption)) << " at " << at.top()
                << ".." << at.bottom() << ", frame from " << frame.top();
        }
        EXPECT_GT(members, 0) << group.caption;
        ++checked;
    }
    EXPECT_EQ(checked, 12);
}

TEST(PanelWindow, TitleSaysSimulatedAndAboutShowsTheIdentityCopies) {
    Panel p;
    EXPECT_TRUE(p.window.windowTitle().startsWith(QStringLiteral("Tolka面板-Vexlor")));
    EXPECT_TRUE(p.window.windowTitle().contains("simulated"));
    {
        CAboutDlg before("", "", "", "", "");
        EXPECT_EQ(before.windowTitle(), QStringLiteral("关于Tolka面板"));
        for (int id = 1052; id <= 1056; ++id) EXPECT_TRUE(before.value(id)->text().isEmpty()) << id;
    }
    ASSERT_TRUE(p.ready());
    const DeviceIdentity& id = p.window.controller().driver().identity();
    CAboutDlg about(id.HardwareVersion, id.FirmwareVersion, id.SerialNumber, id.Name, id.ModelIdentifier);
    EXPECT_EQ(about.value(1052)->text(), "Tolka");
    EXPECT_EQ(about.value(1053)->text(), "qv7");
    EXPECT_EQ(about.value(1054)->text(), "1.0.7");
    EXPECT_EQ(about.value(1055)->text(), "1.0");
    EXPECT_EQ(about.value(1056)->text(), "QV7SIM0000000001");
}

// What a user pastes into a bug report: the running panel, the Tolka as `qv7ctl info` names it, and the trace.
TEST(PanelWindow, CopyDiagnosticsPutsVersionsTheIdentityAndTheTraceOnTheClipboard) {
    Panel p;
    ASSERT_TRUE(p.ready());
    QGuiApplication::clipboard()->clear();
    // The box is modal: it is found and clicked from its own event loop.
    bool copied = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* about = dynamic_cast<CAboutDlg*>(w);
            if (about == nullptr || !about->isVisible()) continue;
            EXPECT_EQ(about->copyDiagnosticsButton()->text(), QStringLiteral("复制诊断信息"));
            about->copyDiagnosticsButton()->click();
            // The click says what it did: the button tells that the text is on the clipboard, and fits it.
            const QPushButton* button = about->copyDiagnosticsButton();
            EXPECT_EQ(button->text(), QStringLiteral("已复制到剪贴板"));
            EXPECT_LE(button->fontMetrics().horizontalAdvance(button->text()), button->width());
            copied = true;
            about->accept();
        }
    });
    p.window.showAbout();
    ASSERT_TRUE(copied);
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    for (const char* expected :
         {"qv7-panel: " QV7_VERSION "\n", "Qt: ", "OS: ", "settings folder: /", "device: simulated", "Name: Tolka\n",
          "ModelIdentifier: qv7\n", "FirmwareVersion: 1.0.7\n", "HardwareVersion: 1.0\n",
          "SerialNumber: QV7SIM0000000001\n", "chipSerial: ", "battery: ", "trace, last "})
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    // The conversation's own trace lines are there, as written.
    EXPECT_NE(text.find("\nmfi"), std::string::npos) << text;
}

// A device's texts are data: a serial with a line end and escape sequences, and a name with a carriage return,
// cannot add lines of their own to what a user pastes into a bug report.
TEST(PanelWindow, CopyDiagnosticsShowsTheDevicesControlCharactersEscaped) {
    auto config = sim::defaultConfig();
    config.serial = "QV7\nOS: forged\x1b[2J0001";
    config.name = "Tol\rka";
    Panel p(config);
    ASSERT_TRUE(p.ready());
    QGuiApplication::clipboard()->clear();
    bool copied = false;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* about = dynamic_cast<CAboutDlg*>(w);
            if (about == nullptr || !about->isVisible()) continue;
            about->copyDiagnosticsButton()->click();
            copied = true;
            about->accept();
        }
    });
    p.window.showAbout();
    ASSERT_TRUE(copied);
    const std::string text = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_NE(text.find("\nSerialNumber: QV7\\nOS: forged\\x1b[2J0001\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\nName: Tol\\rka\n"), std::string::npos) << text;
    EXPECT_EQ(text.find("\nOS: forged"), std::string::npos) << text;
    EXPECT_EQ(text.find('\x1b'), std::string::npos) << text;
    EXPECT_EQ(text.find('\r'), std::string::npos) << text;
}

// "录制设备通信…" in the About box: the chosen file gets the conversation from then on, the button stops it, the box
// and "复制诊断信息" say where it went.
TEST(PanelWindow, TheAboutBoxStartsAndStopsARecordingAndTheDiagnosticsSayWhere) {
    qv7::test::TempDir dir;
    auto sim = std::make_shared<sim::SimTransport>();
    CBrontalDlg window(
        std::make_unique<RecordingProvider>(std::make_unique<SimProvider>(sim), std::make_shared<ReportRecorder>()),
        [](std::string_view) {});
    window.show();
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.control(1000)->isEnabled(); }, kWaitMs));
    EXPECT_NE(window.diagnostics().find("\nrecording: none\n"), std::string::npos);
    const std::string file = (dir / "about.rec").string();
    window.askRecordingPath = [&](const std::string&) { return file; };

    auto clickRecord = [&](const QString& expectedBefore, const QString& expectedNote) {
        bool clicked = false;
        QTimer::singleShot(0, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* about = dynamic_cast<CAboutDlg*>(w);
                if (about == nullptr || !about->isVisible()) continue;
                EXPECT_EQ(about->recordButton()->text(), expectedBefore);
                about->recordButton()->click();
                EXPECT_EQ(about->recordingNote()->toolTip(), expectedNote);
                clicked = true;
                about->accept();
            }
        });
        window.showAbout();
        EXPECT_TRUE(clicked);
    };
    clickRecord(QStringLiteral("录制设备通信…"), QStringLiteral("正在录制：") + QString::fromStdString(file));
    EXPECT_NE(window.diagnostics().find("\nrecording: " + file + " (recording)\n"), std::string::npos);
    // A setting changed now is in the file.
    auto hasSetpara = [&] {
        Recording r;
        std::string error;
        if (!readRecording(file, r, error)) return false;
        return std::any_of(r.reports.begin(), r.reports.end(), [](const RecordedReport& rep) {
            return rep.direction == ReportDirection::ToDevice && rep.bytes.size() > 11 && rep.bytes[7] == 0x0B &&
                   rep.bytes[11] == 0x01;
        });
    };
    auto* slider = qobject_cast<QSlider*>(window.control(1000));
    ASSERT_NE(slider, nullptr);
    slider->setValue(slider->value() == slider->minimum() ? slider->minimum() + 1 : slider->minimum());
    EXPECT_TRUE(QTest::qWaitFor(hasSetpara, kWaitMs)) << "no setpara in the recording";
    clickRecord(QStringLiteral("停止录制"), QStringLiteral("录制已保存：") + QString::fromStdString(file));
    EXPECT_NE(window.diagnostics().find("\nrecording: " + file + " (finished)\n"), std::string::npos);
    window.close();
}

}  // namespace
}  // namespace qv7::panel
