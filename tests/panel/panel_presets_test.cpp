// Group "常用效果", the quick keys and the two preset dialogs on the real window, with the simulator as the device.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>

#include "common/gbk_text.h"
#include "panel/dialog_runner.h"
#include "panel/forwarded_commands.h"
#include "panel/main_window.h"
#include "panel/name_input.h"
#include "panel/para_replace.h"
#include "panel_test_support.h"
#include "params/builtin_presets.h"
#include "params/preset_file.h"
#include "presets/preset_exchange.h"
#include "sim/sim_transport.h"

namespace qv7::panel {
namespace {

constexpr int kWaitMs = 10000;  // generous: only a failing test waits this long

QString qs(std::string_view s) { return QString::fromUtf8(s.data(), static_cast<qsizetype>(s.size())); }
std::string gbkOf(std::string_view utf8) { return gbk::fromUtf8(utf8).value(); }

const PresetEntry& builtin(int i) { return BuiltinPresets()[static_cast<std::size_t>(i)]; }

PresetEntry userPreset(std::string_view utf8Name, ParameterSet set = builtin(5).set) {
    return PresetEntry::make(set, gbkOf(utf8Name));
}

std::vector<uint8_t> fileBytes(const std::filesystem::path& p) {
    if (!std::filesystem::is_regular_file(p)) return {};
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Answers the window's dialogs in place, in the order they come; a dialog nobody answers is cancelled.
struct ScriptedDialogs : DialogRunner {
    std::deque<std::function<void(QDialog&)>> answers;
    std::vector<QString> shown;  // window titles
    int run(QDialog& dialog) override {
        shown.push_back(dialog.windowTitle());
        dialog.show();
        if (!answers.empty()) {
            auto answer = std::move(answers.front());
            answers.pop_front();
            answer(dialog);
        }
        if (dialog.isVisible()) dialog.reject();
        return dialog.result();
    }
};

// One key press per character, whatever its script (QTest::keyClicks knows ASCII keys only).
void typeInto(QWidget* w, const QString& text) {
    for (qsizetype i = 0; i < text.size(); ++i) {
        const qsizetype n = text[i].isHighSurrogate() ? 2 : 1;
        QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, text.mid(i, n), Qt::NoModifier);
        i += n - 1;
    }
}

// A name typed into NameInput, then "确定".
std::function<void(QDialog&)> typeName(QString name) {
    return [name](QDialog& d) {
        auto& input = dynamic_cast<NameInput&>(d);
        typeInto(input.edit(), name);
        input.okButton()->click();
    };
}
std::function<void(QDialog&)> clickBox(QMessageBox::StandardButton which) {
    return [which](QDialog& d) { dynamic_cast<QMessageBox&>(d).button(which)->click(); };
}
// CParaReplace: pick `item` (none: leave the list alone), then "替换".
std::function<void(QDialog&)> replaceWith(std::optional<QString> item) {
    return [item](QDialog& d) {
        auto& dialog = dynamic_cast<CParaReplace&>(d);
        if (item) dialog.list()->setCurrentIndex(dialog.list()->findText(*item));
        dialog.replaceButton()->click();
    };
}

// A file dialog that ends with `path` chosen.
std::function<void(QDialog&)> chooseFile(std::filesystem::path path) {
    return [path](QDialog& d) {
        auto& dialog = dynamic_cast<QFileDialog&>(d);
        dialog.selectFile(QString::fromStdString(path.string()));
        static_cast<QDialog&>(dialog).accept();  // QFileDialog::accept, which checks the choice
    };
}

// QV7_CONFIG_DIR for one test, with the para.bin it starts from; set before the window looks for it.
struct ConfigDir {
    ConfigDir(const std::vector<PresetEntry>& user, bool paraIsDirectory, std::vector<uint8_t> paraTail = {}) {
        qputenv("QV7_CONFIG_DIR", dir.path().toLocal8Bit());
        if (paraIsDirectory) std::filesystem::create_directories(para() / "keep");
        if (!user.empty() || !paraTail.empty()) {
            auto bytes = encodeUserPresets(user);
            bytes.insert(bytes.end(), paraTail.begin(), paraTail.end());
            std::ofstream(para(), std::ios::binary)
                .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        }
    }
    ~ConfigDir() { qunsetenv("QV7_CONFIG_DIR"); }
    std::filesystem::path para() const { return std::filesystem::path(dir.path().toStdString()) / "para.bin"; }
    QTemporaryDir dir;
};

struct PanelSetup {
    sim::SimConfig config = sim::defaultConfig();
    std::vector<PresetEntry> user;
    bool paraIsDirectory = false;
    std::vector<uint8_t> paraTail{};  // raw bytes after the user presets' records
};

struct Panel {
    explicit Panel(PanelSetup s = {})
        : config(s.user, s.paraIsDirectory, std::move(s.paraTail)),
          sim(std::make_shared<sim::SimTransport>(std::move(s.config))),
          window(std::make_unique<SimProvider>(sim), [this](std::string_view l) { trace.emplace_back(l); }) {
        window.presets().setDialogRunner(&dialogs);
        window.show();
    }
    ~Panel() { window.close(); }

