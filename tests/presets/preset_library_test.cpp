// The library's operations as the window and qv7ctl drive them: list, save, delete, apply, file.
#include "presets/preset_library.h"

#include <gtest/gtest.h>

#include "driver_support.h"
#include "files.h"
#include "hex.h"
#include "params/builtin_presets.h"
#include "params/preset_file.h"
#include "preset_records.h"
#include "temp_dir.h"

namespace qv7 {
namespace {

using test::Bytes;
using test::FileSizeLimit;
using test::TempDir;
using Msg = HeadlessPresetUi::Message;

// The one message (or question) expected.
std::vector<Msg> only(std::string text, std::string caption) { return {{std::move(text), std::move(caption)}}; }

ParameterSet setOf(const Bytes& b) {
    ParameterSet::Bytes a{};
    std::copy(b.begin(), b.end(), a.begin());
    return ParameterSet::fromBytes(a);
}

class PresetLibraryTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir / "para.bin"; }
    void writeUserFile(std::initializer_list<std::string_view> names) {
        Bytes all;
        for (auto n : names) {
            const auto r = test::handRecord(test::singingDefault(), n);
            all.insert(all.end(), r.begin(), r.end());
        }
        test::writeFile(file(), all);
    }
    std::vector<std::string> fileNames() const {
        std::vector<std::string> out;
        if (const auto b = test::readFile(file()))
            for (const auto& e : decodeUserPresets(*b)) out.push_back(e.nameBytes());
        return out;
    }
    void init() { lib.InitPresetLibrary(); }

    TempDir dir;
    HeadlessPresetUi ui;
    std::vector<std::string> trace;
    PresetLibrary lib{ui, dir / "para.bin", [this](std::string_view l) { trace.emplace_back(l); }};
};

TEST_F(PresetLibraryTest, WithoutAFileHoldsTheBuiltinsWithTheFirstSelected) {
    init();
    ASSERT_EQ(lib.count(), 62);
    ASSERT_EQ(ui.items.size(), 62u);
    for (int i = 0; i < 62; ++i)
        EXPECT_EQ(ui.items[static_cast<std::size_t>(i)], builtinPresetUtf8Name(static_cast<std::size_t>(i)));
    EXPECT_EQ(ui.items[0], "原声默认");
    EXPECT_EQ(lib.selection(), 0);
    EXPECT_EQ(ui.selected, 0);
    EXPECT_TRUE(trace.empty());
}

TEST_F(PresetLibraryTest, UserRecordsFollowTheBuiltinsAndABadOneIsSkipped) {
    const Bytes bad = test::handRecord(test::singingDefault(), "two", 7);
    test::writeFile(file(), test::cat({test::handRecord(test::singingDefault(), "one"), bad,
                                       test::handRecord(test::singingDefault(), "three")}));
    init();
    ASSERT_EQ(lib.count(), 64);
    EXPECT_EQ(ui.items[62], "one");
    EXPECT_EQ(ui.items[63], "three");
    EXPECT_EQ(lib.entry(63).set, setOf(test::singingDefault()));
}

TEST_F(PresetLibraryTest, ReinitialisingDoesNotDuplicateTheList) {
    init();
    init();
    EXPECT_EQ(ui.items.size(), 62u);
}

TEST_F(PresetLibraryTest, SelectionTracesAndSetsTheDeleteButton) {
    writeUserFile({"u"});
    init();
    const struct {
        int index;
        bool deletable;
    } cases[] = {{0, false}, {61, false}, {62, true}, {-1, false}};
    for (const auto& c : cases) {
        trace.clear();
        lib.OnPresetSelected(c.index);
        EXPECT_EQ(ui.deleteEnabled, c.deletable) << c.index;
        EXPECT_EQ(trace, std::vector<std::string>{std::to_string(c.index) + "\n"});
    }
}

TEST_F(PresetLibraryTest, ThreeLetterSaveAppendsEntry62AndWritesTheFixture) {
    init();
    ui.name = "abc";
    lib.SavePresetAs(setOf(test::singingDefault()));
    EXPECT_EQ(lib.count(), 63);
    EXPECT_EQ(ui.items.back(), "abc");
    EXPECT_EQ(lib.selection(), 0);  // the selection stays where it was
    EXPECT_EQ(test::readFile(file()), test::abcRecordFixture());
    EXPECT_EQ(trace, std::vector<std::string>{"total(63)\n"});
    EXPECT_TRUE(ui.messages.empty());
}

