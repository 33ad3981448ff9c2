// Record layout, file-length rules and the crash-safe replacement of para.bin.
#include "params/preset_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <numeric>

#include "common/small_file.h"

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

std::optional<RecordFault> checkUserPresetRecord(std::span<const uint8_t, kUserPresetRecordSize> record) {
    if (record[0] != kRecordHeaderParameters || record[1] != kRecordHeaderName) return RecordFault::Header;
    if (record[kRecordOffsetChecksum] != RecordChecksum(record)) return RecordFault::Checksum;
    return std::nullopt;
}

std::optional<PresetEntry> parseUserPresetRecord(std::span<const uint8_t, kUserPresetRecordSize> record) {
    if (checkUserPresetRecord(record)) return std::nullopt;
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

namespace {

bool lengthAccepted(std::uint64_t size) {
    return size != 0 && size % kUserPresetRecordSize == 0 && size <= kMaxPresetFileSize;
}

std::vector<PresetEntry> decodeRecords(std::span<const uint8_t> file, std::vector<SkippedRecord>* skipped) {
    std::vector<PresetEntry> out;
    if (!lengthAccepted(file.size())) return out;
    for (std::size_t off = 0; off < file.size(); off += kUserPresetRecordSize) {
        const auto record = file.subspan(off).first<kUserPresetRecordSize>();
        if (const auto fault = checkUserPresetRecord(record)) {
            if (skipped) skipped->push_back({off / kUserPresetRecordSize + 1, *fault});
        } else {
            out.push_back(*parseUserPresetRecord(record));
        }
    }
    return out;
}

}  // namespace

std::vector<PresetEntry> decodeUserPresets(std::span<const uint8_t> file) { return decodeRecords(file, nullptr); }

PresetFileLoad loadUserPresetFile(const std::filesystem::path& path) {
    PresetFileLoad load;
    SmallFile file = readSmallFile(path, kMaxPresetFileSize);
    load.size = file.size;
    load.present = file.status != SmallFile::Status::Missing && file.status != SmallFile::Status::Directory;
    switch (file.status) {
    case SmallFile::Status::Missing:
    case SmallFile::Status::Directory:
        return load;
    case SmallFile::Status::NotRegular:
        load.fault = PresetFileFault::NotRegularFile;
        return load;
    case SmallFile::Status::TooLarge:
        load.fault = PresetFileFault::OverLimit;
        return load;
    case SmallFile::Status::Unreadable:
        load.fault = PresetFileFault::Unreadable;
        load.error = file.error;
        return load;
    case SmallFile::Status::Changed:
        load.fault = PresetFileFault::ChangedWhileRead;
        return load;
    case SmallFile::Status::Ok:
        break;
    }
    // An empty file holds nothing to lose; the other lengths the reader refuses mean lost bytes.
    if (file.bytes.empty()) return load;
    if (file.bytes.size() % kUserPresetRecordSize != 0) {
        load.fault = PresetFileFault::NotWholeRecords;
        return load;
    }
    load.entries = decodeRecords(file.bytes, &load.skipped);
    return load;
}

std::vector<PresetEntry> readUserPresetFile(const std::filesystem::path& path) {
    return loadUserPresetFile(path).entries;
}

std::string describeLoadProblem(const PresetFileLoad& load) {
    const std::string size = std::to_string(load.size);
    switch (load.fault) {
    case PresetFileFault::Unreadable:
        return std::string("unreadable: ") + std::strerror(load.error);
    case PresetFileFault::NotRegularFile:
        return "not a regular file";
    case PresetFileFault::OverLimit:
        return "file size " + size + " is over the " + std::to_string(kMaxUserPresetRecords) + "-record limit (" +
               std::to_string(kMaxPresetFileSize) + " bytes)";
    case PresetFileFault::NotWholeRecords:
        return "file size " + size + " is not a multiple of " + std::to_string(kUserPresetRecordSize);
    case PresetFileFault::ChangedWhileRead:
        return "its length changed while it was read";
    case PresetFileFault::None:
        break;
    }
    std::string out;
    constexpr std::size_t kListed = 10;  // a file of nothing but bad records would make an endless line
    for (std::size_t i = 0; i < load.skipped.size() && i < kListed; ++i) {
        const auto& r = load.skipped[i];
        out += (i ? ", record " : "skipped record ") + std::to_string(r.number) +
               (r.fault == RecordFault::Checksum ? " (bad checksum)" : " (bad header)");
    }
    if (load.skipped.size() > kListed) out += " and " + std::to_string(load.skipped.size() - kListed) + " more";
    return out;
}

}  // namespace qv7