    // Settings reported and the driver idle, so a send goes out at once.
    bool ready() {
        return QTest::qWaitFor(
            [&] { return window.control(1000)->isEnabled() && window.controller().driver().step() == kStepIdle; },
            kWaitMs);
    }
    QComboBox* combo() { return qobject_cast<QComboBox*>(window.control(1064)); }
    QString text(int id) { return qobject_cast<QAbstractButton*>(window.control(id))->text(); }
    bool on(int id) { return window.control(id)->isEnabled(); }
    void click(int id) { QTest::mouseClick(window.control(id), Qt::LeftButton); }
    long count(std::string_view line) { return std::count(trace.begin(), trace.end(), line); }
    template <typename F>
    auto device(F f) {
        return test::readDevice(*sim, f);
    }
    ParameterSet deviceParameters() {
        return device([](sim::TolkaSim& d) { return d.parameters(); });
    }
    long commands() {
        return device([](sim::TolkaSim& d) { return d.stats().commands; });
    }
    // The message boxes shown so far, once one is there, as "caption|text"; then they are closed.
    std::vector<std::string> takeMessages() {
        (void)QTest::qWaitFor([&] { return !messages().empty(); }, kWaitMs);  // none: an empty list
        const auto shown = messages();
        for (auto* box : window.findChildren<QMessageBox*>()) delete box;
        return shown;
    }
    // The message boxes shown so far, as "caption|text".
    std::vector<std::string> messages() {
        std::vector<std::string> out;
        for (auto* box : window.findChildren<QMessageBox*>())
            out.push_back((box->windowTitle() + "|" + box->text()).toStdString());
        return out;
    }

