// Byte-level reading and writing of TDS messages.
//
// ByteReader walks a received message and throws ProtocolError as soon as a read would go
// past its end, so that no length announced by a peer is ever trusted. ByteWriter appends
// the little-endian integers and UTF-16 strings that TDS is made of. Both are plain values
// (thread-compatible).
#pragma once

#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tds {

// A message that breaks the protocol: the connection that sent it is closed.
class ProtocolError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

class ByteReader {
  public:
    explicit ByteReader(std::string_view data) : data_(data) {}

    size_t position() const { return pos_; }
    size_t remaining() const { return data_.size() - pos_; }
    bool atEnd() const { return pos_ == data_.size(); }
    std::string_view whole() const { return data_; }

    void seek(size_t position) {
        if (position > data_.size()) throw ProtocolError("offset beyond the end of the message");
        pos_ = position;
    }
    void skip(size_t n) { take(n); }

    std::string_view take(size_t n) {
        if (n > remaining()) throw ProtocolError("message shorter than it announces");
        std::string_view out = data_.substr(pos_, n);
        pos_ += n;
        return out;
    }

    uint8_t u8() { return static_cast<uint8_t>(take(1)[0]); }
    uint16_t u16() { return static_cast<uint16_t>(little(2)); }
    uint32_t u32() { return static_cast<uint32_t>(little(4)); }
    uint64_t u64() { return little(8); }
    uint16_t u16be() {
        std::string_view b = take(2);
        return static_cast<uint16_t>((uint8_t(b[0]) << 8) | uint8_t(b[1]));
    }
    uint32_t u32be() {
        std::string_view b = take(4);
        return (uint32_t(uint8_t(b[0])) << 24) | (uint32_t(uint8_t(b[1])) << 16) |
               (uint32_t(uint8_t(b[2])) << 8) | uint32_t(uint8_t(b[3]));
    }

    // UTF-16LE text of `characters` code units, returned as its raw bytes.
    std::string_view utf16(size_t characters) { return take(characters * 2); }
    // B_VARCHAR / US_VARCHAR: a 1- or 2-byte character count, then UTF-16LE.
    std::string_view bVarChar() { return utf16(u8()); }
    std::string_view usVarChar() { return utf16(u16()); }

  private:
    uint64_t little(size_t n) {
        std::string_view b = take(n);
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v |= uint64_t(uint8_t(b[i])) << (8 * i);
        return v;
    }

    std::string_view data_;
    size_t pos_ = 0;
};

class ByteWriter {
  public:
    std::string& bytes() { return out_; }
    const std::string& bytes() const { return out_; }
    size_t size() const { return out_.size(); }

    void u8(uint8_t v) { out_.push_back(static_cast<char>(v)); }
    void u16(uint16_t v) { little(v, 2); }
    void u32(uint32_t v) { little(v, 4); }
    void u64(uint64_t v) { little(v, 8); }
    void i32(int32_t v) { little(static_cast<uint32_t>(v), 4); }
    void i64(int64_t v) { little(static_cast<uint64_t>(v), 8); }
    void u16be(uint16_t v) {
        u8(static_cast<uint8_t>(v >> 8));
        u8(static_cast<uint8_t>(v));
    }
    void u32be(uint32_t v) {
        u16be(static_cast<uint16_t>(v >> 16));
        u16be(static_cast<uint16_t>(v));
    }
    void raw(std::string_view b) { out_.append(b); }
    void zeros(size_t n) { out_.append(n, '\0'); }

    // Overwrites a 2-byte little-endian value written earlier (a length known only later).
    void patchU16(size_t at, uint16_t v) {
        out_[at] = static_cast<char>(v & 0xFF);
        out_[at + 1] = static_cast<char>(v >> 8);
    }
    void patchU16be(size_t at, uint16_t v) {
        out_[at] = static_cast<char>(v >> 8);
        out_[at + 1] = static_cast<char>(v & 0xFF);
    }

  private:
    void little(uint64_t v, size_t n) {
        for (size_t i = 0; i < n; ++i)
            out_.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    }

    std::string out_;
};

}  // namespace tds
