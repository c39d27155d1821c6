#include "export/AviSink.h"

#include "base/ByteWriter.h"
#include "base/Error.h"
#include "base/Numeric.h"
#include "formats/bmp/DibFormat.h"

namespace crossmeld {

namespace {

std::size_t Stride(std::int32_t width) {
    return (static_cast<std::size_t>(width) * 3 + 3) & ~std::size_t{3};
}

}  // namespace

std::vector<std::uint8_t> AviSink::FrameFormat(std::int32_t width, std::int32_t height) {
    std::vector<std::uint8_t> header;
    const std::uint64_t image = static_cast<std::uint64_t>(Stride(width)) * static_cast<std::uint64_t>(height);
    if (width < 1 || height < 1 || image > UINT32_MAX) throw Error(ErrorKind::Overflow, "The frames are too large for an AVI file");
    PutU32le(header, kBitmapInfoHeaderSize);
    PutU32le(header, static_cast<std::uint32_t>(width));
    PutU32le(header, static_cast<std::uint32_t>(height));
    PutU16le(header, 1);   // planes
    PutU16le(header, 24);  // bits per pixel
    PutU32le(header, kUncompressedRgb);
    PutU32le(header, static_cast<std::uint32_t>(image));
    PutU32le(header, 0);  // pixels per metre, across and down
    PutU32le(header, 0);
    PutU32le(header, 0);  // colours used, important
    PutU32le(header, 0);
    return header;
}

bool AviSink::Begin(const std::filesystem::path& target, const OutputSettings& settings) {
    Abort();
    const auto format = FrameFormat(settings.width, settings.height);
    m_writer = std::make_unique<avi::Writer>();
    if (m_writer->Open(target) != avi::WriteResult::Ok) throw OutputWriteFailed();
    avi::CodecChoice choice;
    if (!m_codecs.ChooseCodec(choice)) {
        m_writer->Abort();
        return false;
    }
    if (m_writer->Start(format, static_cast<std::uint32_t>(settings.framesPerSecond), choice) != avi::WriteResult::Ok) {
        m_writer->Abort();
        throw OutputWriteFailed();
    }
    m_settings = settings;
    m_dib.assign(Stride(settings.width) * static_cast<std::size_t>(settings.height), 0);
    return true;
}

void AviSink::Write(const FrameView& frame) {
    CheckFrameFits(frame, m_settings);
    // Top-down four-byte pixels become bottom-up three-byte rows; the row
    // padding stays zero.
    const std::size_t stride = Stride(frame.width);
    for (std::int32_t y = 0; y < frame.height; ++y) {
        const std::uint8_t* in = frame.bgrx.data() + static_cast<std::size_t>(y) * frame.width * 4;
        std::uint8_t* out = m_dib.data() + static_cast<std::size_t>(frame.height - 1 - y) * stride;
        for (std::int32_t x = 0; x < frame.width; ++x, in += 4, out += 3) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
    // A held frame is stored again for each frame time of its hold.
    const std::int64_t times = 1 + HoldRepeats(frame.holdSeconds, m_settings.framesPerSecond);
    for (std::int64_t i = 0; i < times; ++i)
        if (!m_writer || m_writer->WriteFrame(m_dib) != avi::WriteResult::Ok) throw OutputWriteFailed();
}

void AviSink::Finish() {
    if (!m_writer || m_writer->Finish() != avi::WriteResult::Ok) throw OutputWriteFailed();
}

void AviSink::Abort() noexcept {
    if (m_writer) m_writer->Abort();
}

}  // namespace crossmeld
