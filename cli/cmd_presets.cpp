// qv7ctl preset list|show|apply|save|delete and key store: the panel's preset library from the shell.
#include <cstdio>
#include <span>
#include <vector>

#include "cli/commands.h"
#include "cli/json_out.h"
#include "common/app_dir.h"
#include "common/display_width.h"
#include "common/gbk_text.h"
#include "common/output_file.h"
#include "presets/preset_exchange.h"
#include "presets/preset_library.h"
#include "presets/quick_keys.h"

namespace qv7::cli {

namespace {

// Notices about para.bin are told at once, in English, as they happen.
struct CliPresetUi : HeadlessPresetUi {
    void fileNotice(const PresetFileNotice& notice) override {
        std::fprintf(stderr, "qv7ctl: %s\n", notice.english.c_str());
    }
};

// The library as the panel sees it, with its messages going to standard error.
struct Library {
    CliPresetUi ui;
    PresetLibrary lib{ui, GetAppDirFile("para.bin"), [](std::string_view) {}};
    Library() { lib.InitPresetLibrary(); }
    void reportMessages() {
        for (const auto& m : ui.messages) std::fprintf(stderr, "qv7ctl: %s (%s)\n", m.text.c_str(), m.caption.c_str());
        ui.messages.clear();
    }
    std::optional<int> find(const std::string& arg) {
        auto i = findPreset(lib, arg);
        if (!i)
            std::fprintf(stderr, "qv7ctl: no preset named or numbered '%s' (see qv7ctl preset list)\n", arg.c_str());
        return i;
    }
};

std::string shownName(const PresetEntry& e) { return gbk::toUtf8Display(e.nameBytes()); }

bool oneArgument(const Args& args, const char* command, const char* what) {
    if (args.size() == 1) return true;
    std::fprintf(stderr, "qv7ctl: %s needs %s\n", command, what);
    return false;
}

int waitAcknowledged(DeviceConnection& c, const Options& o, const char* what) {
    return c.runUntil([&] { return c.driver().step() == kStepIdle; }, static_cast<int64_t>(o.timeoutSec) * 1000, what);
}

}  // namespace

int cmdPresetList(const Options& o, const Args& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "qv7ctl: preset list takes no arguments\n");
        return kUsage;
    }
    Library l;
    const auto list = listPresets(l.lib);
    if (o.json) {
        Json::Value v(Json::arrayValue);
        for (const auto& p : list) {
            Json::Value entry(Json::objectValue);
            entry["index"] = p.index;
            entry["name"] = p.name;
            entry["builtin"] = p.builtin;
            v.append(entry);
        }
        std::printf("%s\n", jsonText(v).c_str());
        return kOk;
    }
    // Padded by columns, not bytes: a Chinese name takes two columns a character and three bytes.
    for (const auto& p : list)
        std::printf("%3d  %s %s\n", p.index, padToWidth(p.name, 12).c_str(), p.builtin ? "built-in" : "user");
    return kOk;
}

int cmdPresetShow(const Options& o, const Args& args) {
    if (!oneArgument(args, "preset show", "a preset name or index")) return kUsage;
    Library l;
    const auto i = l.find(args[0]);
    if (!i) return kUsage;
    const auto& e = l.lib.entry(*i);
    const auto b = e.set.bytes();
    if (o.json) {
        Json::Value v(Json::objectValue);
        v["index"] = *i;
        v["name"] = shownName(e);
        v["builtin"] = *i < static_cast<int>(FIRST_USER_INDEX);
        Json::Value parameters(Json::objectValue);
        for (const auto& f : parameterFields()) parameters[f.name] = b[f.byte];
        v["parameters"] = parameters;
        std::printf("%s\n", jsonText(v).c_str());
        return kOk;
    }
    std::printf("# %d %s (%s)\n", *i, shownName(e).c_str(),
                *i < static_cast<int>(FIRST_USER_INDEX) ? "built-in" : "user");
    for (const auto& f : parameterFields()) std::printf("%s=%d\n", f.name, b[f.byte]);
    return kOk;
}

int cmdPresetApply(const Options& o, const Args& args) {
    if (!oneArgument(args, "preset apply", "a preset name or index")) return kUsage;
    Library l;
    const auto i = l.find(args[0]);
    if (!i) return kUsage;
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    mfi& d = c.driver();
    const auto set = presetForDevice(l.lib.entry(*i).set, d.deviceParameters(), d);
    if (!set) {
        ParameterSet probe = l.lib.entry(*i).set;
        const int code = d.mfiCheckPara(probe, d.parameterCount());
        const char* field = "?";
        for (const auto& f : parameterFields())
            if (f.validated && f.code == code) field = f.name;
        std::fprintf(stderr, "qv7ctl: preset %s does not suit firmware %s: %s is out of range; nothing sent\n",
                     shownName(l.lib.entry(*i)).c_str(), d.identity().FirmwareVersion.c_str(), field);
        return kUsage;
    }
    d.mfiSetPara(*set);
    return waitAcknowledged(c, o, "setpara");
}

int cmdPresetSave(const Options& o, const Args& args) {
    if (!oneArgument(args, "preset save", "a name (at most 10 GBK bytes: 5 Chinese characters or 10 letters)"))
        return kUsage;
    Library l;
    if (l.lib.isFull()) {
        l.lib.savePreset(args[0], ParameterSet{});  // says so in the library's own words
        l.reportMessages();
        return kFailed;
    }
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    const SaveOutcome r = l.lib.savePreset(args[0], c.driver().deviceParameters());
    l.reportMessages();
    switch (r) {
    case SaveOutcome::Saved:
        std::printf("saved as preset %d in %s\n", l.lib.count() - 1, l.lib.file().c_str());
        return kOk;
    case SaveOutcome::BadName:
        return kUsage;
    case SaveOutcome::WriteFailed:
        std::fprintf(stderr, "qv7ctl: %s\n", l.lib.lastFileError().c_str());
        return kFailed;
    default:
        return kFailed;
    }
}

