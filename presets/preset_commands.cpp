#include "presets/preset_commands.h"

#include <json/json.h>

#include "common/display_width.h"
#include "common/gbk_text.h"
#include "common/handover_message.h"
#include "presets/device_report.h"
#include "presets/preset_exchange.h"

namespace qv7 {

namespace {

using handover::kFailed;
using handover::kOk;
using handover::kUsage;

std::string shownName(const PresetEntry& e) { return gbk::toUtf8Display(e.nameBytes()); }

// Padded by columns, not bytes: a Chinese name takes two columns a character and three bytes.
std::string listLine(const PresetListing& p) {
    std::string index = std::to_string(p.index);
    std::string line =
        std::string(index.size() < 3 ? 3 - index.size() : 0, ' ') + index + "  " + padToWidth(p.name, 12);
    return line + " " + (p.builtin ? "built-in" : "user") + "\n";
}

bool builtin(int index) { return index < static_cast<int>(FIRST_USER_INDEX); }

std::string notFound(const std::string& arg) {
    return "qv7ctl: no preset named or numbered '" + arg + "' (see qv7ctl preset list)\n";
}

}  // namespace

std::string parametersHex(const ParameterSet& set) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string hex;
    for (const uint8_t b : set.bytes()) {
        hex += kDigits[b >> 4];
        hex += kDigits[b & 0x0f];
    }
    return hex;
}

std::optional<ParameterSet> parametersFromHex(std::string_view hex) {
    ParameterSet::Bytes bytes{};
    if (hex.size() != bytes.size() * 2) return std::nullopt;
    auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        return -1;
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int high = digit(hex[2 * i]), low = digit(hex[2 * i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        bytes[i] = static_cast<uint8_t>(high * 16 + low);
    }
    return ParameterSet::fromBytes(bytes);
}

std::string presetMessageLine(const std::string& text, const std::string& caption) {
    return "qv7ctl: " + text + " (" + caption + ")\n";
}

PresetCommandResult presetListCommand(const PresetLibrary& library, bool json) {
    PresetCommandResult r;
    const auto list = listPresets(library);
    if (json) {
        Json::Value v(Json::arrayValue);
        for (const auto& p : list) {
            Json::Value entry(Json::objectValue);
            entry["index"] = p.index;
            entry["name"] = p.name;
            entry["builtin"] = p.builtin;
            v.append(entry);
        }
        r.out = jsonLine(v) + "\n";
        return r;
    }
    for (const auto& p : list) r.out += listLine(p);
    return r;
}

PresetCommandResult presetShowCommand(const PresetLibrary& library, const std::string& nameOrIndex, bool json) {
    const auto i = findPreset(library, nameOrIndex);
    if (!i) return {kUsage, {}, notFound(nameOrIndex)};
    const auto& e = library.entry(*i);
    const auto b = e.set.bytes();
    PresetCommandResult r;
    if (json) {
        Json::Value v(Json::objectValue);
        v["index"] = *i;
        v["name"] = shownName(e);
        v["builtin"] = builtin(*i);
        Json::Value parameters(Json::objectValue);
        for (const auto& f : parameterFields()) parameters[f.name] = b[f.byte];
        v["parameters"] = parameters;
        r.out = jsonLine(v) + "\n";
        return r;
    }
    r.out = "# " + std::to_string(*i) + " " + shownName(e) + " (" + (builtin(*i) ? "built-in" : "user") + ")\n";
    for (const auto& f : parameterFields()) r.out += std::string(f.name) + "=" + std::to_string(b[f.byte]) + "\n";
    return r;
}

PresetCommandResult presetDeleteCommand(PresetLibrary& library, const std::string& nameOrIndex,
                                        const PresetMessages& messages) {
    // Found in the file as it is now, not in the list as it was loaded.
    library.reloadIfChanged();
    PresetCommandResult r;
    r.err = messages();
    const auto i = findPreset(library, nameOrIndex);
    if (!i) return {kUsage, {}, r.err + notFound(nameOrIndex)};
    const std::string name = shownName(library.entry(*i));
    if (builtin(*i)) {
        r.code = kUsage;
        r.err += "qv7ctl: preset " + std::to_string(*i) + " (" + name + ") is built in and cannot be deleted\n";
        return r;
    }
    const bool ok = library.removeUserPreset(*i);
    r.err += messages();
    if (!ok) {
        r.code = kFailed;
        r.err += "qv7ctl: preset " + std::to_string(*i) + " (" + name + ") is still in " + library.file().string() +
                 ": " + library.lastFileError() + "\n";
        return r;
    }
    r.out = "deleted preset " + std::to_string(*i) + " (" + name + ")\n";
    return r;
}

PresetCommandResult presetImportCommand(PresetLibrary& library, const std::string& source, std::string_view text,
                                        bool replace, const PresetMessages& messages) {
    const PresetImport imported = importPresetDocument(library, text, replace);
    PresetCommandResult r;
    r.err = messages();
    if (!imported.ok) {
        r.code = imported.writeFailed ? kFailed : kUsage;
        r.err += "qv7ctl: " + (source == "-" ? std::string("standard input") : source) + ": " + imported.error.english +
                 "; nothing imported\n";
        return r;
    }
    r.out = "imported " + std::to_string(imported.added + imported.replaced) + " presets (" +
            std::to_string(imported.added) + " added, " + std::to_string(imported.replaced) + " replaced) into " +
            library.file().string() + "\n";
    return r;
}

PresetCommandResult presetSaveCommand(PresetLibrary& library, const std::string& name, const ParameterSet& set,
                                      const PresetMessages& messages) {
    const SaveOutcome saved = library.savePreset(name, set);
    PresetCommandResult r;
    r.err = messages();
    switch (saved) {
    case SaveOutcome::Saved:
        r.out = "saved as preset " + std::to_string(library.count() - 1) + " in " + library.file().string() + "\n";
        return r;
    case SaveOutcome::BadName:
        r.code = kUsage;
        return r;
    case SaveOutcome::WriteFailed:
        r.code = kFailed;
        r.err += "qv7ctl: " + library.lastFileError() + "\n";
        return r;
    case SaveOutcome::Cancelled:
    case SaveOutcome::Full:
        break;
    }
    r.code = kFailed;
    return r;
}

}  // namespace qv7
