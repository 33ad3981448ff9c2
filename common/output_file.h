// Writing a file the user named as a command's output: a regular file is replaced atomically, and what is not
// a regular file (a terminal, a pipe, /dev/null, the command's own standard output) is written in place or
// refused, never replaced by a plain file.
#pragma once

#include <filesystem>
#include <optional>
#include <span>

#include "common/atomic_file.h"

namespace qv7 {

struct OutputFileResult : FileResult {
    int descriptor = -1;  // the process's own descriptor the bytes went to (/dev/stdout is 1), or -1
};

// What `path` names decides:
//   nothing, or a regular file       replaced atomically (writeFileAtomically)
//   a symbolic link to a regular file  the file it leads to is replaced atomically; the link stays as it is
//   /dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N, or a link to one of them
//                                    written to that descriptor of this process, as the shell opened it
//   a FIFO or a character device     opened and written in place (a FIFO waits for its reader)
//   a directory, a block device, a socket, or a link that leads nowhere
//                                    refused with a message naming the path and what it is
OutputFileResult writeOutputFile(const std::filesystem::path& path, std::span<const uint8_t> bytes);

// For a window, which must neither block on a pipe nor replace what is not a file: the regular file `path` names
// (itself, a file not there yet, or the file a link leads to), or nothing when it names anything else.
std::optional<std::filesystem::path> regularFileTarget(const std::filesystem::path& path);

}  // namespace qv7
