// para.bin: the user presets as a headerless run of 100-byte records, and its atomic replacement.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/atomic_file.h"
#include "params/preset_entry.h"

namespace qv7 {

constexpr std::size_t kUserPresetRecordSize = 100;
constexpr std::size_t kMaxUserPresetRecords = MAX_PRESETS - FIRST_USER_INDEX;              // 138
constexpr std::size_t kMaxPresetFileSize = kMaxUserPresetRecords * kUserPresetRecordSize;  // 13,800
constexpr uint8_t kRecordHeaderParameters = 0x1E;
constexpr uint8_t kRecordHeaderName = 0x0A;
constexpr std::size_t kRecordOffsetSet = 2;
constexpr std::size_t kRecordOffsetName = 32;
constexpr std::size_t kRecordOffsetChecksum = 99;

using UserPresetRecord = std::array<uint8_t, kUserPresetRecordSize>;

// Sum of bytes 0 to 98, modulo 256.
uint8_t RecordChecksum(std::span<const uint8_t, kUserPresetRecordSize> record);

enum class RecordFault : uint8_t { Header, Checksum };
// Why a record cannot be loaded, or nothing when it can.
std::optional<RecordFault> checkUserPresetRecord(std::span<const uint8_t, kUserPresetRecordSize> record);

UserPresetRecord makeUserPresetRecord(const PresetEntry& entry);
// The entry a record holds, or nothing when its header or checksum is wrong. Values are not validated.
std::optional<PresetEntry> parseUserPresetRecord(std::span<const uint8_t, kUserPresetRecordSize> record);

// The file's bytes for the given user entries, in order.
std::vector<uint8_t> encodeUserPresets(std::span<const PresetEntry> entries);
// Every valid record of a whole file's bytes; nothing at all when the length is 0, not a multiple
// of 100 or above 13,800.
std::vector<PresetEntry> decodeUserPresets(std::span<const uint8_t> file);

// Why no record of a file was loaded at all.
enum class PresetFileFault : uint8_t {
    None,
    Unreadable,        // could not be opened or read (`error`)
    NotRegularFile,    // a FIFO, socket or device node: never opened for reading, so it cannot block
    OverLimit,         // longer than 138 records
    NotWholeRecords,   // a length that is not a multiple of 100: a stray byte or a cut-off tail
    ChangedWhileRead,  // shorter or longer than its size when read
};

struct SkippedRecord {
    std::size_t number;  // 1 for the file's first record
    RecordFault fault;
    bool operator==(const SkippedRecord&) const = default;
};

// What loading para.bin found. The file's length rules and the record checks decide what is listed,
// exactly as before; the rest says what they left out, so it can be told and kept.
struct PresetFileLoad {
    // Something is there whose contents a replacement could lose. A directory is not: it cannot be
    // renamed over, and it holds no presets. An empty file holds none either, so it counts as whole.
    bool present = false;
    PresetFileFault fault = PresetFileFault::None;
    int error = 0;           // errno, for Unreadable
    std::uint64_t size = 0;  // in bytes, as far as known
    std::vector<PresetEntry> entries;
    std::vector<SkippedRecord> skipped;

    bool whole() const { return fault == PresetFileFault::None && skipped.empty(); }
    // A file that would lose records if replaced now.
    bool mustBeKept() const { return present && !whole(); }
};

// Never blocks (FIFOs and device nodes are not read) and never reads more than 13,800 bytes.
PresetFileLoad loadUserPresetFile(const std::filesystem::path& path);
// Missing, unreadable or short files give nothing: the library then starts with the built-ins only.
std::vector<PresetEntry> readUserPresetFile(const std::filesystem::path& path);

// In English, for qv7ctl and logs: "file size 201 is not a multiple of 100", "skipped record 2 (bad
// checksum)", ...; empty for a whole file.
std::string describeLoadProblem(const PresetFileLoad& load);

}  // namespace qv7
