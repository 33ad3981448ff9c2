// Bounded reading and writing of fixed-width integers in byte buffers, in either byte order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace qv7 {

// Reads forward from an offset. A read that does not fit in what is left yields 0 (an empty span for
// take) and leaves the reader failed: every later read fails too, so a caller can read a whole record
// and check ok() once at the end.
class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> bytes, std::size_t offset = 0)
        : bytes_(bytes), pos_(offset), ok_(offset <= bytes.size()) {}

    uint8_t u8() { return static_cast<uint8_t>(read(1, false)); }
    uint16_t u16be() { return static_cast<uint16_t>(read(2, true)); }
    uint16_t u16le() { return static_cast<uint16_t>(read(2, false)); }
    uint32_t u32be() { return read(4, true); }
    uint32_t u32le() { return read(4, false); }

    std::span<const uint8_t> take(std::size_t n) {
        if (!fits(n)) return {};
        const auto out = bytes_.subspan(pos_, n);
        pos_ += n;
        return out;
    }
    bool skip(std::size_t n) {
        if (!fits(n)) return false;
        pos_ += n;
        return true;
    }

    bool ok() const { return ok_; }
    std::size_t offset() const { return pos_; }
    std::size_t remaining() const { return ok_ ? bytes_.size() - pos_ : 0; }

private:
    bool fits(std::size_t n) {
        if (ok_ && n <= bytes_.size() - pos_) return true;
        ok_ = false;
        return false;
    }
    uint32_t read(std::size_t n, bool bigEndian) {
        if (!fits(n)) return 0;
        uint32_t v = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const uint32_t b = bytes_[pos_ + i];
            v |= bigEndian ? b << (8 * (n - 1 - i)) : b << (8 * i);
        }
        pos_ += n;
        return v;
    }

    std::span<const uint8_t> bytes_;
    std::size_t pos_;
    bool ok_;
};

// Appends to a growing buffer, so a write can never run past an end.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<uint8_t>& out) : out_(out) {}

    ByteWriter& u8(uint8_t v) {
        out_.push_back(v);
        return *this;
    }
    ByteWriter& u16be(uint16_t v) { return put(v, 2, true); }
    ByteWriter& u16le(uint16_t v) { return put(v, 2, false); }
    ByteWriter& u32be(uint32_t v) { return put(v, 4, true); }
    ByteWriter& u32le(uint32_t v) { return put(v, 4, false); }
    ByteWriter& bytes(std::span<const uint8_t> b) {
        out_.insert(out_.end(), b.begin(), b.end());
        return *this;
    }

private:
    ByteWriter& put(uint32_t v, std::size_t n, bool bigEndian) {
        for (std::size_t i = 0; i < n; ++i)
            out_.push_back(static_cast<uint8_t>(v >> (8 * (bigEndian ? n - 1 - i : i))));
        return *this;
    }

    std::vector<uint8_t>& out_;
};

}  // namespace qv7
