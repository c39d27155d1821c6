#include "base/ByteWriter.h"

namespace crossmeld {

bool VectorSink::write(std::span<const std::uint8_t> bytes) {
    m_bytes.insert(m_bytes.end(), bytes.begin(), bytes.end());
    return true;
}

void ByteWriter::bytes(std::span<const std::uint8_t> data) {
    if (!m_ok || data.empty()) return;
    if (!m_sink.write(data)) {
        m_ok = false;
        return;
    }
    m_written += data.size();
}

void ByteWriter::u8(std::uint8_t v) {
    bytes(std::span<const std::uint8_t>(&v, 1));
}

void ByteWriter::u16le(std::uint16_t v) {
    const std::uint8_t b[2] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8)};
    bytes(b);
}

void ByteWriter::u32le(std::uint32_t v) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(v), static_cast<std::uint8_t>(v >> 8),
                               static_cast<std::uint8_t>(v >> 16), static_cast<std::uint8_t>(v >> 24)};
    bytes(b);
}

void ByteWriter::fourcc(const char (&code)[5]) {
    const std::uint8_t b[4] = {static_cast<std::uint8_t>(code[0]), static_cast<std::uint8_t>(code[1]),
                               static_cast<std::uint8_t>(code[2]), static_cast<std::uint8_t>(code[3])};
    bytes(b);
}

void ByteWriter::zeros(std::size_t n) {
    static const std::uint8_t z[256] = {};
    while (n > 0 && m_ok) {
        std::size_t k = n < sizeof z ? n : sizeof z;
        bytes(std::span<const std::uint8_t>(z, k));
        n -= k;
    }
}

void PutU16le(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void PutU32le(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace crossmeld
