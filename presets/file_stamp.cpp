#include "presets/file_stamp.h"

#include <sys/stat.h>

#include <utility>

namespace qv7 {

FileStamp stampFile(const std::filesystem::path& path, std::size_t limit) {
    SmallFile file = readSmallFile(path, limit);
    FileStamp s;
    s.status = file.status;
    if (file.status == SmallFile::Status::Ok) {
        s.bytes = std::move(file.bytes);
        return s;
    }
    if (file.status == SmallFile::Status::Missing) return s;
    // Contents that were not read are told apart by the file's identity, size and time instead.
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) {
        s.size = static_cast<std::uint64_t>(st.st_size);
        s.device = static_cast<std::uint64_t>(st.st_dev);
        s.inode = static_cast<std::uint64_t>(st.st_ino);
        s.modifiedNs = static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    }
    return s;
}

FileStamp stampOfContents(std::vector<uint8_t> bytes) {
    FileStamp s;
    s.status = SmallFile::Status::Ok;
    s.bytes = std::move(bytes);
    return s;
}

}  // namespace qv7
