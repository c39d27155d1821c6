#include "base/ByteReader.h"

#include <algorithm>

namespace crossmeld {

void ByteReader::fail(const std::string& what) const {
    throw Error(m_failure, what);
}

void ByteReader::need(std::size_t n) const {
    if (n > remaining()) fail("unexpected end of data");
}

std::uint8_t ByteReader::u8() {
    need(1);
    return m_data[m_pos++];
}

std::uint16_t ByteReader::u16le() {
    need(2);
    std::uint16_t v = static_cast<std::uint16_t>(m_data[m_pos] | (m_data[m_pos + 1] << 8));
    m_pos += 2;
    return v;
}

std::uint32_t ByteReader::u32le() {
    need(4);
    std::uint32_t v = static_cast<std::uint32_t>(m_data[m_pos]) | (static_cast<std::uint32_t>(m_data[m_pos + 1]) << 8) |
                      (static_cast<std::uint32_t>(m_data[m_pos + 2]) << 16) |
                      (static_cast<std::uint32_t>(m_data[m_pos + 3]) << 24);
    m_pos += 4;
    return v;
}

std::uint16_t ByteReader::u16be() {
    need(2);
    std::uint16_t v = static_cast<std::uint16_t>((m_data[m_pos] << 8) | m_data[m_pos + 1]);
    m_pos += 2;
    return v;
}

std::uint32_t ByteReader::u32be() {
    need(4);
    std::uint32_t v = (static_cast<std::uint32_t>(m_data[m_pos]) << 24) |
                      (static_cast<std::uint32_t>(m_data[m_pos + 1]) << 16) |
                      (static_cast<std::uint32_t>(m_data[m_pos + 2]) << 8) | static_cast<std::uint32_t>(m_data[m_pos + 3]);
    m_pos += 4;
    return v;
}

std::span<const std::uint8_t> ByteReader::bytes(std::size_t n) {
    need(n);
    auto s = m_data.subspan(m_pos, n);
    m_pos += n;
    return s;
}

void ByteReader::read(std::span<std::uint8_t> out) {
    auto s = bytes(out.size());
    std::copy(s.begin(), s.end(), out.begin());
}

void ByteReader::skip(std::size_t n) {
    need(n);
    m_pos += n;
}

void ByteReader::seek(std::size_t offset) {
    if (offset > m_data.size()) fail("offset beyond end of data");
    m_pos = offset;
}

std::uint8_t ByteReader::peek(std::size_t offset) const {
    if (offset >= m_data.size()) fail("offset beyond end of data");
    return m_data[offset];
}

}  // namespace crossmeld
