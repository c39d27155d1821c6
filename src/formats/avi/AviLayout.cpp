#include "formats/avi/AviLayout.h"

#include <algorithm>
#include <utility>

#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {

AviLayout::AviLayout(SeekableSink& sink, AviStreamLayout stream, std::uint64_t riffLimit)
    : m_sink(sink), m_out(sink), m_stream(std::move(stream)), m_riffLimit(riffLimit) {}

bool AviLayout::Fail() noexcept {
    m_ok = false;
    return false;
}

bool AviLayout::Begin() {
    const std::vector<std::uint8_t> header = BuildHeaderBlock(m_stream, m_counts);
    m_headerSize = header.size();
    m_out.bytes(header);
    m_part = Part{0, m_headerSize - 4, 0};
    return m_out.ok() || Fail();
}

// Bytes the part's own indexes will take with this many frames: ix00 (which
// an OpenDML file has in every part) and, in the first part, idx1.
std::uint64_t AviLayout::IndexReserve(std::size_t frames) const noexcept {
    std::uint64_t bytes = kStandardIndexHeader + std::uint64_t{kStandardIndexEntry} * frames;
    if (IsFirstPart()) bytes += 8 + std::uint64_t{kIdx1Entry} * frames;
    return bytes;
}

bool AviLayout::AddFrame(std::span<const std::uint8_t> data) {
    if (!m_ok || m_finished || data.size() >= 0x80000000u) return Fail();
    const std::uint64_t chunk = 8 + data.size() + data.size() % 2;
    const std::size_t inPart = m_frames.size() - m_part.firstFrame;
    const std::uint64_t end = Position() + chunk + IndexReserve(inPart + 1);
    if (inPart > 0 && end - m_part.riffStart > m_riffLimit) {
        // The super index has one entry per part; a file needing more stops here.
        if (m_riffCount + 1 > kSuperIndexEntries) return Fail();
        if (!ClosePart() || !OpenExtensionPart()) return Fail();
    }
    m_frames.push_back({Position(), static_cast<std::uint32_t>(data.size())});
    m_out.u32le(m_stream.chunkId);
    m_out.u32le(static_cast<std::uint32_t>(data.size()));
    m_out.bytes(data);
    if (data.size() % 2) m_out.u8(0);
    if (!m_out.ok()) return Fail();
    ++m_counts.totalFrames;
    if (IsFirstPart()) ++m_counts.firstRiffFrames;
    m_counts.largestChunk = std::max(m_counts.largestChunk, static_cast<std::uint32_t>(data.size()));
    return true;
}

bool AviLayout::PatchSize(std::uint64_t sizeField, std::uint64_t end) {
    const std::uint64_t size = end - (sizeField + 4);
    if (size > 0xFFFFFFFFu) return Fail();
    std::vector<std::uint8_t> bytes;
    PutU32le(bytes, static_cast<std::uint32_t>(size));
    return m_sink.writeAt(sizeField, bytes) || Fail();
}

// Ends the current part: its ix00 closes the movie list; the first part
// then gets idx1, a later part its final sizes.
bool AviLayout::ClosePart() {
    const std::span<const FrameIndexEntry> frames(m_frames.data() + m_part.firstFrame,
                                                  m_frames.size() - m_part.firstFrame);
    const std::uint64_t indexOffset = Position();
    const std::vector<std::uint8_t> index = BuildStandardIndex(m_stream.chunkId, frames, m_part.moviCode);
    m_out.bytes(index);
    m_counts.parts.push_back(
        {indexOffset, static_cast<std::uint32_t>(index.size()), static_cast<std::uint32_t>(frames.size())});
    const std::uint64_t moviEnd = Position();
    if (IsFirstPart()) {
        m_out.bytes(BuildIdx1(m_stream.chunkId, frames, m_part.moviCode));
        m_counts.firstMoviSize = static_cast<std::uint32_t>(moviEnd - m_part.moviCode);
        m_counts.firstRiffSize = static_cast<std::uint32_t>(Position() - 8);
        return m_out.ok() || Fail();
    }
    return (m_out.ok() && PatchSize(m_part.moviCode - 4, moviEnd) && PatchSize(m_part.riffStart + 4, moviEnd)) ||
           Fail();
}

bool AviLayout::OpenExtensionPart() {
    const std::uint64_t start = Position();
    m_out.u32le(MakeFourcc("RIFF"));
    m_out.u32le(0);
    m_out.u32le(MakeFourcc("AVIX"));
    m_out.u32le(MakeFourcc("LIST"));
    m_out.u32le(0);
    m_out.u32le(MakeFourcc("movi"));
    m_part = Part{start, start + 20, m_frames.size()};
    ++m_riffCount;
    return m_out.ok() || Fail();
}

bool AviLayout::Finish() {
    if (!m_ok || m_finished) return Fail();
    if (m_counts.parts.empty()) {
        // One RIFF: the movie list ends with the last frame; idx1 follows.
        const std::uint64_t moviEnd = Position();
        m_out.bytes(BuildIdx1(m_stream.chunkId, m_frames, m_part.moviCode));
        if (!m_out.ok()) return Fail();
        m_counts.firstMoviSize = static_cast<std::uint32_t>(moviEnd - m_part.moviCode);
        m_counts.firstRiffSize = static_cast<std::uint32_t>(Position() - 8);
    } else if (!ClosePart()) {
        return false;
    }
    m_finished = true;
    const std::vector<std::uint8_t> header = BuildHeaderBlock(m_stream, m_counts);
    if (header.size() != m_headerSize) return Fail();  // the block never changes length
    return m_sink.writeAt(0, header) || Fail();
}

}  // namespace crossmeld::avi
