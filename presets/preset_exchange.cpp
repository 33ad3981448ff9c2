// The preset document: written with jsoncpp, read strictly, checked field by field before anything is kept.
#include "presets/preset_exchange.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <memory>
#include <set>
#include <stdexcept>
#include <utility>

#include "common/gbk_text.h"
#include "common/small_file.h"

namespace qv7 {

namespace {

constexpr std::string_view kEqGain = "eqGain";
constexpr std::size_t kEqBands = 7;

bool isEqBand(const FieldInfo& f) { return std::string_view(f.name).starts_with("eqGain["); }

PresetExchangeError problem(std::string english, std::string chinese) {
    return {std::move(english), std::move(chinese)};
}

// "preset 3 (唱歌03)" and "第3个效果（唱歌03）", the name only once it is known to be text.
struct Where {
    std::size_t position = 0;  // 1 for the document's first preset
    std::string name;
    std::string english() const {
        return "preset " + std::to_string(position) + (name.empty() ? "" : " (" + name + ")");
    }
    std::string chinese() const {
        return "第" + std::to_string(position) + "个效果" + (name.empty() ? "" : "（" + name + "）");
    }
    PresetExchangeError error(const std::string& english, const std::string& chinese) const {
        return problem(this->english() + ": " + english, this->chinese() + "：" + chinese);
    }
};

// The caption of the control that edits a field, as the window's Chinese shows it; where one caption stands for
// several controls ("开关", "音量") its group comes first. Fields no control edits have none.
std::string_view captionOf(std::string_view field) {
    static constexpr std::pair<std::string_view, std::string_view> kCaptions[] = {
        {"monitorVol", "监听"},
        {"musicVol", "伴奏"},
        {"micVol", "话筒"},
        {"liveVol", "直播"},
        {"accompany", "模拟接口"},
        {"dodgeSwitch", "闪避"},
        {"rebvol", "混响音量"},
        {"wet", "湿声"},
        {"type", "种类"},
        {"delay", "延时"},
        {"effectSwitch", "电音变声"},
        {"effectTone", "电音调号"},
        {"toneCent", "电音幅度"},
        {"effectPitch", "变声效果"},
        {"auto_poweroff", "自动关机"},
        {"auto_poweroff_time", "自动关机时间"},
        {"eqSwitch", "均衡器开关"},
        {"eqGain", "均衡器"},
        {"eqGain[0]", "均衡器 100"},
        {"eqGain[1]", "均衡器 250"},
        {"eqGain[2]", "均衡器 500"},
        {"eqGain[3]", "均衡器 750"},
        {"eqGain[4]", "均衡器 1K"},
        {"eqGain[5]", "均衡器 1.5K"},
        {"eqGain[6]", "均衡器 2K"},
        {"dodgeThreshold", "闪避门限"},
        {"dodgeSpeed", "闪避速度"},
        {"dodgeLevel", "闪避等级"},
        {"hpfCutoff", "高切"},
        {"lpfCutoff", "低切"},
    };
    for (const auto& [name, caption] : kCaptions)
        if (name == field) return caption;
    return {};
}

// "话筒（micVol）": the control as the window names it, the field as the file does.
std::string fieldText(std::string_view field) {
    const std::string_view caption = captionOf(field);
    return caption.empty() ? std::string(field) : std::string(caption) + "（" + std::string(field) + "）";
}

// Where jsoncpp's message puts the fault ("Line 3, Column 7: ..."), without its English words.
std::string jsonFaultChinese(std::string_view message) {
    constexpr std::string_view kLine = "Line ", kColumn = ", Column ";
    const char* const end = message.data() + message.size();
    unsigned long line = 0, column = 0;
    if (message.starts_with(kLine)) {
        const auto l = std::from_chars(message.data() + kLine.size(), end, line);
        if (l.ec == std::errc() &&
            std::string_view(l.ptr, static_cast<std::size_t>(end - l.ptr)).starts_with(kColumn) &&
            std::from_chars(l.ptr + kColumn.size(), end, column).ec == std::errc())
            return "不是 JSON 文件：第 " + std::to_string(line) + " 行第 " + std::to_string(column) + " 列有语法错误";
    }
    return "不是 JSON 文件";
}

// Any firmware's limit: the device checks a preset against its own when it is applied.
std::string rangeText(const FieldInfo& f) { return std::to_string(f.min) + ".." + std::to_string(f.maxNewer); }

// One field's value, or an error naming it with its range.
bool fieldValue(const Json::Value& v, const FieldInfo& f, const Where& at, uint8_t& out, PresetExchangeError& error) {
    if (!v.isIntegral() || !v.isInt64() || v.asInt64() < f.min || v.asInt64() > f.maxNewer) {
        const std::string shown = v.isIntegral() && v.isInt64() ? std::to_string(v.asInt64()) : "not a whole number";
        const std::string shownZh = v.isIntegral() && v.isInt64() ? std::to_string(v.asInt64()) : "不是整数";
        error = at.error(
            std::string(f.name) + " is " + shown + ", allowed " + rangeText(f),
            fieldText(f.name) + (captionOf(f.name).empty() ? " 为 " : "为 ") + shownZh + "，允许范围 " + rangeText(f));
        return false;
    }
    out = static_cast<uint8_t>(v.asInt64());
    return true;
}

bool parseParameters(const Json::Value& p, const Where& at, ParameterSet& set, PresetExchangeError& error) {
    if (!p.isObject()) {
        error = at.error("\"parameters\" must be an object", "\"parameters\" 必须是对象");
        return false;
    }
    std::set<std::string> known;
    ParameterSet::Bytes bytes{};
    for (const auto& f : parameterFields()) {
        if (isEqBand(f)) continue;
        known.insert(f.name);
        if (!p.isMember(f.name)) {
            error = at.error(std::string("missing field ") + f.name, "缺少字段 " + fieldText(f.name));
            return false;
        }
        if (!fieldValue(p[f.name], f, at, bytes[f.byte], error)) return false;
    }
    known.insert(std::string(kEqGain));
    const Json::Value& eq = p.get(std::string(kEqGain), Json::Value::nullSingleton());
    if (eq.isNull()) {
        error = at.error("missing field eqGain", "缺少字段 " + fieldText(kEqGain));
        return false;
    }
    if (!eq.isArray() || eq.size() != kEqBands) {
        error = at.error("eqGain must be a list of 7 numbers", fieldText(kEqGain) + "必须是 7 个数的列表");
        return false;
    }
    const uint8_t firstBand = findField("eqGain[0]")->byte;
    for (const auto& f : parameterFields())
        if (isEqBand(f) &&
            !fieldValue(eq[static_cast<Json::ArrayIndex>(f.byte - firstBand)], f, at, bytes[f.byte], error))
            return false;
    for (const auto& name : p.getMemberNames())
        if (!known.count(name)) {
            error = at.error("unknown field " + name, "未知字段 " + name);
            return false;
        }
    set = ParameterSet::fromBytes(bytes);
    return true;
}

}  // namespace

Json::Value recordJson(std::span<const FieldInfo> fields, std::span<const uint8_t> bytes) {
    Json::Value v(Json::objectValue);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (isEqBand(fields[i])) {
            if (i + kEqBands > fields.size() || fields[i].name != std::string_view("eqGain[0]")) continue;
            Json::Value bands(Json::arrayValue);
            for (std::size_t k = 0; k < kEqBands; ++k) bands.append(bytes[i + k]);
            v[std::string(kEqGain)] = bands;
        } else {
            v[fields[i].name] = bytes[i];
        }
    }
    return v;
}

