// Bounded, non-blocking whole-file reads of para.bin and TolkaPanel.ini.
#include "common/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace qv7 {
namespace {

SmallFile::Status typeOf(const struct stat& st) {
    if (S_ISREG(st.st_mode)) return SmallFile::Status::Ok;
    return S_ISDIR(st.st_mode) ? SmallFile::Status::Directory : SmallFile::Status::NotRegular;
}

}  // namespace

SmallFile readSmallFile(const std::filesystem::path& path, std::size_t limit) {
    SmallFile out;
    // A look before the open keeps device nodes from being opened at all (an open can have effects
    // on a device); the check on the descriptor below is the one that counts.
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        const int err = errno;
        if (err == ENOENT || err == ENOTDIR) return out;
        out.status = SmallFile::Status::Unreadable;
        out.error = err;
        return out;
    }
    out.status = typeOf(st);
    if (out.status != SmallFile::Status::Ok) return out;

    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int err = errno;
        out.status = err == ENOENT ? SmallFile::Status::Missing : SmallFile::Status::Unreadable;
        out.error = err == ENOENT ? 0 : err;
        return out;
    }
    auto done = [&](SmallFile::Status s, int err = 0) -> SmallFile {
        ::close(fd);
        out.status = s;
        out.error = err;
        if (s != SmallFile::Status::Ok) out.bytes = {};
        return std::move(out);
    };
    if (::fstat(fd, &st) != 0) return done(SmallFile::Status::Unreadable, errno);
    if (const auto type = typeOf(st); type != SmallFile::Status::Ok) return done(type);
    out.size = static_cast<std::uint64_t>(st.st_size);
    if (out.size > limit) return done(SmallFile::Status::TooLarge);

    // One byte more than promised is asked for, so a file that grew is noticed rather than cut.
    out.bytes.resize(static_cast<std::size_t>(out.size) + 1);
    std::size_t got = 0;
    while (got < out.bytes.size()) {
        const ssize_t n = ::read(fd, out.bytes.data() + got, out.bytes.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            return done(SmallFile::Status::Unreadable, errno);
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    // Shrunk or grown while being read: whatever it now holds was not seen whole.
    if (got != out.size) return done(got > limit ? SmallFile::Status::TooLarge : SmallFile::Status::Changed);
    out.bytes.resize(got);
    return done(SmallFile::Status::Ok);
}

}  // namespace qv7
