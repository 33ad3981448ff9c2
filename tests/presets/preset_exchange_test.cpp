// Presets to a JSON document and back into the library: values kept exactly, every bad document refused whole.
#include "presets/preset_exchange.h"

#include <gtest/gtest.h>

#include <functional>

#include "files.h"
#include "params/builtin_presets.h"
#include "params/preset_file.h"
#include "temp_dir.h"

namespace qv7 {
namespace {

using test::TempDir;

PresetEntry named(std::string_view utf8, const ParameterSet& set) {
    return PresetEntry::make(set, *gbk::fromUtf8(utf8));
}

// A user preset with every field at the top of its widest range, so a value clipped on the way shows.
PresetEntry topUserPreset() {
    ParameterSet::Bytes b{};
    for (const auto& f : parameterFields()) b[f.byte] = f.maxNewer;
    return named("我的mine", ParameterSet::fromBytes(b));
}

Json::Value parse(const std::string& text) {
    Json::Value v;
    std::string errors;
    Json::CharReaderBuilder rb;
    const std::unique_ptr<Json::CharReader> r(rb.newCharReader());
    EXPECT_TRUE(r->parse(text.data(), text.data() + text.size(), &v, &errors)) << errors;
    return v;
}

std::string write(const Json::Value& v) { return Json::writeString(Json::StreamWriterBuilder(), v); }

class PresetExchangeTest : public ::testing::Test {
protected:
    std::filesystem::path file() const { return dir / "para.bin"; }
    // The library after a restart: what para.bin holds.
    std::vector<PresetEntry> reloaded() {
        HeadlessPresetUi otherUi;
        PresetLibrary other(otherUi, file(), [](std::string_view) {});
        other.InitPresetLibrary();
        const auto all = other.entries();
        return {all.begin() + static_cast<std::ptrdiff_t>(FIRST_USER_INDEX), all.end()};
    }
    void withUserPresets(const std::vector<PresetEntry>& user) {
        const auto bytes = encodeUserPresets(user);
        test::writeFile(file(), test::Bytes(bytes.begin(), bytes.end()));
        lib.InitPresetLibrary();
    }