    std::vector<std::string> trace;
    ConfigDir config;
    ScriptedDialogs dialogs;
    std::shared_ptr<sim::SimTransport> sim;
    CBrontalDlg window;
};

TEST(PanelPresets, ListHoldsTheBuiltInsThenTheFilesPresetsWithTheFirstSelected) {
    Panel p({.user = {userPreset("我的一"), userPreset("mine2")}});
    ASSERT_EQ(p.combo()->count(), 64);
    EXPECT_EQ(p.combo()->itemText(0), "原声默认");
    EXPECT_EQ(p.combo()->itemText(61), "变声12");
    EXPECT_EQ(p.combo()->itemText(62), "我的一");
    EXPECT_EQ(p.combo()->itemText(63), "mine2");
    EXPECT_EQ(p.combo()->currentIndex(), 0);
    EXPECT_FALSE(p.on(1064)) << "no device has reported its settings yet";
    EXPECT_EQ(p.window.presets().library().count(), 64);
}

// ---- "使用效果" ----

ParameterSet withLiveVol(ParameterSet s, uint8_t v) {
    s.liveVol = v;
    return s;
}
ParameterSet withLateFieldsOutOfRange(ParameterSet s) {
    s.dodgeThreshold = 99;
    s.hpfCutoff = 99;
    s.lpfCutoff = 99;
    return s;
}

struct ApplyCase {
    const char* what;
    const char* firmware;
    std::optional<ParameterSet> user;  // stored as entry 62 and selected; else `index`
    int index;
    bool sent;
};

void PrintTo(const ApplyCase& c, std::ostream* os) { *os << c.what; }

class PanelPresetsApply : public ::testing::TestWithParam<ApplyCase> {};

TEST_P(PanelPresetsApply, SendsWhatTheDeviceAcceptsKeepingItsInterfaceAndPowerOff) {
    const ApplyCase& c = GetParam();
    PanelSetup s;
    s.config.firmwareVersion = c.firmware;
    s.config.parameters.accompany = 1;
    s.config.parameters.auto_poweroff = 1;
    s.config.parameters.auto_poweroff_time = 5;
    if (c.user) s.user = {userPreset("user", *c.user)};
    Panel p(s);
    ASSERT_TRUE(p.ready());
    const ParameterSet before = p.deviceParameters();
    const int index = c.user ? 62 : c.index;
    p.combo()->setCurrentIndex(index);
    const long commands = p.commands();

    p.click(1066);

    if (!c.sent) {
        EXPECT_EQ(p.count("mfiSetPara\n"), 0);
        EXPECT_EQ(p.commands(), commands) << "the send is synchronous: nothing went out";
        EXPECT_EQ(p.deviceParameters(), before);
        EXPECT_EQ(p.window.controller().deviceSetting(), before);
        EXPECT_TRUE(p.messages().empty());
        return;
    }
    ParameterSet expected = c.user ? *c.user : builtin(index).set;
    expected.accompany = 1;
    expected.auto_poweroff = 1;
    expected.auto_poweroff_time = 5;
    EXPECT_EQ(p.count("mfiSetPara\n"), 1);
    EXPECT_EQ(p.window.controller().deviceSetting(), expected);
    EXPECT_EQ(p.window.controller().controlSetting(), expected);
    EXPECT_EQ(p.window.sliderPosition(1004), 48 - expected.eqGain[0]) << "controls refreshed";
    // A "1.0.0" device takes the first 25 fields and keeps its own late ones.
    const std::size_t fields = std::string_view(c.firmware) == "1.0.0" ? ParameterSet::kEarlySize : ParameterSet::kSize;
    auto head = [fields](const ParameterSet& set) {
        const auto b = set.bytes();
        return std::vector<uint8_t>(b.begin(), b.begin() + static_cast<std::ptrdiff_t>(fields));
    };
    EXPECT_TRUE(QTest::qWaitFor([&] { return head(p.deviceParameters()) == head(expected); }, kWaitMs))
        << "the simulator holds the preset's values";
    EXPECT_TRUE(p.messages().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelPresetsApply,
    ::testing::Values(ApplyCase{"builtin", "1.0.7", std::nullopt, 5, true},
                      ApplyCase{"liveVol20_on_102", "1.0.2", withLiveVol(builtin(5).set, 20), 0, false},
                      ApplyCase{"liveVol20_on_106", "1.0.6", withLiveVol(builtin(5).set, 20), 0, true},
                      ApplyCase{"late_fields_on_100", "1.0.0", withLateFieldsOutOfRange(builtin(5).set), 0, true},
                      ApplyCase{"late_fields_on_107", "1.0.7", withLateFieldsOutOfRange(builtin(5).set), 0, false},
                      ApplyCase{"no_selection", "1.0.7", std::nullopt, -1, false}),
    [](const ::testing::TestParamInfo<ApplyCase>& row) { return std::string(row.param.what); });

// ---- "保存效果" ----

struct SaveCase {
    const char* what;
    int userPresets;  // in para.bin at start
    bool paraIsDirectory;
    std::optional<QString> name;  // typed, then "确定"; nothing: "取消"
    bool dialogShown;
    std::vector<std::string> messages;
    int added;              // entries the list gains
    std::string savedName;  // GBK of the record written last; empty: the file is as it was
};

void PrintTo(const SaveCase& c, std::ostream* os) { *os << c.what; }

class PanelPresetsSave : public ::testing::TestWithParam<SaveCase> {};

TEST_P(PanelPresetsSave, NameInputDecidesWhatReachesParaBin) {
    const SaveCase& c = GetParam();
    PanelSetup s;
    for (int i = 0; i < c.userPresets; ++i) s.user.push_back(userPreset("u" + std::to_string(i)));
    s.paraIsDirectory = c.paraIsDirectory;
    Panel p(s);
    ASSERT_TRUE(p.ready());
    const auto fileBefore = fileBytes(p.config.para());
    const int countBefore = p.combo()->count();
    if (c.name) p.dialogs.answers.push_back(typeName(*c.name));

    p.click(1030);

    EXPECT_EQ(p.dialogs.shown, c.dialogShown ? std::vector<QString>{"输入名字"} : std::vector<QString>{});
    EXPECT_EQ(p.messages(), c.messages);
    EXPECT_EQ(p.combo()->count(), countBefore + c.added);
    EXPECT_EQ(p.window.presets().library().count(), countBefore + c.added);
    EXPECT_EQ(p.combo()->currentIndex(), 0) << "a save leaves the selection where it was";
    if (c.savedName.empty()) {
        EXPECT_EQ(fileBytes(p.config.para()), fileBefore);
        return;
    }
    const auto bytes = fileBytes(p.config.para());
    ASSERT_EQ(bytes.size(), static_cast<std::size_t>(countBefore + 1 - 62) * kUserPresetRecordSize);
    const auto record = makeUserPresetRecord(PresetEntry::make(p.window.controller().controlSetting(), c.savedName));
    EXPECT_TRUE(std::equal(record.begin(), record.end(), bytes.end() - kUserPresetRecordSize));
    EXPECT_EQ(p.combo()->itemText(countBefore).toStdString(), *gbk::toUtf8(c.savedName));
}

const std::string kNameLengthBox = "错误|参数名称必须大于0个字符小于10个字符";

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelPresetsSave,
    ::testing::Values(SaveCase{"three_letters", 0, false, "abc", true, {}, 1, "abc"},
                      SaveCase{"five_chinese_characters", 1, false, "一二三四五", true, {}, 1, gbkOf("一二三四五")},
                      SaveCase{"empty_name", 0, false, "", true, {kNameLengthBox}, 0, ""},
                      SaveCase{"cancelled", 0, false, std::nullopt, true, {}, 0, ""},
                      SaveCase{"library_full", 138, false, "abc", false, {"错误|效果列表已满，无法保存"}, 0, ""},
                      SaveCase{"file_not_writable", 0, true, "abc", true, {"Error|写失败！！"}, 1, ""}),
    [](const ::testing::TestParamInfo<SaveCase>& row) { return std::string(row.param.what); });

// A para.bin the load rules cannot take whole: the window says what was left out at start-up, and the
// first save keeps the file as it was beside the new one and says where.
TEST(PanelPresets, DamagedFileIsAnnouncedAndKeptBeforeTheFirstSave) {
    auto bad = makeUserPresetRecord(userPreset("坏的"));
    bad[kRecordOffsetChecksum] ^= 0x01;
    std::vector<uint8_t> tail(bad.begin(), bad.end());
    const auto third = makeUserPresetRecord(userPreset("third"));
    tail.insert(tail.end(), third.begin(), third.end());
    Panel p({.user = {userPreset("first")}, .paraTail = tail});
    const auto original = fileBytes(p.config.para());
    ASSERT_EQ(p.combo()->count(), 64);
    EXPECT_EQ(p.combo()->itemText(63), "third");
    const auto atStart = p.messages();
    ASSERT_EQ(atStart.size(), 1u);
    EXPECT_TRUE(atStart[0].starts_with("提示|")) << atStart[0];
    EXPECT_NE(atStart[0].find(p.config.para().string()), std::string::npos) << atStart[0];
    EXPECT_NE(atStart[0].find("第2条（校验和错误）"), std::string::npos) << atStart[0];
    ASSERT_EQ(p.window.findChildren<QMessageBox*>().size(), 1);
    EXPECT_TRUE(p.window.findChildren<QMessageBox*>().first()->isVisible()) << "shown with the window";

    p.window.findChildren<QMessageBox*>().first()->accept();  // read and closed before anything else
    QApplication::processEvents();
    ASSERT_TRUE(p.ready());
    p.dialogs.answers.push_back(typeName("abc"));
    p.click(1030);

    std::vector<std::filesystem::path> kept;
    for (const auto& e : std::filesystem::directory_iterator(p.config.para().parent_path()))
        if (e.path().filename().string().starts_with("para.bin.damaged-")) kept.push_back(e.path());
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(fileBytes(kept[0]), original);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    const auto after = p.messages();
    ASSERT_EQ(after.size(), 1u);
    const std::string& saved = after[0];
    EXPECT_TRUE(saved.starts_with("提示|")) << saved;
    EXPECT_NE(saved.find(kept[0].string()), std::string::npos) << saved;
    EXPECT_EQ(fileBytes(p.config.para()).size(), 3 * kUserPresetRecordSize) << "first, third and abc";
}

// ---- "删除效果" ----

TEST(PanelPresets, DeleteIsEnabledForUserPresetsOnly) {
    Panel p({.user = {userPreset("userA"), userPreset("userB")}});
    ASSERT_TRUE(p.ready());
    EXPECT_FALSE(p.on(1065)) << "item 0 selected when the controls were enabled";
    const struct {
        int index;
        bool allowed;
    } selections[] = {{61, false}, {62, true}, {0, false}, {63, true}, {-1, false}};
    for (const auto& s : selections) {
        p.combo()->setCurrentIndex(s.index);
        EXPECT_EQ(p.on(1065), s.allowed) << s.index;
        EXPECT_EQ(p.window.presets().library().deleteAllowed(), s.allowed) << s.index;
    }
    // The enabling step after a reconnect reads the same selection.
    p.combo()->setCurrentIndex(63);
    p.sim->unplug();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.on(1000); }, kWaitMs));
    EXPECT_FALSE(p.on(1065));
    p.sim->replug();
    ASSERT_TRUE(p.ready());
    EXPECT_TRUE(p.on(1065));
}

