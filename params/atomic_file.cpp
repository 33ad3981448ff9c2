// Atomic replacement of small files: temporary file in the same directory, fsync, rename.
#include "params/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace qv7 {

namespace {

FileResult failure(const char* what, const std::filesystem::path& p, int err) {
    return {false, std::string(what) + " " + p.string() + ": " + std::strerror(err)};
}

}  // namespace

FileResult writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    const auto dir = path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    // mkstemp rather than a fixed name: the panel and qv7ctl may save at the same moment.
    std::string tmpl = (dir / ("." + path.filename().string() + ".XXXXXX")).string();
    const int fd = ::mkstemp(tmpl.data());
    if (fd < 0) return failure("cannot create a temporary file in", dir, errno);
    const std::filesystem::path tmp = tmpl;

    auto fail = [&](const char* what) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        return failure(what, tmp, err);
    };

    // Keep the permissions of the file being replaced; mkstemp's 0600 would hide it from other users.
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 ? (st.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0) return fail("cannot set the mode of");

    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("cannot write");
        }
        if (n == 0) {
            errno = EIO;
            return fail("cannot write");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return fail("cannot flush");
    if (::close(fd) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return failure("cannot close", tmp, err);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::unlink(tmp.c_str());
        return failure("cannot replace", path, err);
    }
    // The rename itself must reach the disk too; a failure here leaves a complete file either way.
    if (const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return {};
}

}  // namespace qv7
