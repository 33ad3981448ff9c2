// Atomic replacement of small files, the clean-up after a killed save, and copies kept before a replacement.
#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

#include "common/system_error.h"

namespace qv7 {

namespace {

constexpr std::size_t kTemporarySuffixLength = 6;  // mkstemp's XXXXXX

FileResult failure(const char* what, const std::filesystem::path& p, int err) {
    return {false, systemError(std::string(what) + " " + p.string(), err)};
}

std::filesystem::path directoryOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// A rename or link must reach the disk too; a failure here leaves a complete file either way.
void syncDirectory(const std::filesystem::path& dir) {
    if (const int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
}

bool isTemporaryNameOf(std::string_view name, std::string_view target) {
    if (name.size() != target.size() + 2 + kTemporarySuffixLength) return false;
    if (name[0] != '.' || name.substr(1, target.size()) != target || name[target.size() + 1] != '.') return false;
    for (char c : name.substr(target.size() + 2))
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))) return false;
    return true;
}

// A new temporary file beside `path`, locked. A start-up clean-up may take it for a leftover in the
// instant between its creation and the lock; it is then already unlinked, and another one is made.
int createLockedTemporary(const std::filesystem::path& path, std::filesystem::path& tmp) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        // mkstemp rather than a fixed name: the panel and qv7ctl may save at the same moment.
        std::string tmpl = (directoryOf(path) / ("." + path.filename().string() + ".XXXXXX")).string();
        const int fd = ::mkstemp(tmpl.data());
        if (fd < 0) return -1;
        tmp = tmpl;
        // Where locks are not supported the save goes on unlocked; the clean-up then keeps the file.
        (void)::flock(fd, LOCK_EX);
        struct stat st {};
        if (::fstat(fd, &st) == 0 && st.st_nlink > 0) return fd;
        ::close(fd);
    }
    errno = EAGAIN;
    return -1;
}

// Copies the regular file `from` to the new name `to`, never over an existing file; `taken` tells
// that the name was in use.
FileResult copyToNewFile(const std::filesystem::path& from, const std::filesystem::path& to, bool& taken) {
    taken = false;
    const int in = ::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (in < 0) return failure("cannot read", from, errno);
    struct stat st {};
    if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(in);
        return {false, "cannot copy " + from.string() + ": not a regular file"};
    }
    const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
    if (out < 0) {
        const int err = errno;
        ::close(in);
        taken = err == EEXIST;
        return failure("cannot create", to, err);
    }
    auto fail = [&](const char* what, const std::filesystem::path& p) {
        const int err = errno;
        ::close(in);
        ::close(out);
        ::unlink(to.c_str());
        return failure(what, p, err);
    };
    std::array<char, 65536> buffer;
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail("cannot read", from);
        }
        if (n == 0) break;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w = ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) {
                if (w == 0) errno = EIO;
                return fail("cannot write", to);
            }
            done += w;
        }
    }
    if (::fsync(out) != 0) return fail("cannot flush", to);
    ::close(in);
    if (::close(out) != 0) {
        const int err = errno;
        ::unlink(to.c_str());
        return failure("cannot close", to, err);
    }
    return {};
}

}  // namespace

FileResult writeFileAtomically(const std::filesystem::path& path, std::span<const uint8_t> bytes) {
    const auto dir = directoryOf(path);
    std::filesystem::path tmp;
    const int fd = createLockedTemporary(path, tmp);
    if (fd < 0) return failure("cannot create a temporary file in", dir, errno);

    auto fail = [&](const char* what) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        return failure(what, tmp, err);
    };

    // Keep the permissions of the file being replaced; mkstemp's 0600 would hide it from other users.
    // Only a regular file's: a FIFO or /dev/zero in its place would hand on their 0666.
    struct stat st {};
    const mode_t mode = ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? (st.st_mode & 07777) : 0644;
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
    // Renamed while still locked, so the clean-up never sees a finished temporary file as a leftover.
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int err = errno;
        ::close(fd);
        ::unlink(tmp.c_str());
        return failure("cannot replace", path, err);
    }
    // The data reached the disk with the fsync above; a failing close cannot take it back.
    ::close(fd);
    syncDirectory(dir);
    return {};
}

std::size_t removeStaleTemporaryFiles(const std::filesystem::path& path) {
    const auto dir = directoryOf(path);
    const std::string target = path.filename().string();
    std::size_t removed = 0;
    std::error_code ec;
    std::filesystem::directory_iterator it(dir, ec);
    for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
        const auto candidate = it->path();
        if (!isTemporaryNameOf(candidate.filename().string(), target)) continue;
        struct stat named {};
        if (::lstat(candidate.c_str(), &named) != 0 || !S_ISREG(named.st_mode)) continue;
        const int fd = ::open(candidate.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) continue;
        struct stat held {};
        // A lock that cannot be taken belongs to a save still running (or to a file system without
        // locks, where nothing tells the two apart): either way the file stays.
        if (::fstat(fd, &held) == 0 && S_ISREG(held.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            ::lstat(candidate.c_str(), &named) == 0 && named.st_dev == held.st_dev && named.st_ino == held.st_ino &&
            ::unlink(candidate.c_str()) == 0)
            ++removed;
        ::close(fd);
    }
    return removed;
}

KeptCopy keepCopyBeside(const std::filesystem::path& path, std::string_view suffix) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) {
        if (errno == ENOENT) return {};  // nothing there, nothing to lose
        return {failure("cannot look at", path, errno), {}};
    }
    constexpr int kNames = 100;
    for (int n = 1; n <= kNames; ++n) {
        std::filesystem::path kept = path.string() + std::string(suffix) + (n > 1 ? "-" + std::to_string(n) : "");
        if (::link(path.c_str(), kept.c_str()) == 0) {
            syncDirectory(directoryOf(path));
            return {{}, kept};
        }
        if (errno == EEXIST) continue;
        if (errno == ENOENT) return {};
        // Some file systems have no hard links, and the kernel refuses links to other users' files.
        bool taken = false;
        FileResult copied = copyToNewFile(path, kept, taken);
        if (copied) {
            syncDirectory(directoryOf(path));
            return {{}, kept};
        }
        if (!taken) return {copied, {}};
    }
    return {{false, "no free name for a copy of " + path.string() + std::string(suffix)}, {}};
}

}  // namespace qv7