    TempDir dir;
    HeadlessPresetUi ui;
    PresetLibrary lib{ui, dir / "para.bin", [](std::string_view) {}};
};

TEST_F(PresetExchangeTest, EveryBuiltinAndAUserPresetComeBackIdenticalAsUserPresets) {
    lib.InitPresetLibrary();
    std::vector<PresetEntry> out(BuiltinPresets().begin(), BuiltinPresets().end());
    out.push_back(topUserPreset());
    const std::string text = presetDocument(out);

    const PresetImport r = importPresetDocument(lib, text, false);
    ASSERT_TRUE(r.ok) << r.error.english;
    EXPECT_EQ(r.added, 63);
    EXPECT_EQ(r.replaced, 0);
    ASSERT_EQ(lib.count(), 62 + 63);
    EXPECT_EQ(reloaded(), out) << "names and all 30 values, through para.bin";
    EXPECT_EQ(ui.items[62], "原声默认") << "the list shows them at once";
    EXPECT_EQ(ui.items.back(), "我的mine");
    EXPECT_TRUE(ui.messages.empty());
    // The document is what `get --json` would print for each preset's parameters.
    const Json::Value doc = parse(text);
    EXPECT_EQ(doc["format"], "qv7-presets");
    EXPECT_EQ(doc["version"], 1);
    EXPECT_EQ(doc["presets"][62]["name"], "我的mine");
    EXPECT_EQ(doc["presets"][62]["parameters"]["liveVol"], 24);
    EXPECT_EQ(doc["presets"][62]["parameters"]["eqGain"].size(), 7u);
    EXPECT_EQ(doc["presets"][62]["parameters"].size(), 24u) << "23 fields and the eqGain array";
}

TEST_F(PresetExchangeTest, ANameClashIsRefusedUnlessReplacedInPlace) {
    withUserPresets({named("one", BuiltinPresets()[3].set), named("two", BuiltinPresets()[4].set)});
    const PresetEntry incoming[] = {named("new", BuiltinPresets()[7].set), named("one", BuiltinPresets()[9].set)};
    const auto before = test::readFile(file());

    const PresetImport refused = importPresetDocument(lib, presetDocument(incoming), false);
    EXPECT_FALSE(refused.ok);
    EXPECT_TRUE(refused.clash);
    EXPECT_EQ(refused.error.english,
              "preset 2 (one): a user preset of that name exists (import with --replace to overwrite it)");
    EXPECT_EQ(test::readFile(file()), before);
    EXPECT_EQ(lib.count(), 64);

    const PresetImport replaced = importPresetDocument(lib, presetDocument(incoming), true);
    ASSERT_TRUE(replaced.ok) << replaced.error.english;
    EXPECT_EQ(replaced.added, 1);
    EXPECT_EQ(replaced.replaced, 1);
    const std::vector<PresetEntry> expected = {named("one", BuiltinPresets()[9].set),
                                               named("two", BuiltinPresets()[4].set),
                                               named("new", BuiltinPresets()[7].set)};
    EXPECT_EQ(reloaded(), expected);
    EXPECT_EQ(std::vector<std::string>(ui.items.begin() + 62, ui.items.end()),
              (std::vector<std::string>{"one", "two", "new"}));
}

// One valid preset, changed by `edit`.
std::string documentWith(const std::function<void(Json::Value&)>& edit) {
    const PresetEntry one[] = {named("好的", BuiltinPresets()[10].set)};
    Json::Value doc = parse(presetDocument(one));
    edit(doc);
    return write(doc);
}
Json::Value& first(Json::Value& doc) { return doc["presets"][0]; }
Json::Value& params(Json::Value& doc) { return first(doc)["parameters"]; }

struct BadCase {
    const char* what;
    std::function<std::string()> text;
    std::string english;  // the whole message
    std::string chinese;  // as the window shows it, the controls named by their captions
};
void PrintTo(const BadCase& c, std::ostream* os) { *os << c.what; }

std::string manyPresets(int n) {
    std::vector<PresetEntry> out;
    for (int i = 0; i < n; ++i) out.push_back(named("p" + std::to_string(i), BuiltinPresets()[0].set));
    return presetDocument(out);
}

const BadCase kBadCases[] = {
    {"not JSON", [] { return std::string("name=唱歌03\n"); },
     "not JSON: Line 1, Column 1: Syntax error: value, object or array expected.",
     "不是 JSON 文件：第 1 行第 1 列有语法错误"},
    {"another JSON document", [] { return std::string(R"({"parameters": {}})"); },
     "not a preset file: \"format\" must be \"qv7-presets\"", "不是效果文件：\"format\" 必须是 \"qv7-presets\""},
    {"a newer version", [] { return documentWith([](Json::Value& d) { d["version"] = 2; }); },
     "unsupported version 2 (this program reads version 1)", "不支持的版本 2（本程序读取版本 1）"},
    {"no version", [] { return documentWith([](Json::Value& d) { d.removeMember("version"); }); },
     "unsupported version missing (this program reads version 1)", "没有版本号（本程序读取版本 1）"},
    {"a missing field", [] { return documentWith([](Json::Value& d) { params(d).removeMember("micVol"); }); },
     "preset 1 (好的): missing field micVol", "第1个效果（好的）：缺少字段 话筒（micVol）"},
    {"a value above its range", [] { return documentWith([](Json::Value& d) { params(d)["micVol"] = 17; }); },
     "preset 1 (好的): micVol is 17, allowed 0..16", "第1个效果（好的）：话筒（micVol）为 17，允许范围 0..16"},
    {"a value below its range", [] { return documentWith([](Json::Value& d) { params(d)["delay"] = 0; }); },
     "preset 1 (好的): delay is 0, allowed 1..20", "第1个效果（好的）：延时（delay）为 0，允许范围 1..20"},
    {"liveVol past the newest firmware's limit",
     [] { return documentWith([](Json::Value& d) { params(d)["liveVol"] = 25; }); },
     "preset 1 (好的): liveVol is 25, allowed 0..24", "第1个效果（好的）：直播（liveVol）为 25，允许范围 0..24"},
    {"an eq band out of range", [] { return documentWith([](Json::Value& d) { params(d)["eqGain"][3] = 49; }); },
     "preset 1 (好的): eqGain[3] is 49, allowed 0..48",
     "第1个效果（好的）：均衡器 750（eqGain[3]）为 49，允许范围 0..48"},
    {"a byte that would wrap", [] { return documentWith([](Json::Value& d) { params(d)["effectState"] = 256; }); },
     "preset 1 (好的): effectState is 256, allowed 0..255", "第1个效果（好的）：effectState 为 256，允许范围 0..255"},
    {"text for a number", [] { return documentWith([](Json::Value& d) { params(d)["micVol"] = "5"; }); },
     "preset 1 (好的): micVol is not a whole number, allowed 0..16",
     "第1个效果（好的）：话筒（micVol）为 不是整数，允许范围 0..16"},
    {"six eq bands", [] { return documentWith([](Json::Value& d) { params(d)["eqGain"].resize(6); }); },
     "preset 1 (好的): eqGain must be a list of 7 numbers", "第1个效果（好的）：均衡器（eqGain）必须是 7 个数的列表"},
    {"an unknown field", [] { return documentWith([](Json::Value& d) { params(d)["micVolume"] = 3; }); },
     "preset 1 (好的): unknown field micVolume", "第1个效果（好的）：未知字段 micVolume"},
    {"a name too long", [] { return documentWith([](Json::Value& d) { first(d)["name"] = "唱歌唱歌唱歌"; }); },
     "preset 1 (唱歌唱歌唱歌): the name must be 1 to 10 GBK bytes (5 Chinese characters or 10 letters)",
     "第1个效果（唱歌唱歌唱歌）：参数名称必须大于0个字符小于10个字符"},
    {"an empty name", [] { return documentWith([](Json::Value& d) { first(d)["name"] = ""; }); },
     "preset 1: the name must be 1 to 10 GBK bytes (5 Chinese characters or 10 letters)",
     "第1个效果：参数名称必须大于0个字符小于10个字符"},
    {"a name GBK cannot hold", [] { return documentWith([](Json::Value& d) { first(d)["name"] = "🎤"; }); },
     "preset 1: the name has characters a preset name cannot hold",
     "第1个效果：名称中有无法保存的字符，请换用其他字符"},
    {"a name with a NUL or another control character",
     [] { return documentWith([](Json::Value& d) { first(d)["name"] = std::string("ab\0c\x01", 5); }); },
     "preset 1: the name has characters a preset name cannot hold",
     "第1个效果：名称中有无法保存的字符，请换用其他字符"},
    {"a name twice", [] { return documentWith([](Json::Value& d) { d["presets"].append(d["presets"][0]); }); },
     "preset 2 (好的): the name appears twice in the file", "第2个效果（好的）：文件中此名称出现了两次"},
    {"more presets than a library holds", [] { return manyPresets(139); },
     "too many presets: 139, the library holds at most 138 user presets", "效果列表已满，无法保存"},
    {"more presets than the library has room for", [] { return manyPresets(9); },
     "too many presets: the file adds 9, the library has room for 8 more", "效果列表已满，无法保存"},
    {"a file too large", [] { return std::string(kMaxPresetDocumentBytes + 1, ' '); },
     "file too large: 1048577 bytes, a preset file has at most 1048576",
     "文件过大：1048577 字节，效果文件最多 1048576 字节"},
    {"nesting past the format", [] { return std::string(1000, '[') + std::string(1000, ']'); },
     "not JSON: Exceeded stackLimit in readValue().", "不是 JSON 文件：嵌套层数过多"},
};

class PresetExchangeRefused : public PresetExchangeTest, public ::testing::WithParamInterface<BadCase> {};

TEST_P(PresetExchangeRefused, NamesTheProblemAndLeavesListAndFileAlone) {
    // 130 user presets: room for 8 more.
    std::vector<PresetEntry> user;
    for (int i = 0; i < 130; ++i) user.push_back(named("u" + std::to_string(i), BuiltinPresets()[1].set));
    withUserPresets(user);
    const auto before = test::readFile(file());
    const auto items = ui.items;

    const PresetImport r = importPresetDocument(lib, GetParam().text(), false);
    EXPECT_FALSE(r.ok);
    EXPECT_FALSE(r.writeFailed);
    EXPECT_EQ(r.error.english, GetParam().english);
    EXPECT_EQ(r.error.chinese, GetParam().chinese);
    EXPECT_EQ(test::readFile(file()), before);
    EXPECT_EQ(ui.items, items);
    EXPECT_EQ(lib.count(), 192);
}

INSTANTIATE_TEST_SUITE_P(Documents, PresetExchangeRefused, ::testing::ValuesIn(kBadCases));

TEST_F(PresetExchangeTest, AFileTooLargeIsNotReadAtAll) {
    test::writeFile(dir / "big.json", test::Bytes(kMaxPresetDocumentBytes + 1, ' '));
    PresetExchangeError error;
    EXPECT_EQ(readPresetDocument(dir / "big.json", error), "");
    EXPECT_EQ(error.english, "file too large: 1048577 bytes, a preset file has at most 1048576");
}

TEST_F(PresetExchangeTest, AFailedWriteLeavesFileAndListAsTheyWere) {
    withUserPresets({named("one", BuiltinPresets()[3].set)});
    const auto before = test::readFile(file());
    const auto items = ui.items;
    const PresetEntry incoming[] = {named("one", BuiltinPresets()[9].set), named("new", BuiltinPresets()[7].set)};
    PresetImport r;
    {
        test::FileSizeLimit limit(150);  // room for one record, not two
        r = importPresetDocument(lib, presetDocument(incoming), true);
    }
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.writeFailed);
    EXPECT_EQ(test::readFile(file()), before);
    EXPECT_EQ(ui.items, items);
    ASSERT_EQ(lib.count(), 63);
    EXPECT_EQ(lib.entry(62), named("one", BuiltinPresets()[3].set));
    EXPECT_EQ(ui.messages, (std::vector<HeadlessPresetUi::Message>{{"写失败！！", "Error"}}));
}

}  // namespace
}  // namespace qv7