struct DeleteCase {
    const char* what;
    std::vector<std::string> user;  // UTF-8 names in para.bin
    int selected;
    bool confirm;
    std::vector<std::string> left;  // user presets afterwards; the file holds exactly these
    int selectedAfter;
    bool deleteEnabledAfter;
};

void PrintTo(const DeleteCase& c, std::ostream* os) { *os << c.what; }

class PanelPresetsDelete : public ::testing::TestWithParam<DeleteCase> {};

TEST_P(PanelPresetsDelete, AsksThenRemovesFromListAndFile) {
    const DeleteCase& c = GetParam();
    PanelSetup s;
    for (const auto& n : c.user) s.user.push_back(userPreset(n));
    Panel p(s);
    ASSERT_TRUE(p.ready());
    p.combo()->setCurrentIndex(c.selected);
    p.dialogs.answers.push_back(clickBox(c.confirm ? QMessageBox::Ok : QMessageBox::Cancel));

    p.click(1065);

    ASSERT_EQ(p.dialogs.shown, std::vector<QString>{"提示"});
    std::vector<std::string> items;
    for (int i = 62; i < p.combo()->count(); ++i) items.push_back(p.combo()->itemText(i).toStdString());
    EXPECT_EQ(items, c.left);
    EXPECT_EQ(p.combo()->currentIndex(), c.selectedAfter);
    EXPECT_EQ(p.on(1065), c.deleteEnabledAfter);
    std::vector<PresetEntry> expected;
    for (const auto& n : c.left) expected.push_back(userPreset(n));
    if (expected.empty()) {
        EXPECT_FALSE(std::filesystem::exists(p.config.para()));
    } else {
        EXPECT_EQ(fileBytes(p.config.para()), encodeUserPresets(expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelPresetsDelete,
    ::testing::Values(DeleteCase{"last_of_two", {"userA", "userB"}, 63, true, {"userA"}, 62, false},
                      DeleteCase{"middle", {"userA", "userB", "userC"}, 63, true, {"userA", "userC"}, 63, true},
                      DeleteCase{"only_one", {"唯一"}, 62, true, {}, 61, false},
                      DeleteCase{"cancelled", {"userA", "userB"}, 62, false, {"userA", "userB"}, 62, true}),
    [](const ::testing::TestParamInfo<DeleteCase>& row) { return std::string(row.param.what); });

TEST(PanelPresets, DeleteAsksWithTheItemsName) {
    Panel p({.user = {userPreset("我的效果")}});
    ASSERT_TRUE(p.ready());
    p.combo()->setCurrentIndex(62);
    QString asked;
    p.dialogs.answers.push_back([&](QDialog& d) {
        asked = d.windowTitle() + "|" + dynamic_cast<QMessageBox&>(d).text();
        d.reject();
    });
    p.click(1065);
    EXPECT_EQ(asked, "提示|是否需要删除常用参数： 我的效果 ？");
}

// ---- para.bin changed by another program (qv7ctl alone, a second copy, a sync tool, an editor) ----

// Writes `names` as para.bin the way a sync tool does: a new file renamed over the old one.
void writeElsewhere(const std::filesystem::path& para, const std::vector<std::string>& names) {
    std::vector<PresetEntry> entries;
    for (const auto& n : names) entries.push_back(userPreset(n));
    const auto bytes = encodeUserPresets(entries);
    const auto temporary = para.parent_path() / "para.bin.sync";
    std::ofstream(temporary, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    std::filesystem::rename(temporary, para);
}

std::vector<std::string> fileNames(const std::filesystem::path& para) {
    std::vector<std::string> names;
    for (const auto& e : decodeUserPresets(fileBytes(para))) names.push_back(e.displayName());
    return names;
}

std::vector<std::string> userItems(QComboBox* combo) {
    std::vector<std::string> items;
    for (int i = 62; i < combo->count(); ++i) items.push_back(combo->itemText(i).toStdString());
    return items;
}

TEST(PanelPresets, AFileChangedByAnotherProgramIsReloadedIntoTheList) {
    Panel p({.user = {userPreset("userA"), userPreset("userB")}});
    ASSERT_TRUE(p.ready());
    p.combo()->setCurrentIndex(63);  // userB
    writeElsewhere(p.config.para(), {"userB", "外来"});
    const std::vector<std::string> expected = {"userB", "外来"};
    ASSERT_TRUE(QTest::qWaitFor([&] { return userItems(p.combo()) == expected; }, kWaitMs));
    // The selection stays on the preset it was on, and the list is the model's.
    EXPECT_EQ(p.combo()->currentIndex(), 62);
    EXPECT_EQ(p.window.presets().library().selection(), 62);
    EXPECT_TRUE(p.on(1065));
    EXPECT_EQ(p.window.presets().library().count(), 64);
    // Removed the same way: the list goes back to the built-ins only.
    std::filesystem::remove(p.config.para());
    ASSERT_TRUE(QTest::qWaitFor([&] { return p.combo()->count() == 62; }, kWaitMs));
    EXPECT_LT(p.combo()->currentIndex(), 62);
    EXPECT_FALSE(p.on(1065));
    EXPECT_TRUE(p.messages().empty());
}

TEST(PanelPresets, SaveAndDeleteBuildOnTheFileAsAnotherProgramLeftIt) {
    Panel p({.user = {userPreset("userA"), userPreset("userB"), userPreset("userC")}});
    ASSERT_TRUE(p.ready());
    // Written in place and saved over at once, before any watcher could have told the window.
    writeElsewhere(p.config.para(), {"userA", "userB", "userC", "imp1"});
    p.dialogs.answers.push_back(typeName("mine"));
    p.click(1030);
    EXPECT_EQ(fileNames(p.config.para()), (std::vector<std::string>{"userA", "userB", "userC", "imp1", "mine"}));
    // "删除效果" on userC, which another program moves while the question is open.
    p.combo()->setCurrentIndex(64);
    p.dialogs.answers.push_back([&](QDialog& d) {
        writeElsewhere(p.config.para(), {"userB", "userC", "mine"});
        dynamic_cast<QMessageBox&>(d).button(QMessageBox::Ok)->click();
    });
    p.click(1065);
    EXPECT_EQ(fileNames(p.config.para()), (std::vector<std::string>{"userB", "mine"}));
    EXPECT_EQ(userItems(p.combo()), (std::vector<std::string>{"userB", "mine"}));
    EXPECT_TRUE(p.messages().empty());
}

// ---- Quick keys ----

struct QuickKeyCase {
    const char* what;
    int button;
    std::function<void(QDialog&)> answer;
    int key;
    const char* caption;        // shown at once
    std::optional<int> stored;  // built-in preset the device's key then holds; nothing: the key is untouched
};

void PrintTo(const QuickKeyCase& c, std::ostream* os) { *os << c.what; }

class PanelQuickKeys : public ::testing::TestWithParam<QuickKeyCase> {};

TEST_P(PanelQuickKeys, RightClickReplacesTheKeyThroughCParaReplace) {
    const QuickKeyCase& c = GetParam();
    Panel p;
    ASSERT_TRUE(p.ready());
    const sim::QuickKey before = p.device([&](sim::TolkaSim& d) { return d.key(c.key); });
    p.dialogs.answers.push_back(c.answer);

    QTest::mousePress(p.window.control(c.button), Qt::RightButton);

    EXPECT_EQ(p.dialogs.shown, std::vector<QString>{"替换快捷参数"});
    EXPECT_EQ(p.text(c.button), qs(c.caption)) << "before any acknowledgement";
    if (!c.stored) {
        EXPECT_EQ(p.device([&](sim::TolkaSim& d) { return d.key(c.key).name; }), before.name);
        return;
    }
    const PresetEntry& e = builtin(*c.stored);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return p.device(
                [&](sim::TolkaSim& d) { return d.key(c.key).name == e.nameBytes() && d.key(c.key).set == e.set; });
        },
        kWaitMs));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelQuickKeys,
    ::testing::Values(QuickKeyCase{"chosen", 1070, replaceWith(QStringLiteral("唱歌03")), 1, "唱歌03", 5},
                      QuickKeyCase{"untouched_list", 1067, replaceWith(std::nullopt), 0, "原声默认", 0},
                      QuickKeyCase{"cancelled", 1071,
                                   [](QDialog& d) { dynamic_cast<CParaReplace&>(d).cancelButton()->click(); }, 2,
                                   "喊麦", std::nullopt}),
    [](const ::testing::TestParamInfo<QuickKeyCase>& row) { return std::string(row.param.what); });

TEST(PanelQuickKeys, ReplacementCarriesAnUnvalidatedUserPresetWithAllItsBytes) {
    PanelSetup s;
    s.config.firmwareVersion = "1.0.2";
    s.user = {userPreset("直播20", withLiveVol(builtin(5).set, 20))};
    Panel p(s);
    ASSERT_TRUE(p.ready());
    p.dialogs.answers.push_back(replaceWith(QStringLiteral("直播20")));
    QTest::mousePress(p.window.control(1070), Qt::RightButton);
    EXPECT_EQ(p.text(1070), "直播20");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            return p.device(
                [](sim::TolkaSim& d) { return d.key(1).set.liveVol == 20 && d.key(1).name == gbkOf("直播20"); });
        },
        kWaitMs));
}

