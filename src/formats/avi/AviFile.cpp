#include "formats/avi/AviFile.h"

#include <atomic>
#include <new>
#include <span>

#include "formats/avi/AviStream.h"
#include "formats/avi/AviWriter.h"
#include "formats/avi/RawFrameCodec.h"

namespace crossmeld::avi {

struct AviHandleAccess {
    static std::shared_ptr<AviWriter>& Object(AviFileHandle& h) { return h.m_object; }
    static const std::shared_ptr<AviWriter>& Object(const AviFileHandle& h) { return h.m_object; }
    static std::shared_ptr<AviStream>& Object(AviStreamHandle& h) { return h.m_object; }
    static const std::shared_ptr<AviStream>& Object(const AviStreamHandle& h) { return h.m_object; }
};

namespace {

std::atomic<int> g_useCount{0};

using Access = AviHandleAccess;

// Runs a call's body, turning the only exceptions it can meet into statuses.
template <typename Body>
AviStatus Guarded(Body body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    } catch (...) {
        return AVIERR_INTERNAL;
    }
}

}  // namespace

void AVIFileInit() noexcept {
    ++g_useCount;
}

void AVIFileExit() noexcept {
    int count = g_useCount.load();
    while (count > 0 && !g_useCount.compare_exchange_weak(count, count - 1)) {
    }
}

int AviLibraryUseCount() noexcept {
    return g_useCount.load();
}

AviStatus AVIFileOpen(AviFileHandle& file, const std::string& path, std::uint32_t mode,
                      const void* handlerClass) noexcept {
    return Guarded([&] {
        Access::Object(file).reset();
        if (handlerClass != nullptr) return AVIERR_UNSUPPORTED;
        if (!(mode & OF_CREATE) || !(mode & (OF_WRITE | OF_READWRITE))) return AVIERR_UNSUPPORTED;
        if (path.empty()) return AVIERR_FILEOPEN;
        auto writer = std::make_shared<AviWriter>();
        const AviStatus status = writer->Open(path);
        if (status == AVIERR_OK) Access::Object(file) = std::move(writer);
        return status;
    });
}

AviStatus AVIFileCreateStream(const AviFileHandle& file, AviStreamHandle& stream, const StreamHeader& info) noexcept {
    return Guarded([&] {
        Access::Object(stream).reset();
        const auto& writer = Access::Object(file);
        if (!writer) return AVIERR_BADHANDLE;
        const AviStatus status = writer->AddStream(info);
        if (status == AVIERR_OK)
            Access::Object(stream) = std::make_shared<AviStream>(writer, std::make_unique<RawFrameCodec>());
        return status;
    });
}

AviStatus AVISaveOptions(CodecChooser* chooser, std::uint32_t /*flags*/, std::int32_t streamCount,
                         const AviStreamHandle* streams, AviCompressOptions** options) noexcept {
    return Guarded([&]() -> AviStatus {
        if (streamCount < 1 || streams == nullptr || options == nullptr) return AVIERR_BADPARAM;
        for (std::int32_t i = 0; i < streamCount; ++i) {
            if (options[i] == nullptr || !streams[i]) return AVIERR_BADPARAM;
        }
        for (std::int32_t i = 0; i < streamCount; ++i) {
            AviCompressOptions& o = *options[i];
            if (chooser && !chooser->ChooseCodec(o)) return 0;
            o.type = kStreamTypeVideo;
            o.flags |= AVICOMPRESSF_VALID;
        }
        return 1;
    });
}

AviStatus AVISaveOptionsFree(std::int32_t streamCount, AviCompressOptions** options) noexcept {
    // The records hold no codec parameters of their own, so nothing is freed.
    if (streamCount < 0 || (streamCount > 0 && options == nullptr)) return AVIERR_BADPARAM;
    return AVIERR_OK;
}

AviStatus AVIMakeCompressedStream(AviStreamHandle& compressed, const AviStreamHandle& source,
                                  const AviCompressOptions* options, const void* handlerClass) noexcept {
    return Guarded([&] {
        Access::Object(compressed).reset();
        const auto& stream = Access::Object(source);
        if (!stream || stream->writer()->IsClosed()) return AVIERR_BADHANDLE;
        if (options == nullptr) return AVIERR_BADPARAM;
        if (handlerClass != nullptr) return AVIERR_UNSUPPORTED;
        auto codec = MakeFrameCodec(options->handler, options->quality);
        if (!codec) return AVIERR_NOCOMPRESSOR;
        Access::Object(compressed) = std::make_shared<AviStream>(stream->writer(), std::move(codec));
        return AVIERR_OK;
    });
}

AviStatus AVIStreamSetFormat(const AviStreamHandle& stream, std::int32_t position, const std::uint8_t* format,
                             std::int32_t formatSize) noexcept {
    return Guarded([&] {
        const auto& object = Access::Object(stream);
        if (!object) return AVIERR_BADHANDLE;
        if (format == nullptr || formatSize <= 0) return AVIERR_BADFORMAT;
        return object->SetFormat(position, std::span(format, static_cast<std::size_t>(formatSize)));
    });
}

AviStatus AVIStreamWrite(const AviStreamHandle& stream, std::int32_t /*start*/, std::int32_t samples,
                         const std::uint8_t* data, std::int32_t bytes, std::uint32_t /*flags*/,
                         std::int32_t* samplesWritten, std::int32_t* bytesWritten) noexcept {
    if (samplesWritten) *samplesWritten = 0;
    if (bytesWritten) *bytesWritten = 0;
    const auto& object = Access::Object(stream);
    if (!object) return AVIERR_BADHANDLE;
    const AviStatus status = Guarded([&] {
        std::span<const std::uint8_t> pixels;
        if (data != nullptr && bytes > 0) pixels = std::span(data, static_cast<std::size_t>(bytes));
        return object->Write(samples, pixels, bytesWritten);
    });
    if (status == AVIERR_OK && samplesWritten) *samplesWritten = 1;
    if (status != AVIERR_OK) object->writer()->MarkFailed(status);
    return status;
}

AviStatus AVIStreamRelease(AviStreamHandle& stream) noexcept {
    if (!stream) return AVIERR_BADHANDLE;
    stream = AviStreamHandle{};  // drops the writing or the reading stream
    return AVIERR_OK;
}

AviStatus AVIFileRelease(AviFileHandle& file) noexcept {
    auto& object = Access::Object(file);
    if (!object) return AVIERR_BADHANDLE;
    const AviStatus status = Guarded([&] { return object->Close(); });
    object.reset();
    return status;
}

}  // namespace crossmeld::avi
