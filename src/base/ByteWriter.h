#pragma once
// Little-endian writing into a sink. The default sink is a growing byte
// vector; FileSink writes to a file and reports the first failed write, and
// tests can give a sink that fails after N bytes.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <span>
#include <string>
#include <vector>

namespace crossmeld {

class ByteSink {
public:
    virtual ~ByteSink() = default;
    // Returns false when the bytes could not be written.
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
};

class VectorSink final : public ByteSink {
public:
    bool write(std::span<const std::uint8_t> bytes) override;
    std::vector<std::uint8_t>& bytes() noexcept { return m_bytes; }

private:
    std::vector<std::uint8_t> m_bytes;
};

class ByteWriter {
public:
    explicit ByteWriter(ByteSink& sink) : m_sink(sink) {}

    void u8(std::uint8_t v);
    void u16le(std::uint16_t v);
    void u32le(std::uint32_t v);
    void i16le(std::int16_t v) { u16le(static_cast<std::uint16_t>(v)); }
    void i32le(std::int32_t v) { u32le(static_cast<std::uint32_t>(v)); }
    void fourcc(const char (&code)[5]);
    void bytes(std::span<const std::uint8_t> data);
    void zeros(std::size_t n);

    std::uint64_t written() const noexcept { return m_written; }
    // False once any write to the sink has failed; later writes are dropped.
    bool ok() const noexcept { return m_ok; }

private:
    ByteSink& m_sink;
    std::uint64_t m_written = 0;
    bool m_ok = true;
};

// Appends little-endian values to a byte vector (for building headers in memory).
void PutU16le(std::vector<std::uint8_t>& out, std::uint16_t v);
void PutU32le(std::vector<std::uint8_t>& out, std::uint32_t v);

}  // namespace crossmeld