std::string presetDocument(std::span<const PresetEntry> entries) {
    Json::Value doc(Json::objectValue);
    doc["format"] = std::string(kPresetFormatName);
    doc["version"] = kPresetFormatVersion;
    Json::Value list(Json::arrayValue);
    for (const auto& e : entries) {
        Json::Value p(Json::objectValue);
        p["name"] = e.displayName();
        p["parameters"] = recordJson(parameterFields(), e.set.bytes());
        list.append(p);
    }
    doc["presets"] = list;
    // Indented, unlike qv7ctl's one-line --json output: this is a file people read, edit and compare.
    Json::StreamWriterBuilder b;
    b["indentation"] = "  ";
    b["commentStyle"] = "None";
    b["emitUTF8"] = true;
    return Json::writeString(b, doc) + "\n";
}

ParsedPresets parsePresetDocument(std::string_view text) {
    ParsedPresets out;
    if (text.size() > kMaxPresetDocumentBytes) {
        out.error = oversizedDocument(text.size());
        return out;
    }
    Json::CharReaderBuilder rb;
    Json::CharReaderBuilder::strictMode(&rb.settings_);
    rb["stackLimit"] = 16;  // the format nests three deep; a deeper document is not one
    const std::unique_ptr<Json::CharReader> reader(rb.newCharReader());
    Json::Value doc;
    std::string errors;
    bool parsed = false;
    bool tooDeep = false;
    try {
        parsed = reader->parse(text.data(), text.data() + text.size(), &doc, &errors);
    } catch (const std::exception& e) {  // jsoncpp throws where nesting passes stackLimit
        errors = e.what();
        tooDeep = true;
    }
    if (!parsed) {
        // The first of jsoncpp's "* Line 1, Column 1\n  Syntax error: ...\n" entries, on one line.
        std::string line = errors.substr(0, errors.find("\n* "));
        if (line.starts_with("* ")) line.erase(0, 2);
        for (std::size_t at; (at = line.find("\n  ")) != std::string::npos;) line.replace(at, 3, ": ");
        while (!line.empty() && line.back() == '\n') line.pop_back();
        out.error = problem("not JSON: " + line,
                            tooDeep ? std::string("不是 JSON 文件：嵌套层数过多") : jsonFaultChinese(line));
        return out;
    }
    if (!doc.isObject() || doc.get("format", Json::Value()) != std::string(kPresetFormatName)) {
        out.error = problem("not a preset file: \"format\" must be \"qv7-presets\"",
                            "不是效果文件：\"format\" 必须是 \"qv7-presets\"");
        return out;
    }
    const Json::Value& version = doc.get("version", Json::Value());
    if (!version.isIntegral() || !version.isInt64() || version.asInt64() != kPresetFormatVersion) {
        const std::string shown = version.isNull() ? "missing" : version.toStyledString();
        const std::string value = shown.substr(0, shown.find('\n'));
        out.error = problem("unsupported version " + value + " (this program reads version 1)",
                            version.isNull() ? std::string("没有版本号（本程序读取版本 1）")
                                             : "不支持的版本 " + value + "（本程序读取版本 1）");
        return out;
    }
    for (const auto& name : doc.getMemberNames())
        if (name != "format" && name != "version" && name != "presets") {
            out.error = problem("unknown field " + name, "未知字段 " + name);
            return out;
        }
    const Json::Value& list = doc.get("presets", Json::Value());
    if (!list.isArray()) {
        out.error = problem("\"presets\" must be a list", "\"presets\" 必须是列表");
        return out;
    }
    if (list.size() > kMaxUserPresetRecords) {
        out.error = problem("too many presets: " + std::to_string(list.size()) + ", the library holds at most " +
                                std::to_string(kMaxUserPresetRecords) + " user presets",
                            std::string(preset_text::kLibraryFull));
        return out;
    }
    std::set<std::string> names;
    for (Json::ArrayIndex i = 0; i < list.size(); ++i) {
        const Json::Value& p = list[i];
        Where at{i + 1, {}};
        if (!p.isObject()) {
            out.error = at.error("must be an object with \"name\" and \"parameters\"",
                                 "必须是含 \"name\" 和 \"parameters\" 的对象");
            return out;
        }
        const Json::Value& name = p.get("name", Json::Value());
        if (!name.isString()) {
            out.error = at.error("\"name\" must be text", "\"name\" 必须是文字");
            return out;
        }
        const std::string utf8 = name.asString();
        NameFault fault = NameFault::None;
        auto gbkName = userPresetName(utf8, fault);
        // para.bin ends a name at its first NUL and nobody types control characters: a file that holds them would
        // import as another name than it shows.
        const auto control = [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; };
        if (gbkName && std::any_of(gbkName->begin(), gbkName->end(), control)) {
            gbkName.reset();
            fault = NameFault::NotGbk;
        }
        // Shown only when it is text the window can show.
        at.name = gbk::fromUtf8(utf8) && std::none_of(utf8.begin(), utf8.end(), control) ? utf8 : std::string();
        if (!gbkName) {
            out.error = at.error(fault == NameFault::NotGbk ? "the name has characters a preset name cannot hold"
                                                            : "the name must be 1 to 10 GBK bytes (5 Chinese "
                                                              "characters or 10 letters)",
                                 std::string(nameFaultText(fault)));
            return out;
        }
        if (!names.insert(*gbkName).second) {
            out.error = at.error("the name appears twice in the file", "文件中此名称出现了两次");
            return out;
        }
        for (const auto& member : p.getMemberNames())
            if (member != "name" && member != "parameters") {
                out.error = at.error("unknown field " + member, "未知字段 " + member);
                return out;
            }
        ParameterSet set;
        if (!parseParameters(p.get("parameters", Json::Value()), at, set, out.error)) return out;
        out.entries.push_back(PresetEntry::make(set, *gbkName));
    }
    out.ok = true;
    return out;
}

