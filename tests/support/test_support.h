// Shared helpers of the params tests: scratch directories, hex fixtures, whole-file I/O.
#pragma once

#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qv7::test {

using Bytes = std::vector<uint8_t>;

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "qv7-params-XXXXXX").string();
        path_ = ::mkdtemp(tmpl.data());
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// "1E 0A 61" -> bytes; spaces are ignored.
inline Bytes hex(std::string_view text) {
    Bytes out;
    int high = -1;
    for (char c : text) {
        int v;
        if (c >= '0' && c <= '9') v = c - '0';
        else if (c >= 'A' && c <= 'F') v = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f') v = c - 'a' + 10;
        else continue;
        if (high < 0) {
            high = v;
        } else {
            out.push_back(static_cast<uint8_t>(high << 4 | v));
            high = -1;
        }
    }
    return out;
}

inline Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

inline Bytes zeros(std::size_t n) { return Bytes(n, 0); }

inline std::optional<Bytes> readFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    if (!in) return std::nullopt;
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::filesystem::path& p, const Bytes& b) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}

// A user-preset record assembled field by field, independently of the code under test.
inline Bytes handRecord(const Bytes& set30, std::string_view name, int checksumDelta = 0) {
    Bytes r(100, 0);
    r[0] = 0x1E;
    r[1] = 0x0A;
    for (std::size_t i = 0; i < 30; ++i) r[2 + i] = set30.at(i);
    for (std::size_t i = 0; i < name.size() && i < 10; ++i) r[32 + i] = static_cast<uint8_t>(name[i]);
    unsigned sum = 0;
    for (std::size_t i = 0; i < 99; ++i) sum += r[i];
    r[99] = static_cast<uint8_t>((sum + static_cast<unsigned>(checksumDelta)) & 0xFF);
    return r;
}

// The bytes of "唱歌默认" (built-in 1), a valid set on every firmware.
inline Bytes singingDefault() {
    return {14, 14, 14, 14, 1, 0, 0, 10, 10, 3, 12, 0, 2, 0, 9, 0, 10, 1, 18, 23, 24, 25, 30, 31, 31, 4, 4, 7, 2, 15};
}

// What saving "唱歌默认"'s settings as "abc" must write: header, 30 setting bytes, the three letters,
// 7 + 57 zero bytes, checksum 0x96 (40 + 328 + 294 = 662 = 0x296).
inline Bytes abcRecordFixture() {
    return cat({hex("1E 0A"),
                hex("0E 0E 0E 0E 01 00 00 0A 0A 03 0C 00 02 00 09 00 0A 01 12 17 18 19 1E 1F 1F 04 04 07 02 0F"),
                hex("61 62 63"), zeros(7), zeros(57), hex("96")});
}

// Makes writes beyond `bytes` fail with EFBIG (a full disk as far as the writer can tell).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        old_ = ::signal(SIGXFSZ, SIG_IGN);
        rlimit lim = saved_;
        lim.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lim);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        ::signal(SIGXFSZ, old_);
    }

private:
    rlimit saved_{};
    sighandler_t old_{};
};

}  // namespace qv7::test
