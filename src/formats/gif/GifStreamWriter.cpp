#include "formats/gif/GifStreamWriter.h"

#include "base/Error.h"
#include "base/Numeric.h"
#include "formats/gif/GifFormat.h"
#include "formats/gif/LzwEncoder.h"
#include "raster/DibSurface.h"

namespace crossmeld {

using namespace gif;

bool GifStreamWriter::Open(const std::filesystem::path& target) {
    Abort();
    if (!m_file.Create(target)) return false;
    m_fileSink = std::make_unique<FileSink>(m_file.fd());
    m_buffer = std::make_unique<BufferedSink>(*m_fileSink);
    m_out = std::make_unique<ByteWriter>(*m_buffer);
    return true;
}

void GifStreamWriter::WriteScreen(const GifScreen& screen) {
    if (!m_out) throw Error(ErrorKind::PathFileAccessError, "The GIF file is not open");
    ByteWriter& out = *m_out;
    if (screen.palette.size() != kPaletteBytes) throw Error(ErrorKind::InvalidProcedureCall, "A palette has 256 entries");
    m_tableExponent = TableExponent(screen.paletteEntries);
    const auto table = ColorTable(screen.palette.first<kPaletteBytes>(), screen.paletteEntries, m_tableExponent);
    WriteHeader(out, "89a");
    WriteLogicalScreenDescriptor(out, screen.width, screen.height, ScreenFlags(m_tableExponent, false),
                                 screen.background, screen.aspect);
    out.bytes(table);
    if (screen.looping) WriteLoopingExtension(out, screen.loops);
    CheckWritten(out);
}

void GifStreamWriter::WriteFrameHeader(std::int32_t width, std::int32_t height, const GifFrameBlock& block) {
    if (!m_out || m_tableExponent == 0) throw Error(ErrorKind::PathFileAccessError, "The GIF screen is not written");
    ByteWriter& out = *m_out;
    const std::uint8_t controlFlags = FlagByte(static_cast<std::int32_t>(block.disposal) * 4 + (block.transparent ? 1 : 0),
                                               "graphic control flags byte");
    WriteGraphicControlExtension(out, controlFlags, block.delay, block.transparent ? block.transparentIndex : 0);
    WriteImageDescriptor(out, block.left, block.top, CheckedInt16(width), CheckedInt16(height),
                         FlagByte(m_tableExponent - 1, "image flags byte"));
}

void GifStreamWriter::WriteImageData(ByteWriter& out, const DibSurface& indices, std::int32_t tableExponent) {
    const std::uint8_t minimumCodeSize =
        LzwEncoder::MinimumCodeSizeFor(indices, static_cast<std::uint8_t>(tableExponent > 1 ? tableExponent : 2));
    out.u8(minimumCodeSize);
    LzwEncoder::EncodeFrame(out, indices, static_cast<std::uint8_t>(minimumCodeSize + 1), false);
    out.u8(kBlockTerminator);
}

void GifStreamWriter::WriteFrame(const DibSurface& indices, const GifFrameBlock& block) {
    WriteFrameHeader(indices.Width(), indices.Height(), block);
    WriteImageData(*m_out, indices, m_tableExponent);
    CheckWritten(*m_out);
}

std::vector<std::uint8_t> GifStreamWriter::EncodeImage(const DibSurface& indices) const {
    if (m_tableExponent == 0) throw Error(ErrorKind::PathFileAccessError, "The GIF screen is not written");
    VectorSink sink;
    ByteWriter out(sink);
    WriteImageData(out, indices, m_tableExponent);
    return std::move(sink.bytes());
}

void GifStreamWriter::WriteEncodedFrame(std::int32_t width, std::int32_t height, std::span<const std::uint8_t> data,
                                        const GifFrameBlock& block) {
    WriteFrameHeader(width, height, block);
    m_out->bytes(data);
    CheckWritten(*m_out);
}

bool GifStreamWriter::Finish() {
    if (!m_out) return false;
    m_out->u8(kTrailer);
    const bool written = m_out->ok() && m_buffer->Flush() && m_file.Commit();
    m_out.reset();
    m_buffer.reset();
    m_fileSink.reset();
    if (!written) m_file.Discard();
    return written;
}

void GifStreamWriter::Abort() noexcept {
    m_out.reset();
    m_buffer.reset();
    m_fileSink.reset();
    m_file.Discard();
    m_tableExponent = 0;
}

}  // namespace crossmeld