// qv7ctl's `info` through the panel names the keys as their buttons do, however a key was stored: the device
// names its keys only when a conversation starts, so what it reported then is out of date after a store.
struct StoreWay {
    const char* what;
    std::function<void(Panel&, ForwardedCommands&)> store;  // puts 唱歌05 on key 2
};
void PrintTo(const StoreWay& c, std::ostream* os) { *os << c.what; }
class PanelKeyNames : public ::testing::TestWithParam<StoreWay> {};

// The reply to one command the panel carries out for qv7ctl, the window's events running meanwhile.
std::optional<handover::Reply> carryOut(ForwardedCommands& commands, const std::vector<std::string>& args) {
    auto reply = commands.start(args, 0);
    (void)QTest::qWaitFor([&] { return reply || (reply = commands.poll(0)); }, kWaitMs);  // nothing: no reply
    return reply;
}

TEST_P(PanelKeyNames, InfoThroughThePanelNamesTheKeysAsTheButtonsShowThem) {
    Panel p;
    ASSERT_TRUE(p.ready());
    ForwardedCommands commands(p.window.controller(), [&](const std::string& nameOrIndex) {
        return findPreset(p.window.presets().library(), nameOrIndex);
    });
    commands.setStoreKey([&](int key, int preset) {
        return p.window.presets().storeQuickKey(key, p.window.presets().library().entry(preset));
    });

    GetParam().store(p, commands);

    EXPECT_EQ(p.text(1071), "唱歌05");
    const auto plain = carryOut(commands, {"info"});
    ASSERT_TRUE(plain);
    EXPECT_NE(plain->out.find("quickKeys:         原声 | 唱歌 | 唱歌05\n"), std::string::npos) << plain->out;
    const auto json = carryOut(commands, {"info", "--json"});
    ASSERT_TRUE(json);
    EXPECT_NE(json->out.find(R"("quickKeys":["原声","唱歌","唱歌05"])"), std::string::npos) << json->out;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return p.device([](sim::TolkaSim& d) { return d.key(2).name == gbkOf("唱歌05"); }); }, kWaitMs));
}