PresetImport importPresetDocument(PresetLibrary& library, std::string_view text, bool replace) {
    PresetImport out;
    const ParsedPresets parsed = parsePresetDocument(text);
    if (!parsed.ok) {
        out.error = parsed.error;
        return out;
    }
    const AddPresetsResult r = library.addPresets(parsed.entries, replace);
    using Outcome = AddPresetsResult::Outcome;
    switch (r.outcome) {
    case Outcome::Added:
        out.ok = true;
        out.added = r.added;
        out.replaced = r.replaced;
        break;
    case Outcome::Clash: {
        out.clash = true;
        const Where at{r.clash + 1, parsed.entries[r.clash].displayName()};
        out.error =
            at.error("a user preset of that name exists (import with --replace to overwrite it)", "已有同名的用户效果");
        break;
    }
    case Outcome::Full:
        out.error = problem("too many presets: the file adds " + std::to_string(r.added) +
                                ", the library has room for " + std::to_string(r.room) + " more",
                            std::string(preset_text::kLibraryFull));
        break;
    case Outcome::WriteFailed:
        out.writeFailed = true;
        out.error = problem(library.lastFileError(), std::string(preset_text::kWriteFailed));
        break;
    }
    return out;
}

PresetExchangeError oversizedDocument(std::uint64_t size) {
    const std::string limit = std::to_string(kMaxPresetDocumentBytes);
    return problem("file too large: " + std::to_string(size) + " bytes, a preset file has at most " + limit,
                   "文件过大：" + std::to_string(size) + " 字节，效果文件最多 " + limit + " 字节");
}

std::string readPresetDocument(const std::filesystem::path& path, PresetExchangeError& error) {
    const SmallFile f = readSmallFile(path, kMaxPresetDocumentBytes);
    const std::string p = path.string();
    switch (f.status) {
    case SmallFile::Status::Ok:
        return std::string(f.bytes.begin(), f.bytes.end());
    case SmallFile::Status::TooLarge:
        error = oversizedDocument(f.size);
        break;
    case SmallFile::Status::Missing:
        error = problem(p + ": no such file", p + "：文件不存在");
        break;
    case SmallFile::Status::Directory:
    case SmallFile::Status::NotRegular:
        error = problem(p + ": not a regular file", p + "：不是普通文件");
        break;
    case SmallFile::Status::Unreadable:
        error = problem(p + ": " + std::strerror(f.error), p + "：无法读取（" + std::strerror(f.error) + "）");
        break;
    case SmallFile::Status::Changed:
        error = problem(p + ": changed while read", p + "：读取时文件有变化");
        break;
    }
    return {};
}

}  // namespace qv7