TEST_F(PresetLibraryTest, NamesAreCheckedInGbkBytes) {
    const struct {
        const char* name;
        std::optional<std::string_view> message;  // nothing: accepted
    } cases[] = {
        {"", preset_text::kNameLength},
        {"abcdefghijk", preset_text::kNameLength},
        {"原声默认唱歌", preset_text::kNameLength},  // 12 bytes
        {"ab한", preset_text::kNameNotGbk},
        {"😀", preset_text::kNameNotGbk},
        {"abcdefghij", std::nullopt},
        {"原声默认唱", std::nullopt},  // five Chinese characters, exactly 10 bytes
    };
    init();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ui.messages.clear();
        const int before = lib.count();
        ui.name = c.name;
        lib.SavePresetAs(ParameterSet{});
        if (c.message) {
            EXPECT_EQ(ui.messages, only(std::string(*c.message), "错误"));
            EXPECT_EQ(lib.count(), before);
        } else {
            EXPECT_TRUE(ui.messages.empty());
            EXPECT_EQ(lib.count(), before + 1);
        }
    }
}

TEST_F(PresetLibraryTest, CancelledNameDialogSavesNothing) {
    init();
    ui.name.reset();
    lib.SavePresetAs(ParameterSet{});
    EXPECT_EQ(lib.count(), 62);
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_TRUE(trace.empty());
}

TEST_F(PresetLibraryTest, FiveCharacterChineseNameRoundTripsThroughTheFile) {
    init();
    ui.name = "原声默认唱";
    lib.SavePresetAs(setOf(test::singingDefault()));
    const auto bytes = test::readFile(file());
    ASSERT_TRUE(bytes);
    EXPECT_EQ(Bytes(bytes->begin() + 32, bytes->begin() + 42), test::hex("D4 AD C9 F9 C4 AC C8 CF B3 AA"));

    HeadlessPresetUi ui2;
    PresetLibrary again(ui2, file(), [](std::string_view) {});
    again.InitPresetLibrary();
    ASSERT_EQ(again.count(), 63);
    EXPECT_EQ(ui2.items[62], "原声默认唱");
    EXPECT_EQ(again.entry(62), lib.entry(62));
}

TEST_F(PresetLibraryTest, FullLibraryRefusesToSaveAndLosesNothing) {
    std::vector<std::string> names;
    for (int i = 0; i < 138; ++i) names.push_back("u" + std::to_string(i));
    Bytes all;
    for (const auto& n : names) {
        const auto r = test::handRecord(test::singingDefault(), n);
        all.insert(all.end(), r.begin(), r.end());
    }
    test::writeFile(file(), all);
    init();
    ASSERT_EQ(lib.count(), 200);
    ui.name = "new";
    lib.SavePresetAs(ParameterSet{});
    EXPECT_EQ(ui.messages, only("效果列表已满，无法保存", "错误"));
    EXPECT_EQ(lib.count(), 200);
    EXPECT_EQ(ui.items.size(), 200u);
    EXPECT_EQ(test::readFile(file()), all);
    EXPECT_EQ(lib.savePreset("new", ParameterSet{}), SaveOutcome::Full);
    EXPECT_FALSE(lib.AddPreset(PresetEntry{}));
}

TEST_F(PresetLibraryTest, DeletingTheOnlyUserPresetRemovesTheFile) {
    writeUserFile({"abc"});
    init();
    lib.OnPresetSelected(62);
    trace.clear();
    lib.DeletePreset();
    EXPECT_EQ(ui.questions, only("是否需要删除常用参数： abc ？", "提示"));
    EXPECT_EQ(lib.count(), 62);
    EXPECT_EQ(lib.selection(), 61);
    EXPECT_EQ(ui.selected, 61);
    EXPECT_FALSE(ui.deleteEnabled);
    EXPECT_FALSE(std::filesystem::exists(file()));
    EXPECT_EQ(trace, (std::vector<std::string>{"62\n", "total(62)\n"}));
}

