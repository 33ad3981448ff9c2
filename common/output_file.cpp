// Output files by kind: atomic replacement for regular files, in-place writes for the rest, refusals for disks.
#include "common/output_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <optional>
#include <string>
#include <string_view>

#include "common/system_error.h"

namespace qv7 {
namespace {

namespace fs = std::filesystem;

OutputFileResult failed(std::string error) {
    OutputFileResult r;
    r.ok = false;
    r.error = std::move(error);
    return r;
}

std::optional<int> descriptorNumber(std::string_view digits) {
    int n = -1;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (ec != std::errc() || end != digits.data() + digits.size() || n < 0) return std::nullopt;
    return n;
}

// The descriptor of this process that `text` (a normalised absolute path) names, if it names one.
std::optional<int> ownDescriptorName(std::string_view text) {
    if (text == "/dev/stdout") return 1;
    if (text == "/dev/stderr") return 2;
    const std::string self = "/proc/" + std::to_string(::getpid()) + "/fd/";
    for (const std::string_view prefix : {std::string_view("/dev/fd/"), std::string_view("/proc/self/fd/"),
                                          std::string_view("/proc/thread-self/fd/"), std::string_view(self)}) {
        if (text.substr(0, prefix.size()) == prefix) return descriptorNumber(text.substr(prefix.size()));
    }
    return std::nullopt;
}

// Follows `path` link by link, without letting /proc's own links turn a descriptor into what it points at
// ("pipe:[1234]"), and says which descriptor of this process it ends at, if it does.
std::optional<int> ownDescriptor(const fs::path& path) {
    std::error_code ec;
    fs::path p = fs::absolute(path, ec);
    if (ec) return std::nullopt;
    for (int hops = 0; hops < 40; ++hops) {
        p = p.lexically_normal();
        if (const auto n = ownDescriptorName(p.string())) return n;
        struct stat st {};
        if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return std::nullopt;
        const fs::path target = fs::read_symlink(p, ec);
        if (ec) return std::nullopt;
        p = target.is_absolute() ? target : p.parent_path() / target;
    }
    return std::nullopt;
}

bool writeAll(int fd, std::span<const uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            if (n == 0) errno = EIO;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

const char* kindOf(mode_t mode) {
    if (S_ISDIR(mode)) return "a directory";
    if (S_ISBLK(mode)) return "a block device";
    if (S_ISSOCK(mode)) return "a socket";
    return "not a file";
}

}  // namespace

OutputFileResult writeOutputFile(const fs::path& path, std::span<const uint8_t> bytes) {
    struct stat named {};
    if (::lstat(path.c_str(), &named) != 0) {
        if (errno != ENOENT) return failed(systemError("cannot look at " + path.string(), errno));
        OutputFileResult r;
        static_cast<FileResult&>(r) = writeFileAtomically(path, bytes);
        return r;
    }
    if (S_ISREG(named.st_mode)) {
        OutputFileResult r;
        static_cast<FileResult&>(r) = writeFileAtomically(path, bytes);
        return r;
    }

    if (const auto fd = ownDescriptor(path)) {
        if (::fcntl(*fd, F_GETFD) < 0) return failed(systemError("cannot write " + path.string(), errno));
        if (!writeAll(*fd, bytes)) return failed(systemError("cannot write " + path.string(), errno));
        OutputFileResult r;
        r.descriptor = *fd;
        return r;
    }

    struct stat target {};
    if (::stat(path.c_str(), &target) != 0) {
        if (errno == ENOENT)
            return failed("not writing " + path.string() + ": it is a symbolic link to nothing (not followed)");
        return failed(systemError("cannot look at " + path.string(), errno));
    }
    if (S_ISREG(target.st_mode)) {
        // The link is the user's way of naming the file: the file is replaced, as a named file would be.
        std::error_code ec;
        const fs::path file = fs::canonical(path, ec);
        if (ec) return failed(systemError("cannot follow " + path.string(), ec.value()));
        OutputFileResult r;
        static_cast<FileResult&>(r) = writeFileAtomically(file, bytes);
        return r;
    }
    if (S_ISFIFO(target.st_mode) || S_ISCHR(target.st_mode)) {
        // O_NOFOLLOW is not wanted: a link to a FIFO leads where the user meant. No O_CREAT: it exists,
        // and if it went away since, nothing is made in its place.
        const int fd = ::open(path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
        if (fd < 0) return failed(systemError("cannot open " + path.string(), errno));
        struct stat opened {};
        if (::fstat(fd, &opened) != 0 || !(S_ISFIFO(opened.st_mode) || S_ISCHR(opened.st_mode))) {
            ::close(fd);
            return failed("not writing " + path.string() + ": it changed while it was opened");
        }
        const bool written = writeAll(fd, bytes);
        const int err = errno;
        if (::close(fd) != 0 && written) return failed(systemError("cannot write " + path.string(), errno));
        if (!written) return failed(systemError("cannot write " + path.string(), err));
        return {};
    }
    return failed("not writing " + path.string() + ": it is " + kindOf(target.st_mode) +
                  "; name a regular file, a FIFO, a terminal or '-' for standard output");
}

std::optional<std::filesystem::path> regularFileTarget(const std::filesystem::path& path) {
    std::error_code ec;
    const auto link = std::filesystem::symlink_status(path, ec);
    if (ec || !std::filesystem::exists(link)) return path;
    if (std::filesystem::is_regular_file(link)) return path;
    if (!std::filesystem::is_symlink(link)) return std::nullopt;
    const auto target = std::filesystem::status(path, ec);
    if (ec || !std::filesystem::is_regular_file(target)) return std::nullopt;
    auto resolved = std::filesystem::canonical(path, ec);
    if (ec) return std::nullopt;
    return resolved;
}

}  // namespace qv7
