// Reading a small file the user owns without ever blocking on it or loading more than a bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <vector>

namespace qv7 {

struct SmallFile {
    enum class Status : uint8_t {
        Ok,
        Missing,     // nothing of that name (or a path through a non-directory)
        Directory,   // a directory of that name
        NotRegular,  // a FIFO, socket or device node: never read, so it cannot block or stream forever
        TooLarge,    // larger than the limit: not read at all
        Unreadable,  // exists but cannot be opened or read; `error` says why
        Changed,     // its length changed while it was read (shorter or longer than its size said)
    };
    Status status = Status::Missing;
    int error = 0;               // errno, for Unreadable
    std::uint64_t size = 0;      // as the file reported it, also when too large
    std::vector<uint8_t> bytes;  // the whole file, for Ok only
};

// The whole of `path` when it is a regular file of at most `limit` bytes. The type is checked on the
// opened descriptor (opened non-blocking, so a FIFO without a writer cannot hang the caller), not
// on a name that may change between a check and the open.
SmallFile readSmallFile(const std::filesystem::path& path, std::size_t limit);

}  // namespace qv7