INSTANTIATE_TEST_SUITE_P(
    Ways, PanelKeyNames,
    ::testing::Values(StoreWay{"right_click",
                               [](Panel& p, ForwardedCommands&) {
                                   p.dialogs.answers.push_back(replaceWith(QStringLiteral("唱歌05")));
                                   QTest::mousePress(p.window.control(1071), Qt::RightButton);
                               }},
                      StoreWay{"qv7ctl_key_store",
                               [](Panel&, ForwardedCommands& commands) {
                                   const auto reply = carryOut(commands, {"key", "store", "2", "唱歌05"});
                                   ASSERT_TRUE(reply);
                                   EXPECT_EQ(reply->code, handover::kOk) << reply->err;
                                   EXPECT_EQ(reply->out, "key 2 now holds 唱歌05\n");
                               }}),
    [](const ::testing::TestParamInfo<StoreWay>& row) { return std::string(row.param.what); });

// Counts the presses that get past the window's input filter.
struct PressSpy : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        presses += e->type() == QEvent::MouseButtonPress;
        return false;
    }
};

TEST(PanelQuickKeys, RightClickOutsideTheKeysDoesNothingAndIsConsumed) {
    Panel p;
    ASSERT_TRUE(p.ready());
    const long commands = p.commands();
    const QString captions[] = {p.text(1067), p.text(1070), p.text(1071)};
    for (int id : {1000, 1064, 1066, 1031}) {
        PressSpy spy;
        p.window.control(id)->installEventFilter(&spy);
        QTest::mousePress(p.window.control(id), Qt::RightButton);
        EXPECT_EQ(spy.presses, 0) << id;
        p.window.control(id)->removeEventFilter(&spy);
    }
    EXPECT_TRUE(p.dialogs.shown.empty());
    EXPECT_EQ(p.commands(), commands);
    EXPECT_EQ(p.text(1067), captions[0]);
    EXPECT_EQ(p.text(1070), captions[1]);
    EXPECT_EQ(p.text(1071), captions[2]);
}

struct NamesCase {
    const char* what;
    std::array<std::string, 3> names;  // GBK, as the device holds them
    std::array<const char*, 3> captions;
};

void PrintTo(const NamesCase& c, std::ostream* os) { *os << c.what; }

class PanelQuickKeyNames : public ::testing::TestWithParam<NamesCase> {};

