// GBK <-> UTF-8 through glibc's iconv; one descriptor per call keeps it thread-safe.
#include "common/gbk_text.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>

namespace qv7::gbk {
namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter() {
        if (ok()) iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much as possible; returns false at the first invalid or unconvertible input,
    // leaving `in` pointing at it.
    bool run(std::string_view& in, std::string& out) {
        char buffer[256];
        while (!in.empty()) {
            char* src = const_cast<char*>(in.data());  // iconv's signature; it does not write
            std::size_t srcLeft = in.size();
            char* dst = buffer;
            std::size_t dstLeft = sizeof buffer;
            const std::size_t r = iconv(cd_, &src, &srcLeft, &dst, &dstLeft);
            out.append(buffer, static_cast<std::size_t>(dst - buffer));
            in.remove_prefix(in.size() - srcLeft);
            // glibc counts irreversible conversions in r; GBK names must survive the round trip.
            if (r == static_cast<std::size_t>(-1)) {
                if (errno == E2BIG) continue;
                return false;
            }
            if (r != 0) return false;
        }
        return flush(out);
    }

private:
    bool flush(std::string& out) {
        char buffer[16];
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return false;
        out.append(buffer, static_cast<std::size_t>(dst - buffer));
        return true;
    }

    iconv_t cd_;
};

std::optional<std::string> convert(const char* to, const char* from, std::string_view in) {
    Converter c(to, from);
    if (!c.ok()) return std::nullopt;
    std::string out;
    if (!c.run(in, out)) return std::nullopt;
    return out;
}

// Length of the UTF-8 sequence starting with `lead`; 1 for stray bytes so callers always advance.
std::size_t utf8SequenceLength(unsigned char lead) {
    if (lead < 0x80) return 1;
    if ((lead & 0xE0) == 0xC0) return 2;
    if ((lead & 0xF0) == 0xE0) return 3;
    if ((lead & 0xF8) == 0xF0) return 4;
    return 1;
}

}  // namespace

std::optional<std::string> fromUtf8(std::string_view utf8) { return convert("GBK", "UTF-8", utf8); }

std::optional<std::string> toUtf8(std::string_view gbk) { return convert("UTF-8", "GBK", gbk); }

std::string toUtf8Display(std::string_view gbk) {
    Converter c("UTF-8", "GBK");
    std::string out;
    if (!c.ok()) return out;
    while (!c.run(gbk, out)) {
        out += "\xEF\xBF\xBD";
        if (gbk.empty()) break;  // an incomplete sequence at the end
        // A GBK lead byte takes its trail with it; otherwise skip the single bad byte.
        const auto lead = static_cast<unsigned char>(gbk.front());
        gbk.remove_prefix(lead >= 0x81 && lead <= 0xFE && gbk.size() >= 2 ? 2 : 1);
    }
    return out;
}

std::optional<std::size_t> byteLength(std::string_view utf8) {
    const auto g = fromUtf8(utf8);
    if (!g) return std::nullopt;
    return g->size();
}

std::string fitToBytes(std::string_view utf8, std::size_t maxBytes) {
    std::size_t used = 0;
    std::size_t taken = 0;
    while (taken < utf8.size()) {
        const std::size_t len =
            std::min(utf8SequenceLength(static_cast<unsigned char>(utf8[taken])), utf8.size() - taken);
        const auto g = fromUtf8(utf8.substr(taken, len));
        if (!g || used + g->size() > maxBytes) break;
        used += g->size();
        taken += len;
    }
    return std::string(utf8.substr(0, taken));
}

std::string textUpToZero(std::span<const uint8_t> field) {
    const auto end = std::find(field.begin(), field.end(), uint8_t{0});
    return std::string(field.begin(), end);
}

}  // namespace qv7::gbk
