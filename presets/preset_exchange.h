// Presets as a JSON document people can keep, mail and load again: the panel and qv7ctl share it.
// The format is described in docs/preset-format.md.
#pragma once

#include <json/json.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "params/parameter_set.h"
#include "params/preset_entry.h"
#include "presets/preset_library.h"

namespace qv7 {

inline constexpr std::string_view kPresetFormatName = "qv7-presets";
inline constexpr int kPresetFormatVersion = 1;
// A full library's 138 user presets take about 98 kB as written; anything far beyond that is not one
// of ours, and is refused before it is parsed.
inline constexpr std::size_t kMaxPresetDocumentBytes = 1024 * 1024;

// A record keyed by field name as `qv7ctl get --json` prints it, the seven eqGain bands as one array.
Json::Value recordJson(std::span<const FieldInfo> fields, std::span<const uint8_t> bytes);

// The document for `entries`, in their order: indented, UTF-8, ending with a line end.
std::string presetDocument(std::span<const PresetEntry> entries);

// Why a document was not taken, in qv7ctl's English and in the window's Chinese.
struct PresetExchangeError {
    std::string english;
    std::string chinese;
};

struct ParsedPresets {
    std::vector<PresetEntry> entries;
    bool ok = false;
    PresetExchangeError error;  // when not ok: the first problem found, naming the preset and field
};

// Every preset of a document, each field in the range some firmware takes and each name one "保存效果"
// would keep; nothing at all on the first problem. Names must not repeat within the document.
ParsedPresets parsePresetDocument(std::string_view text);

// What importing a document into the library did.
struct PresetImport {
    bool ok = false;
    int added = 0, replaced = 0;
    bool clash = false;        // refused only because a user preset has a name of the document
    bool writeFailed = false;  // the document was fine, the library's file could not be replaced
    PresetExchangeError error;
};

// Parses `text` and adds its presets through the library's save path, with one rewrite of the file
// after everything was checked. A name a user preset already has is refused unless `replace`.
PresetImport importPresetDocument(PresetLibrary& library, std::string_view text, bool replace);

// A document file, read whole within kMaxPresetDocumentBytes; `error` set and empty text otherwise.
std::string readPresetDocument(const std::filesystem::path& path, PresetExchangeError& error);
// The error for a document longer than the bound, `size` as far as known.
PresetExchangeError oversizedDocument(std::uint64_t size);

}  // namespace qv7
