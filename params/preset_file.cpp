// Record layout, file-length rules and the crash-safe replacement of para.bin.
#include "params/preset_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <numeric>

namespace qv7 {

uint8_t RecordChecksum(std::span<const uint8_t, kUserPresetRecordSize> record) {
    const auto body = record.first<kRecordOffsetChecksum>();
    return static_cast<uint8_t>(std::accumulate(body.begin(), body.end(), 0u) & 0xFFu);
}

UserPresetRecord makeUserPresetRecord(const PresetEntry& entry) {
    UserPresetRecord r{};
    r[0] = kRecordHeaderParameters;
    r[1] = kRecordHeaderName;
    const auto set = entry.set.bytes();
    std::copy(set.begin(), set.end(), r.begin() + kRecordOffsetSet);
    std::copy_n(entry.name.begin(), kMaxPresetNameBytes, r.begin() + kRecordOffsetName);
    r[kRecordOffsetChecksum] = RecordChecksum(r);
    return r;
}

std::optional<PresetEntry> parseUserPresetRecord(std::span<const uint8_t, kUserPresetRecordSize> record) {
    if (record[0] != kRecordHeaderParameters || record[1] != kRecordHeaderName ||
        record[kRecordOffsetChecksum] != RecordChecksum(record))
        return std::nullopt;
    PresetEntry e;
    ParameterSet::Bytes set{};
    std::copy_n(record.begin() + kRecordOffsetSet, ParameterSet::kSize, set.begin());
    e.set = ParameterSet::fromBytes(set);
    std::copy_n(record.begin() + kRecordOffsetName, kMaxPresetNameBytes, e.name.begin());
    return e;
}

std::vector<uint8_t> encodeUserPresets(std::span<const PresetEntry> entries) {
    std::vector<uint8_t> out;
    out.reserve(entries.size() * kUserPresetRecordSize);
    for (const auto& e : entries) {
        const auto r = makeUserPresetRecord(e);
        out.insert(out.end(), r.begin(), r.end());
    }
    return out;
}

std::vector<PresetEntry> decodeUserPresets(std::span<const uint8_t> file) {
    std::vector<PresetEntry> out;
    if (file.empty() || file.size() % kUserPresetRecordSize != 0 || file.size() > kMaxPresetFileSize) return out;
    for (std::size_t off = 0; off < file.size(); off += kUserPresetRecordSize)
        if (auto e = parseUserPresetRecord(file.subspan(off).first<kUserPresetRecordSize>())) out.push_back(*e);
    return out;
}

std::vector<PresetEntry> readUserPresetFile(const std::filesystem::path& path) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    // Checked before reading so an oversized file is never loaded into memory.
    if (ec || size == 0 || size % kUserPresetRecordSize != 0 || size > kMaxPresetFileSize) return {};
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    std::vector<uint8_t> bytes(static_cast<std::size_t>(size));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (in.gcount() != static_cast<std::streamsize>(bytes.size())) return {};
    return decodeUserPresets(bytes);
}

}  // namespace qv7
