#pragma once
// Lays out the RIFF AVI file of one video stream on a seekable sink: puts the
// header block down, appends frame chunks (word-aligned, in the order given),
// keeps the index, and at the end writes idx1 and the final headers. When the
// current RIFF would grow past the limit (1 GiB), the file goes on in
// 'RIFF' 'AVIX' parts in the OpenDML way: ix00 in each part, indx and dmlh
// in the headers (see AviHeaders.h).

#include <cstdint>
#include <span>
#include <vector>

#include "base/ByteWriter.h"
#include "base/FileSink.h"
#include "formats/avi/AviHeaders.h"

namespace crossmeld::avi {

class AviLayout {
public:
    static constexpr std::uint64_t kRiffLimit = std::uint64_t{1} << 30;

    // The sink must be empty. riffLimit is the largest size of one RIFF
    // (smaller values let tests see several parts).
    AviLayout(SeekableSink& sink, AviStreamLayout stream, std::uint64_t riffLimit = kRiffLimit);

    // Each returns false once a write has failed (or the file would need
    // more RIFF parts than the super index holds); nothing more is written
    // after that.
    bool Begin();
    bool AddFrame(std::span<const std::uint8_t> data);
    bool Finish();

    std::uint32_t FrameCount() const noexcept { return static_cast<std::uint32_t>(m_frames.size()); }
    std::size_t RiffCount() const noexcept { return m_riffCount; }

private:
    struct Part {
        std::uint64_t riffStart = 0;
        std::uint64_t moviCode = 0;  // offset of the part's 'movi' code
        std::size_t firstFrame = 0;
    };

    std::uint64_t Position() const noexcept { return m_out.written(); }
    bool IsFirstPart() const noexcept { return m_part.riffStart == 0; }
    std::uint64_t IndexReserve(std::size_t frames) const noexcept;
    bool ClosePart();
    bool OpenExtensionPart();
    bool PatchSize(std::uint64_t sizeField, std::uint64_t end);
    bool Fail() noexcept;

    SeekableSink& m_sink;
    ByteWriter m_out;
    AviStreamLayout m_stream;
    std::uint64_t m_riffLimit;
    std::size_t m_headerSize = 0;
    std::vector<FrameIndexEntry> m_frames;
    Part m_part;
    AviCounts m_counts;
    std::size_t m_riffCount = 1;
    bool m_ok = true;
    bool m_finished = false;
};

}  // namespace crossmeld::avi