TEST_P(PanelQuickKeyNames, CaptionsFollowTheNamesReply) {
    const NamesCase& c = GetParam();
    PanelSetup s;
    for (std::size_t k = 0; k < 3; ++k) s.config.keys[k].name = c.names[k];
    Panel p(s);
    ASSERT_TRUE(p.ready());
    for (std::size_t k = 0; k < 3; ++k) EXPECT_EQ(p.text(kQuickKeyButtons[k]), qs(c.captions[k])) << k;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PanelQuickKeyNames,
    ::testing::Values(NamesCase{"lengths_4_10_2", {gbkOf("原声"), "ABCDEFGHIJ", "AB"}, {"原声", "ABCDEFGHIJ", "AB"}},
                      NamesCase{"lengths_4_11_2", {gbkOf("原声"), "ABCDEFGHIJK", "AB"}, {"", "", ""}}),
    [](const ::testing::TestParamInfo<NamesCase>& row) { return std::string(row.param.what); });

// ---- The dialogs on their own ----

TEST(NameInput, ShowsItsTextsAndStartsEmpty) {
    NameInput d;
    EXPECT_EQ(d.windowTitle(), "输入名字");
    EXPECT_FALSE(d.findChildren<QLabel*>().isEmpty());
    EXPECT_EQ(d.findChildren<QLabel*>().first()->text(), "请输入该参数的名字，最长为5个汉字（10个字母）：");
    EXPECT_EQ(d.okButton()->text(), "确定");
    EXPECT_TRUE(d.okButton()->isDefault());
    EXPECT_EQ(d.cancelButton()->text(), "取消");
    EXPECT_TRUE(d.edit()->text().isEmpty());
}

struct TypingCase {
    const char* what;
    const char* typed;   // one key press per character
    const char* pasted;  // then all at once, as a paste or an input method delivers it
    const char* shown;
    bool refused;  // the refusal notice is showing
};

void PrintTo(const TypingCase& c, std::ostream* os) { *os << c.what; }

class NameInputTyping : public ::testing::TestWithParam<TypingCase> {};

TEST_P(NameInputTyping, TakesAtMostTenBytesOfWholeGbkCharacters) {
    const TypingCase& c = GetParam();
    NameInput d;
    d.show();
    typeInto(d.edit(), QString::fromUtf8(c.typed));
    if (*c.pasted)
        QTest::sendKeyEvent(QTest::Click, d.edit(), Qt::Key_unknown, QString::fromUtf8(c.pasted), Qt::NoModifier);
    EXPECT_EQ(d.edit()->text(), QString::fromUtf8(c.shown));
    EXPECT_EQ(d.name(), c.shown);
    EXPECT_LE(gbk::byteLength(d.name()).value(), 10u);
    EXPECT_EQ(d.notice()->text(), c.refused ? QStringLiteral("名称中有无法保存的字符，请换用其他字符") : QString());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, NameInputTyping,
    ::testing::Values(TypingCase{"ten_letters", "abcdefghij", "", "abcdefghij", false},
                      TypingCase{"no_eleventh_byte", "abcdefghijk", "", "abcdefghij", false},
                      TypingCase{"five_chinese_characters", "一二三四五", "", "一二三四五", false},
                      TypingCase{"nothing_after_five_characters", "一二三四五a", "", "一二三四五", false},
                      TypingCase{"never_half_a_character", "abcdefghi一", "", "abcdefghi", false},
                      TypingCase{"paste_keeps_what_fits", "abc", "一二三四", "abc一二三", false},
                      TypingCase{"non_gbk_refused", "ab", "x😀", "ab", true},
                      TypingCase{"non_gbk_typed_refused", "ab한", "", "ab", true},
                      TypingCase{"refusal_notice_goes_with_the_next_edit", "ab한c", "", "abc", false}),
    [](const ::testing::TestParamInfo<TypingCase>& row) { return std::string(row.param.what); });

// ---- the list's menu: "导出效果…" and "导入效果…" ----