TEST_F(PresetLibraryTest, DeletingKeepsTheRightSelectionAndRewritesTheFile) {
    const struct {
        const char* what;
        int selected;
        int selectionAfter;
        bool deleteEnabledAfter;
        std::vector<std::string> fileAfter;
    } cases[] = {
        {"middle: same index, now the next preset", 63, 63, true, {"one", "three"}},
        {"first of three", 62, 62, true, {"two", "three"}},
        {"last of several: the one before, button off", 64, 63, false, {"one", "two"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeUserFile({"one", "two", "three"});
        init();
        lib.OnPresetSelected(c.selected);
        lib.DeletePreset();
        EXPECT_EQ(lib.count(), 64);
        EXPECT_EQ(lib.selection(), c.selectionAfter);
        EXPECT_EQ(ui.selected, c.selectionAfter);
        EXPECT_EQ(ui.deleteEnabled, c.deleteEnabledAfter);
        EXPECT_EQ(fileNames(), c.fileAfter);
        EXPECT_EQ(lib.entry(64), PresetEntry{});  // the freed slot is zero
        EXPECT_EQ(std::vector<std::string>(ui.items.begin() + 62, ui.items.end()), c.fileAfter);
    }
}

TEST_F(PresetLibraryTest, DeleteDoesNothingForBuiltinsNoSelectionOrCancel) {
    writeUserFile({"one"});
    const Bytes before = *test::readFile(file());
    init();
    const struct {
        const char* what;
        int selected;
        bool answer;
        std::size_t questions;
    } cases[] = {{"built-in", 5, true, 0}, {"no selection", -1, true, 0}, {"cancelled", 62, false, 1}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ui.questions.clear();
        ui.answer = c.answer;
        lib.OnPresetSelected(c.selected);
        lib.DeletePreset();
        EXPECT_EQ(ui.questions.size(), c.questions);
        EXPECT_EQ(lib.count(), 63);
        EXPECT_EQ(test::readFile(file()), before);
    }
    EXPECT_FALSE(lib.removeUserPreset(61));
    EXPECT_FALSE(lib.removeUserPreset(63));
}

TEST_F(PresetLibraryTest, FailedWriteShowsTheMessageKeepsTheOldFileAndTheEntries) {
    writeUserFile({"one"});
    const Bytes before = *test::readFile(file());
    init();
    ui.name = "two";
    {
        FileSizeLimit limit(150);
        lib.SavePresetAs(ParameterSet{});
    }
    EXPECT_EQ(ui.messages, only("写失败！！", "Error"));
    EXPECT_EQ(test::readFile(file()), before);
    EXPECT_EQ(lib.count(), 64);  // the library keeps the new preset
    EXPECT_NE(lib.lastFileError().find("para.bin"), std::string::npos) << lib.lastFileError();
    // The next successful save writes it out.
    ui.messages.clear();
    EXPECT_TRUE(lib.SaveUserPresets());
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"one", "two"}));
}

TEST_F(PresetLibraryTest, UncreatableFileShowsTheMessage) {
    PresetLibrary elsewhere(ui, dir / "missing-dir" / "para.bin", [](std::string_view) {});
    elsewhere.InitPresetLibrary();
    EXPECT_EQ(elsewhere.savePreset("x", ParameterSet{}), SaveOutcome::WriteFailed);
    EXPECT_EQ(ui.messages, only("写失败！！", "Error"));
    EXPECT_EQ(elsewhere.count(), 63);
}

// ---- applying to the driver ----

ParameterSet withBytes(ParameterSet s, std::initializer_list<std::pair<std::size_t, uint8_t>> changes) {
    for (auto [b, v] : changes) s.set(b, v);
    return s;
}

