// Replacing a user's file so that a crash or kill never leaves it torn, and keeping one safe before it is replaced.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace qv7 {

struct FileResult {
    bool ok = true;
    std::string error;  // what failed, on which path, and why
    explicit operator bool() const { return ok; }
};

// Replaces `path` so that a reader, or the next start after a crash or kill, sees either the old
// contents or the new ones, never a mixture: temporary file ".NAME.XXXXXX" in the same directory,
// write, fsync, rename. On failure the old file is untouched and the temporary file removed. The
// temporary file is locked (flock) until the rename, which tells a live save from a dead one's leftover.
FileResult writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// Removes the temporary files of saves of `path` that were killed half-way: only names of the
// writer's pattern in that directory, only regular files, and none a live save still holds.
// Returns how many went.
std::size_t removeStaleTemporaryFiles(const std::filesystem::path& path);

struct KeptCopy {
    FileResult result;
    std::filesystem::path path;  // where the old contents now also live; empty when nothing was there
};

// Keeps what is at `path` under the name `path` + `suffix`, or that name with "-2", "-3", ... when it
// is taken: an existing file is never replaced. A hard link when the file system allows one (no
// space needed, works for a file this user cannot read but owns), otherwise a byte-for-byte copy.
KeptCopy keepCopyBeside(const std::filesystem::path& path, std::string_view suffix);

}  // namespace qv7
