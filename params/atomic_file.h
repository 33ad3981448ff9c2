// Replacing a user's file so that a crash or kill never leaves it torn.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace qv7 {

struct FileResult {
    bool ok = true;
    std::string error;  // what failed, on which path, and why
    explicit operator bool() const { return ok; }
};

// Replaces `path` so that a reader, or the next start after a crash or kill, sees either the old
// contents or the new ones, never a mixture: temporary file in the same directory, write, fsync,
// rename. On failure the old file is untouched and the temporary file removed.
FileResult writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes);

}  // namespace qv7