int cmdPresetDelete(const Options&, const Args& args) {
    if (!oneArgument(args, "preset delete", "a user preset's name or index")) return kUsage;
    Library l;
    const auto i = l.find(args[0]);
    if (!i) return kUsage;
    if (*i < static_cast<int>(FIRST_USER_INDEX)) {
        std::fprintf(stderr, "qv7ctl: preset %d (%s) is built in and cannot be deleted\n", *i,
                     shownName(l.lib.entry(*i)).c_str());
        return kUsage;
    }
    const std::string name = shownName(l.lib.entry(*i));
    const bool ok = l.lib.removeUserPreset(*i);
    l.reportMessages();
    if (!ok) {
        std::fprintf(stderr, "qv7ctl: preset %d (%s) is still in %s: %s\n", *i, name.c_str(), l.lib.file().c_str(),
                     l.lib.lastFileError().c_str());
        return kFailed;
    }
    std::printf("deleted preset %d (%s)\n", *i, name.c_str());
    return kOk;
}

int cmdPresetExport(const Options&, const Args& args) {
    if (args.empty()) {
        std::fprintf(stderr, "qv7ctl: preset export needs a file ('-' for standard output), after any preset names\n");
        return kUsage;
    }
    Library l;
    std::vector<PresetEntry> chosen;
    if (args.size() == 1) {
        const auto all = l.lib.entries();
        chosen.assign(all.begin() + static_cast<std::ptrdiff_t>(FIRST_USER_INDEX), all.end());
    }
    for (std::size_t k = 0; k + 1 < args.size(); ++k) {
        const auto i = l.find(args[k]);
        if (!i) return kUsage;
        chosen.push_back(l.lib.entry(*i));
    }
    const std::string text = presetDocument(chosen);
    const std::string& file = args.back();
    if (file == "-") {
        if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size() || std::fflush(stdout) != 0) {
            std::fprintf(stderr, "qv7ctl: cannot write to standard output\n");
            return kFailed;
        }
        return kOk;
    }
    const auto bytes = std::span(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    const auto r = writeOutputFile(file, bytes);
    if (!r) {
        std::fprintf(stderr, "qv7ctl: %s\n", r.error.c_str());
        return kFailed;
    }
    // Standard output named by its path holds the document alone, as '-' does.
    if (r.descriptor == 1) return kOk;
    std::printf("exported %zu presets to %s\n", chosen.size(), file.c_str());
    return kOk;
}

int cmdPresetImport(const Options&, const Args& args) {
    const bool replace = !args.empty() && args[0] == "--replace";
    if (args.size() != (replace ? 2u : 1u)) {
        std::fprintf(stderr,
                     "qv7ctl: preset import needs one file ('-' for standard input), after --replace if given\n");
        return kUsage;
    }
    const std::string& file = args.back();
    PresetExchangeError error;
    std::string text;
    if (file == "-") {
        // One byte past the bound tells a file that is too large from one that just fits.
        text.resize(kMaxPresetDocumentBytes + 1);
        std::size_t n = 0;
        while (n < text.size()) {
            const std::size_t got = std::fread(text.data() + n, 1, text.size() - n, stdin);
            if (got == 0) break;
            n += got;
        }
        if (std::ferror(stdin)) {
            std::fprintf(stderr, "qv7ctl: cannot read standard input\n");
            return kFailed;
        }
        text.resize(n);
        if (n > kMaxPresetDocumentBytes) error = oversizedDocument(n);
    } else {
        text = readPresetDocument(file, error);
    }
    if (!error.english.empty()) {
        std::fprintf(stderr, "qv7ctl: %s\n", error.english.c_str());
        return kUsage;
    }
    Library l;
    const PresetImport r = importPresetDocument(l.lib, text, replace);
    l.reportMessages();
    if (!r.ok) {
        std::fprintf(stderr, "qv7ctl: %s: %s; nothing imported\n", file == "-" ? "standard input" : file.c_str(),
                     r.error.english.c_str());
        return r.writeFailed ? kFailed : kUsage;
    }
    std::printf("imported %d presets (%d added, %d replaced) into %s\n", r.added + r.replaced, r.added, r.replaced,
                l.lib.file().c_str());
    return kOk;
}

int cmdKeyStore(const Options& o, const Args& args) {
    if (args.size() != 2 || args[0].size() != 1 || args[0][0] < '0' || args[0][0] > '2') {
        std::fprintf(stderr, "qv7ctl: key store needs a key (0, 1 or 2) and a preset name or index\n");
        return kUsage;
    }
    Library l;
    const auto i = l.find(args[1]);
    if (!i) return kUsage;
    DeviceConnection c(o);
    if (const int rc = c.open(); rc != kOk) return rc;
    const auto caption = ReplaceQuickKey(c.driver(), l.lib.entry(*i), args[0][0] - '0');
    if (!caption) {
        std::fprintf(stderr, "qv7ctl: preset %d cannot be stored in a key\n", *i);
        return kUsage;
    }
    if (const int rc = waitAcknowledged(c, o, "SetRepPara"); rc != kOk) return rc;
    std::printf("key %c now holds %s\n", args[0][0], caption->c_str());
    return kOk;
}

}  // namespace qv7::cli
