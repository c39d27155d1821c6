#pragma once
// Collects small writes (block headers, sub-blocks) into larger ones before
// they reach the underlying sink. A failure of the underlying sink shows at
// the write that flushed, or at Flush; after it every write fails.

#include <cstdint>
#include <span>
#include <vector>

#include "base/ByteWriter.h"

namespace crossmeld {

class BufferedSink final : public ByteSink {
public:
    explicit BufferedSink(ByteSink& inner, std::size_t capacity = std::size_t{1} << 16);

    bool write(std::span<const std::uint8_t> bytes) override;
    // Hands everything collected to the underlying sink.
    bool Flush();

private:
    ByteSink& m_inner;
    std::vector<std::uint8_t> m_buffer;
    std::size_t m_capacity;
    bool m_failed = false;
};

}  // namespace crossmeld
