#pragma once
// The file object behind an AviFileHandle opened for writing: a temporary
// file beside the target, the layout of its one video stream, and whether
// anything has gone wrong. Close finishes the file and puts it in the
// target's place only when a format was set and no write failed; otherwise
// the temporary file is removed and the target stays as it was.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>

#include "base/FileSink.h"
#include "base/ReplacingFile.h"
#include "formats/avi/AviLayout.h"
#include "formats/avi/AviStatus.h"
#include "formats/avi/AviTypes.h"
#include "formats/avi/FrameCodec.h"

namespace crossmeld::avi {

class AviWriter {
public:
    explicit AviWriter(std::uint64_t riffLimit = AviLayout::kRiffLimit) : m_riffLimit(riffLimit) {}

    AviStatus Open(const std::filesystem::path& target);
    // The one video stream of the file.
    AviStatus AddStream(const StreamHeader& info);
    // Fixes the stored format from a started codec and writes the headers.
    AviStatus SetFormat(const FrameCodec& codec, const DibFormat& input);
    AviStatus AppendFrame(std::span<const std::uint8_t> chunk);
    // Marks the file as failed: it will not replace the target.
    void MarkFailed(AviStatus status) noexcept;
    AviStatus Close();

    bool IsClosed() const noexcept { return m_closed; }
    bool HasStream() const noexcept { return m_info.has_value(); }
    bool HasFormat() const noexcept { return m_layout.has_value(); }
    std::uint32_t FrameCount() const noexcept { return m_layout ? m_layout->FrameCount() : 0; }

private:
    std::uint64_t m_riffLimit;
    ReplacingFile m_file;
    std::unique_ptr<FileSink> m_sink;
    std::optional<StreamHeader> m_info;
    std::optional<AviLayout> m_layout;
    AviStatus m_failure = AVIERR_OK;
    bool m_closed = false;
};

}  // namespace crossmeld::avi
