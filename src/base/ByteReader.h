#pragma once
// Bounds-checked little-endian reading over a byte span. Every file format of
// the program is parsed through this class: a read past the end raises an
// Error (by default "invalid picture"; a parser may name another kind), so no
// parser ever touches memory outside its input.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "base/Error.h"

namespace crossmeld {

class ByteReader {
public:
    explicit ByteReader(std::span<const std::uint8_t> data, ErrorKind failure = ErrorKind::InvalidPicture)
        : m_data(data), m_failure(failure) {}

    std::size_t size() const noexcept { return m_data.size(); }
    std::size_t position() const noexcept { return m_pos; }
    std::size_t remaining() const noexcept { return m_data.size() - m_pos; }
    bool atEnd() const noexcept { return m_pos >= m_data.size(); }
    bool has(std::size_t n) const noexcept { return n <= remaining(); }

    std::uint8_t u8();
    std::uint16_t u16le();
    std::uint32_t u32le();
    std::int16_t i16le() { return static_cast<std::int16_t>(u16le()); }
    std::int32_t i32le() { return static_cast<std::int32_t>(u32le()); }
    std::uint16_t u16be();
    std::uint32_t u32be();

    // The next n bytes as a view into the input (no copy).
    std::span<const std::uint8_t> bytes(std::size_t n);
    // Copies n bytes into out.
    void read(std::span<std::uint8_t> out);
    void skip(std::size_t n);
    void seek(std::size_t offset);  // absolute; offset == size() is allowed

    // Byte at an absolute offset, without moving.
    std::uint8_t peek(std::size_t offset) const;

    // The whole input, and the part from the current position on.
    std::span<const std::uint8_t> data() const noexcept { return m_data; }
    std::span<const std::uint8_t> rest() const noexcept { return m_data.subspan(m_pos); }

    [[noreturn]] void fail(const std::string& what) const;

private:
    void need(std::size_t n) const;

    std::span<const std::uint8_t> m_data;
    std::size_t m_pos = 0;
    ErrorKind m_failure;
};

}  // namespace crossmeld
