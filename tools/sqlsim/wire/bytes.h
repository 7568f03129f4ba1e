// Little-endian byte building and bounds-checked reading for TDS messages, and the text
// conversions the protocol needs (UCS-2 for Unicode, code page 1252 for single-byte text).
#pragma once

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace sqlsim::wire {

// Thrown when a client message is shorter or stranger than its own length fields claim.
// Parsing code never trusts a length; every read goes through ByteReader.
class ProtocolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ByteWriter {
public:
    void u8(uint8_t v) { buf_.push_back(v); }
    void u16(uint16_t v);
    void u16be(uint16_t v);
    void u32(uint32_t v);
    void u32be(uint32_t v);
    void u64(uint64_t v);
    void bytes(std::string_view b) { buf_.insert(buf_.end(), b.begin(), b.end()); }
    void bytes(std::span<const uint8_t> b) { buf_.insert(buf_.end(), b.begin(), b.end()); }
    // UCS-2 text without a length prefix.
    void ucs2(std::string_view utf8);
    // B_VARCHAR: one length byte counting characters, then UCS-2.
    void bVarchar(std::string_view utf8);
    // US_VARCHAR: two length bytes counting characters, then UCS-2.
    void usVarchar(std::string_view utf8);
    void patchU16(size_t at, uint16_t v);
    size_t size() const { return buf_.size(); }
    std::vector<uint8_t>& data() { return buf_; }
    const std::vector<uint8_t>& data() const { return buf_; }
    void clear() { buf_.clear(); }

private:
    std::vector<uint8_t> buf_;
};

class ByteReader {
public:
    explicit ByteReader(std::span<const uint8_t> data) : data_(data) {}
    uint8_t u8();
    uint8_t peek() const;
    uint16_t u16();
    uint16_t u16be();
    uint32_t u32();
    uint32_t u32be();
    uint64_t u64();
    std::span<const uint8_t> take(size_t n);
    std::string takeString(size_t n);
    // UCS-2 of `chars` characters, returned as UTF-8.
    std::string ucs2(size_t chars);
    std::string bVarchar() { return ucs2(u8()); }
    std::string usVarchar() { return ucs2(u16()); }
    void skip(size_t n) { take(n); }
    size_t remaining() const { return data_.size() - pos_; }
    size_t position() const { return pos_; }
    bool atEnd() const { return pos_ >= data_.size(); }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

// UTF-8 <-> UTF-16LE. Characters outside the BMP become surrogate pairs; malformed UTF-8
// and lone surrogates become U+FFFD rather than failing, as a server would never refuse text.
std::string utf8ToUtf16le(std::string_view utf8);
std::string utf16leToUtf8(std::span<const uint8_t> bytes);
// UTF-8 <-> Windows-1252, the code page of the default collation. Unmappable characters
// become '?', as the server does when it narrows Unicode into a varchar.
std::string utf8ToCp1252(std::string_view utf8);
std::string cp1252ToUtf8(std::string_view bytes);
// Number of UTF-16 code units `utf8` needs.
size_t utf16Length(std::string_view utf8);

} // namespace sqlsim::wire