TEST_F(PresetLibraryTest, ApplyChecksForTheFirmwareAndKeepsTheDevicesOwnFields) {
    const ParameterSet base = BuiltinPresets()[1].set;  // auto_poweroff_time 10, accompany 0, auto_poweroff 0
    ParameterSet device{};
    device.accompany = 1;
    device.auto_poweroff = 1;
    device.auto_poweroff_time = 5;
    const ParameterSet lateZero = withBytes(base, {{25, 0}, {26, 0}, {27, 0}, {28, 0}, {29, 0}});
    const struct {
        const char* what;
        const char* firmware;
        ParameterSet preset;
        bool sent;
        std::size_t bytesSent;
    } cases[] = {
        {"device fields kept", "1.0.7", base, true, 30},
        {"liveVol 20 on 1.0.2", "1.0.2", withBytes(base, {{3, 20}}), false, 0},
        {"liveVol 20 on 1.0.3", "1.0.3", withBytes(base, {{3, 20}}), true, 30},
        {"late fields ignored on 1.0.0", "1.0.0", lateZero, true, 25},
        {"late fields checked on 1.0.7", "1.0.7", lateZero, false, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        HeadlessPresetUi ui2;
        std::vector<std::string> lines;
        PresetLibrary l(ui2, dir / "none.bin", [&](std::string_view s) { lines.emplace_back(s); });
        l.InitPresetLibrary();
        l.AddPreset(PresetEntry::make(c.preset, "p"));
        l.OnPresetSelected(62);
        lines.clear();
        mfi driver;
        driver.setDiagnostics([](std::string_view) {});
        test::identify(driver, c.firmware);
        ParameterSet deviceSetting = device, controlSetting = device;
        l.ApplyPreset(driver, deviceSetting, controlSetting);

        ParameterSet expected = c.preset;
        expected.accompany = 1;
        expected.auto_poweroff = 1;
        expected.auto_poweroff_time = 5;
        if (c.sent) {
            const auto app = test::pendingApplication(driver);
            const auto e = expected.bytes();
            EXPECT_EQ(app, test::cat({{0x01}, Bytes(e.begin(), e.begin() + static_cast<long>(c.bytesSent))}));
            EXPECT_EQ(deviceSetting, expected);
            EXPECT_EQ(controlSetting, expected);
            EXPECT_EQ(lines, std::vector<std::string>{"mfiSetPara\n"});
            EXPECT_EQ(ui2.refreshes, 1);
        } else {
            EXPECT_EQ(driver.pendingLength(), 0);
            EXPECT_EQ(deviceSetting, device);
            EXPECT_EQ(controlSetting, device);
            EXPECT_TRUE(lines.empty());
            EXPECT_EQ(ui2.refreshes, 0);
        }
        EXPECT_TRUE(ui2.messages.empty());
    }
}

TEST_F(PresetLibraryTest, ApplyWithoutSelectionOrWithAMismatchedItemSendsNothing) {
    init();
    mfi driver;
    driver.setDiagnostics([](std::string_view) {});
    test::identify(driver, "1.0.7");
    ParameterSet deviceSetting{}, controlSetting{};

    lib.OnPresetSelected(-1);
    lib.ApplyPreset(driver, deviceSetting, controlSetting);
    EXPECT_EQ(driver.pendingLength(), 0);
    EXPECT_TRUE(ui.messages.empty());

    lib.OnPresetSelected(5);
    ui.items[5] = "changed";
    lib.ApplyPreset(driver, deviceSetting, controlSetting);
    EXPECT_EQ(driver.pendingLength(), 0);
    EXPECT_EQ(ui.messages, only("参数错误！", "提示"));
    EXPECT_EQ(deviceSetting, ParameterSet{});
}

// ---- qv7ctl helpers ----

TEST_F(PresetLibraryTest, CommandLineFindsAndListsPresets) {
    writeUserFile({"abc", "300", "abc"});
    init();
    const struct {
        const char* arg;
        std::optional<int> index;
    } cases[] = {
        {"0", 0},    {"61", 61},  {"064", 64},           {"原声默认", 0},    {"唱歌03", 5},
        {"abc", 62}, {"300", 63}, {"999", std::nullopt}, {"", std::nullopt}, {"nothing", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(findPreset(lib, c.arg), c.index) << c.arg;

    const auto list = listPresets(lib);
    ASSERT_EQ(list.size(), 65u);
    EXPECT_EQ(list[0].name, "原声默认");
    EXPECT_TRUE(list[61].builtin);
    EXPECT_FALSE(list[62].builtin);
    EXPECT_EQ(list[64].index, 64);
}

TEST_F(PresetLibraryTest, CommandLineApplyUsesTheSameRules) {
    mfi driver;
    test::identify(driver, "1.0.2");
    ParameterSet device{};
    device.auto_poweroff_time = 7;
    const auto ok = presetForDevice(BuiltinPresets()[0].set, device, driver);
    ASSERT_TRUE(ok);
    EXPECT_EQ(ok->auto_poweroff_time, 7);
    EXPECT_EQ(presetForDevice(withBytes(BuiltinPresets()[0].set, {{3, 20}}), device, driver), std::nullopt);
}

// ---- another program writes para.bin while the library holds it (qv7ctl, a second panel, a sync tool) ----

// What the other program leaves: the named presets, or no file at all; written the way a sync tool or an
// editor does (a new file renamed over the old one) or in place.
struct ElsewhereCase {
    const char* what;
    std::vector<std::string_view> loaded;               // para.bin when the library loaded it
    std::string_view selected;                          // the user preset selected before the change, "" for none
    std::optional<std::vector<std::string_view>> then;  // para.bin after the other program; nothing: removed
    bool inPlace;
    enum class Op { Reload, Save, Import, Delete } op;
    std::string_view operand;        // the name saved or imported, or the (stale) selection deleted
    std::vector<std::string> file;   // para.bin afterwards
    std::vector<std::string> list;   // the user presets listed afterwards
    std::string_view selectedAfter;  // "" when the selection is not on a user preset
};

void PrintTo(const ElsewhereCase& c, std::ostream* os) { *os << c.what; }

class PresetLibraryElsewhereTest : public PresetLibraryTest, public ::testing::WithParamInterface<ElsewhereCase> {
protected:
    void writeElsewhere(const std::optional<std::vector<std::string_view>>& names, bool inPlace) {
        if (!names) {
            std::filesystem::remove(file());
            return;
        }
        Bytes all;
        for (auto n : *names) {
            const auto r = test::handRecord(test::singingDefault(), n);
            all.insert(all.end(), r.begin(), r.end());
        }
        if (inPlace) return test::writeFile(file(), all);
        test::writeFile(dir / "para.bin.sync", all);
        std::filesystem::rename(dir / "para.bin.sync", file());
    }
    int indexOf(std::string_view name) const {
        for (int i = 62; i < lib.count(); ++i)
            if (lib.entry(i).nameBytes() == name) return i;
        return -1;
    }
};

TEST_P(PresetLibraryElsewhereTest, BuildsOnTheFileAsItIsNow) {
    const ElsewhereCase& c = GetParam();
    if (!c.loaded.empty()) writeElsewhere(c.loaded, false);
    init();
    if (!c.selected.empty()) lib.select(indexOf(c.selected));
    const int staleIndex = indexOf(c.operand);
    writeElsewhere(c.then, c.inPlace);
    EXPECT_TRUE(lib.fileChanged());
    switch (c.op) {
    case ElsewhereCase::Op::Reload:
        EXPECT_TRUE(lib.reloadIfChanged());
        break;
    case ElsewhereCase::Op::Save:
        EXPECT_EQ(lib.savePreset(c.operand, setOf(test::singingDefault())), SaveOutcome::Saved);
        break;
    case ElsewhereCase::Op::Import: {
        const PresetEntry one[] = {PresetEntry::make(setOf(test::singingDefault()), std::string(c.operand))};
        EXPECT_EQ(lib.addPresets(one, false).outcome, AddPresetsResult::Outcome::Added);
        break;
    }
    case ElsewhereCase::Op::Delete:
        ASSERT_GE(staleIndex, 62);
        EXPECT_TRUE(lib.removeUserPreset(staleIndex));
        break;
    }
    EXPECT_EQ(fileNames(), c.file);
    std::vector<std::string> listed(ui.items.begin() + 62, ui.items.end());
    EXPECT_EQ(listed, c.list);
    ASSERT_EQ(lib.count(), static_cast<int>(ui.items.size()));
    if (c.selectedAfter.empty()) {
        EXPECT_LT(lib.selection(), 62);
    } else {
        EXPECT_EQ(lib.selection(), indexOf(c.selectedAfter));
        EXPECT_EQ(ui.selected, lib.selection());
        // A delete leaves the button as the window's own delete does.
        if (c.op == ElsewhereCase::Op::Reload) {
            EXPECT_TRUE(ui.deleteEnabled);
        }
    }
    EXPECT_FALSE(lib.fileChanged());
    EXPECT_TRUE(ui.messages.empty());
}

using Op = ElsewhereCase::Op;
INSTANTIATE_TEST_SUITE_P(
    Cases, PresetLibraryElsewhereTest,
    ::testing::Values(
        ElsewhereCase{"reload_takes_in_an_import",
                      {"one"},
                      "one",
                      {{"one", "imp1"}},
                      false,
                      Op::Reload,
                      "",
                      {"one", "imp1"},
                      {"one", "imp1"},
                      "one"},
        ElsewhereCase{"reload_in_place_edit",
                      {"one", "two"},
                      "two",
                      {{"two", "one"}},
                      true,
                      Op::Reload,
                      "",
                      {"two", "one"},
                      {"two", "one"},
                      "two"},
        ElsewhereCase{"reload_selected_gone",
                      {"a", "b", "c"},
                      "c",
                      {{"a", "b"}},
                      false,
                      Op::Reload,
                      "",
                      {"a", "b"},
                      {"a", "b"},
                      "b"},
        ElsewhereCase{"reload_file_removed", {"a", "b"}, "", std::nullopt, false, Op::Reload, "", {}, {}, ""},
        ElsewhereCase{"save_keeps_an_import",
                      {"one"},
                      "",
                      {{"one", "imp1"}},
                      false,
                      Op::Save,
                      "mine",
                      {"one", "imp1", "mine"},
                      {"one", "imp1", "mine"},
                      ""},
        ElsewhereCase{"save_keeps_a_delete",
                      {"one", "two"},
                      "",
                      {{"two"}},
                      true,
                      Op::Save,
                      "mine",
                      {"two", "mine"},
                      {"two", "mine"},
                      ""},
        ElsewhereCase{"save_after_removal", {"one"}, "", std::nullopt, false, Op::Save, "mine", {"mine"}, {"mine"}, ""},
        ElsewhereCase{"import_keeps_an_import",
                      {},
                      "",
                      {{"imp1"}},
                      false,
                      Op::Import,
                      "imp2",
                      {"imp1", "imp2"},
                      {"imp1", "imp2"},
                      ""},
        ElsewhereCase{"delete_finds_the_preset_meant",
                      {"a", "b", "c"},
                      "",
                      {{"b", "c"}},
                      false,
                      Op::Delete,
                      "c",
                      {"b"},
                      {"b"},
                      "b"},
        ElsewhereCase{
            "delete_of_one_deleted_elsewhere", {"a", "b"}, "", {{"a"}}, false, Op::Delete, "b", {"a"}, {"a"}, ""}),
    [](const ::testing::TestParamInfo<ElsewhereCase>& c) { return std::string(c.param.what); });

TEST_F(PresetLibraryTest, ItsOwnWritesAndAnIdenticalRewriteAreNoChange) {
    writeUserFile({"one"});
    init();
    EXPECT_FALSE(lib.fileChanged());
    ASSERT_EQ(lib.savePreset("two", setOf(test::singingDefault())), SaveOutcome::Saved);
    EXPECT_FALSE(lib.fileChanged());
    // The same bytes under a new inode and time, as a sync tool that copies back leaves them.
    const auto bytes = test::readFile(file());
    ASSERT_TRUE(bytes);
    test::writeFile(dir / "copy", *bytes);
    std::filesystem::rename(dir / "copy", file());
    EXPECT_FALSE(lib.reloadIfChanged());
    EXPECT_EQ(ui.items.size(), 64u);
}

TEST_F(PresetLibraryTest, AWriteNeverReplacesAFileItHasNotSeen) {
    writeUserFile({"one"});
    init();
    writeUserFile({"one", "theirs"});
    // The low-level write, without the reload every change makes first: refused, their file untouched.
    EXPECT_FALSE(lib.SaveUserPresets());
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"one", "theirs"}));
    EXPECT_EQ(ui.messages, only("保存失败", "提示"));
    EXPECT_NE(lib.lastFileError().find("changed by another program"), std::string::npos) << lib.lastFileError();
}

TEST_F(PresetLibraryTest, TheWindowsDeleteRemovesThePresetAskedAbout) {
    writeUserFile({"a", "b", "c"});
    init();
    lib.OnPresetSelected(64);  // "c"
    // Before the delete another program removes "a", moving "c" up one place.
    writeUserFile({"b", "c"});
    lib.DeletePreset();
    EXPECT_EQ(fileNames(), (std::vector<std::string>{"b"}));
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_NE(ui.questions[0].text.find('c'), std::string::npos);
}

}  // namespace
}  // namespace qv7
