#include "base/BufferedSink.h"

namespace crossmeld {

BufferedSink::BufferedSink(ByteSink& inner, std::size_t capacity) : m_inner(inner), m_capacity(capacity) {
    m_buffer.reserve(m_capacity);
}

bool BufferedSink::write(std::span<const std::uint8_t> bytes) {
    if (m_failed) return false;
    if (m_buffer.size() + bytes.size() > m_capacity && !Flush()) return false;
    if (bytes.size() >= m_capacity) {
        // Large pieces go straight through.
        if (!m_inner.write(bytes)) m_failed = true;
        return !m_failed;
    }
    m_buffer.insert(m_buffer.end(), bytes.begin(), bytes.end());
    return true;
}

bool BufferedSink::Flush() {
    if (m_failed) return false;
    if (!m_buffer.empty() && !m_inner.write(m_buffer)) m_failed = true;
    m_buffer.clear();
    return !m_failed;
}

}  // namespace crossmeld