TEST(PanelPresets, TheListsMenuExportsTheSelectedPresetAndImportsAFileIntoTheList) {
    const PresetEntry mine = userPreset("mine2", withLiveVol(builtin(5).set, 20));
    Panel p({.user = {mine}});
    ASSERT_TRUE(p.ready());
    p.combo()->setCurrentIndex(62);
    QTest::mousePress(p.combo(), Qt::RightButton);
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activePopupWidget() == &p.window.presetMenu(); }, kWaitMs));
    const auto actions = p.window.presetMenu().actions();
    p.window.presetMenu().close();
    ASSERT_EQ(actions.size(), 2);
    EXPECT_EQ(actions[0]->text(), "导出效果…");
    EXPECT_EQ(actions[1]->text(), "导入效果…");
    const std::filesystem::path dir = p.config.dir.path().toStdString();

    p.dialogs.answers = {chooseFile(dir / "mine2.json")};
    actions[0]->trigger();
    const auto exported = fileBytes(dir / "mine2.json");
    const auto parsed = parsePresetDocument(std::string(exported.begin(), exported.end()));
    ASSERT_TRUE(parsed.ok) << parsed.error.english;
    EXPECT_EQ(parsed.entries, std::vector<PresetEntry>{mine});
    // Each finishes by saying what it did: which preset went where, how many came in.
    EXPECT_EQ(p.takeMessages(),
              std::vector<std::string>{"提示|已导出 1 个效果（mine2）到 " + (dir / "mine2.json").string()});

    // A new preset and one whose name is taken: asked, then replaced in place and appended.
    const PresetEntry incoming[] = {userPreset("mine2", builtin(9).set), userPreset("新的", builtin(7).set)};
    const std::string doc = presetDocument(incoming);
    std::ofstream(dir / "in.json") << doc;
    p.dialogs.answers = {chooseFile(dir / "in.json"), clickBox(QMessageBox::Ok)};
    p.dialogs.shown.clear();
    actions[1]->trigger();
    EXPECT_EQ(p.dialogs.shown, (std::vector<QString>{"导入效果…", "提示"}));
    ASSERT_EQ(p.combo()->count(), 64);
    EXPECT_EQ(p.combo()->itemText(62), "mine2");
    EXPECT_EQ(p.combo()->itemText(63), "新的");
    EXPECT_EQ(decodeUserPresets(fileBytes(p.config.para())), (std::vector<PresetEntry>{incoming[0], incoming[1]}));
    EXPECT_EQ(p.takeMessages(), std::vector<std::string>{"提示|已从 " + (dir / "in.json").string() +
                                                         " 导入 2 个效果：新增 1 个，替换 1 个"});

    // A bad value: said in the window's message box with its field and range; nothing changes.
    const auto before = fileBytes(p.config.para());
    Json::Value bad;
    ASSERT_TRUE(Json::Reader().parse(doc, bad));
    bad["presets"][0]["parameters"]["micVol"] = 17;
    std::ofstream(dir / "bad.json") << bad.toStyledString();
    p.dialogs.answers = {chooseFile(dir / "bad.json")};
    actions[1]->trigger();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !p.messages().empty(); }, kWaitMs));
    EXPECT_EQ(p.messages(), std::vector<std::string>{"错误|第1个效果（mine2）：话筒（micVol）为 17，允许范围 0..16"});
    EXPECT_EQ(fileBytes(p.config.para()), before);
    EXPECT_EQ(p.combo()->count(), 64);
}

// The file dialogs open in the user's documents folder, whatever folder the panel was started in.
TEST(PanelPresets, ExportAndImportOpenInTheDocumentsFolder) {
    QTemporaryDir home;
    const QByteArray homeBefore = qgetenv("HOME"), configBefore = qgetenv("XDG_CONFIG_HOME");
    qputenv("HOME", home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/.config").toLocal8Bit());  // no user-dirs.dirs: ~/Documents
    const QString documents = home.path() + "/Documents";
    ASSERT_TRUE(QDir().mkpath(documents));
    ASSERT_NE(QDir::currentPath(), documents);
    {
        Panel p({.user = {userPreset("mine2")}});
        ASSERT_TRUE(p.ready());
        p.combo()->setCurrentIndex(62);
        std::vector<std::string> folders, files;
        auto look = [&](QDialog& d) {
            auto& dialog = dynamic_cast<QFileDialog&>(d);
            folders.push_back(dialog.directory().absolutePath().toStdString());
            files.push_back(dialog.selectedFiles().value(0).toStdString());
            d.reject();
        };
        p.dialogs.answers = {look};
        p.window.presets().exportSelected();
        p.dialogs.answers = {look};
        p.window.presets().importFile();
        EXPECT_EQ(folders, (std::vector<std::string>{documents.toStdString(), documents.toStdString()}));
        ASSERT_EQ(files.size(), 2U);
        EXPECT_EQ(files[0], (documents + "/mine2.json").toStdString()) << "the export proposes the preset's name there";
        EXPECT_TRUE(p.messages().empty()) << "a cancelled dialog did nothing and says nothing";
    }
    qputenv("HOME", homeBefore);
    if (configBefore.isNull()) qunsetenv("XDG_CONFIG_HOME");
    else qputenv("XDG_CONFIG_HOME", configBefore);
}

TEST(NameInput, InsertingInTheMiddleKeepsTheEndAndTheLimit) {
    NameInput d;
    QTest::keyClicks(d.edit(), "abcdefgh");
    d.edit()->setCursorPosition(2);
    QTest::sendKeyEvent(QTest::Click, d.edit(), Qt::Key_unknown, QStringLiteral("一二"), Qt::NoModifier);
    EXPECT_EQ(d.edit()->text(), "ab一cdefgh");
    EXPECT_EQ(d.edit()->cursorPosition(), 3);
}

TEST(CParaReplace, ListsTheLibraryAndStartsOnEntryZero) {
    HeadlessPresetUi ui;
    PresetLibrary library(ui, std::filesystem::path("/nonexistent/para.bin"), [](std::string_view) {});
    library.InitPresetLibrary();
    CParaReplace d(library);
    EXPECT_EQ(d.windowTitle(), "替换快捷参数");
    EXPECT_EQ(d.findChildren<QLabel*>().first()->text(),
              "    请从常用参数列表中选择一项替换这个按键对应的参数，这组参数会保存在Tolka中。");
    EXPECT_EQ(d.replaceButton()->text(), "替换");
    EXPECT_TRUE(d.replaceButton()->isDefault());
    EXPECT_EQ(d.cancelButton()->text(), "取消");
    ASSERT_EQ(d.list()->count(), 62);
    EXPECT_EQ(d.list()->currentIndex(), 0);
    EXPECT_EQ(d.chosen(), builtin(0));
    d.list()->setCurrentIndex(30);
    EXPECT_EQ(d.chosen(), builtin(30));
}

}  // namespace
}  // namespace qv7::panel
