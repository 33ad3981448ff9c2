// What a file held when a program last read or wrote it, to tell whether another program has changed it since
// (the panel and qv7ctl, a second copy, a sync tool or an editor all write para.bin).
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "common/small_file.h"

namespace qv7 {

struct FileStamp {
    SmallFile::Status status = SmallFile::Status::Missing;
    std::vector<uint8_t> bytes;  // the whole file, for Ok: the contents decide, whatever the clock says
    // For a file whose contents were not read (too large, unreadable, not a regular file): what stat says.
    std::uint64_t size = 0;
    std::uint64_t device = 0, inode = 0;
    std::int64_t modifiedNs = 0;

    bool operator==(const FileStamp&) const = default;
};

// Reads `path` (at most `limit` bytes, never blocking on it) and stamps it.
FileStamp stampFile(const std::filesystem::path& path, std::size_t limit);
// The stamp of a file this program has just written with `bytes`: what it would read back.
FileStamp stampOfContents(std::vector<uint8_t> bytes);

}  // namespace qv7
