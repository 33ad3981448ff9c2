// para.bin: the user presets as a headerless run of 100-byte records, and its atomic replacement.
#pragma once

#include "params/atomic_file.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "params/preset_entry.h"

namespace qv7 {

constexpr std::size_t kUserPresetRecordSize = 100;
constexpr std::size_t kMaxUserPresetRecords = MAX_PRESETS - FIRST_USER_INDEX;  // 138
constexpr std::size_t kMaxPresetFileSize = kMaxUserPresetRecords * kUserPresetRecordSize;  // 13,800
constexpr uint8_t kRecordHeaderParameters = 0x1E;
constexpr uint8_t kRecordHeaderName = 0x0A;
constexpr std::size_t kRecordOffsetSet = 2;
constexpr std::size_t kRecordOffsetName = 32;
constexpr std::size_t kRecordOffsetChecksum = 99;

using UserPresetRecord = std::array<uint8_t, kUserPresetRecordSize>;

// Sum of bytes 0 to 98, modulo 256.
uint8_t RecordChecksum(std::span<const uint8_t, kUserPresetRecordSize> record);

UserPresetRecord makeUserPresetRecord(const PresetEntry& entry);
// The entry a record holds, or nothing when its header or checksum is wrong. Values are not validated.
std::optional<PresetEntry> parseUserPresetRecord(std::span<const uint8_t, kUserPresetRecordSize> record);

// The file's bytes for the given user entries, in order.
std::vector<uint8_t> encodeUserPresets(std::span<const PresetEntry> entries);
// Every valid record of a whole file's bytes; nothing at all when the length is 0, not a multiple
// of 100 or above 13,800.
std::vector<PresetEntry> decodeUserPresets(std::span<const uint8_t> file);

// Missing, unreadable or short files give nothing: the library then starts with the built-ins only.
std::vector<PresetEntry> readUserPresetFile(const std::filesystem::path& path);

}  // namespace qv7
