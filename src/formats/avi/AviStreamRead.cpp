#include "formats/avi/AviStreamRead.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <type_traits>

#include "base/Error.h"
#include "formats/avi/AviReadAccess.h"

namespace crossmeld::avi {

// The record is copied byte for byte, as callers pass its size.
static_assert(std::is_trivially_copyable_v<StreamHeader> && sizeof(StreamHeader) == 140);

namespace {

using Access = AviReadAccess;

AviStatus Open(AviStreamHandle& stream, std::unique_ptr<AviSource> source, std::uint32_t type,
               std::int32_t streamIndex) noexcept {
    try {
        auto reader = AviReader::Open(std::move(source), type, streamIndex);
        if (!reader) return AVIERR_NODATA;
        Access::Reader(stream) = std::move(reader);
        return AVIERR_OK;
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    } catch (const Error& e) {
        return e.kind() == ErrorKind::OutOfMemory ? AVIERR_MEMORY : AVIERR_BADFORMAT;
    } catch (...) {
        return AVIERR_INTERNAL;
    }
}

}  // namespace

AviStatus AVIStreamOpenFromFile(AviStreamHandle& stream, const std::string& path, std::uint32_t type,
                                std::int32_t streamIndex, std::uint32_t mode, const void* handlerClass) noexcept {
    stream = AviStreamHandle{};
    if (handlerClass != nullptr) return AVIERR_UNSUPPORTED;
    if (mode & (OF_WRITE | OF_READWRITE | OF_CREATE)) return AVIERR_READONLY;
    std::unique_ptr<AviSource> source;
    try {
        source = OpenFileSource(path);
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    }
    if (!source) return AVIERR_FILEOPEN;
    return Open(stream, std::move(source), type, streamIndex);
}

AviStatus AviStreamOpenFromBytes(AviStreamHandle& stream, std::vector<std::uint8_t> bytes, std::uint32_t type,
                                 std::int32_t streamIndex) noexcept {
    stream = AviStreamHandle{};
    std::unique_ptr<AviSource> source;
    try {
        source = MakeMemorySource(std::move(bytes));
    } catch (const std::bad_alloc&) {
        return AVIERR_MEMORY;
    }
    return Open(stream, std::move(source), type, streamIndex);
}

std::int32_t AVIStreamLength(const AviStreamHandle& stream) noexcept {
    const auto& reader = Access::Reader(stream);
    if (!reader) return -1;
    return static_cast<std::int32_t>(reader->FrameCount());  // at most kMaxAviFrames
}

std::int32_t AVIStreamStart(const AviStreamHandle& stream) noexcept {
    const auto& reader = Access::Reader(stream);
    if (!reader) return -1;
    const std::uint32_t start = reader->Info().start;
    return start > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(start);
}

std::int32_t AVIStreamSampleToTime(const AviStreamHandle& stream, std::int32_t sample) noexcept {
    const auto& reader = Access::Reader(stream);
    if (!reader) return -1;
    const StreamHeader& info = reader->Info();
    if (info.rate == 0) return -1;
    const std::int64_t start = info.start;
    const std::int64_t end = start + info.length;
    const std::int64_t clamped = sample < start ? start : (sample > end ? end : sample);
    // Up to 2^33 x 2^32 x 1000: beyond 64 bits, so the product is kept in 128.
    const unsigned __int128 numerator =
        static_cast<unsigned __int128>(clamped) * info.scale * 1000u;
    const bool roundUp = info.scale != 0 && info.rate / info.scale >= 1000;
    const unsigned __int128 time = (numerator + (roundUp ? info.rate - 1 : 0)) / info.rate;
    const auto most = static_cast<unsigned __int128>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(time > most ? most : time);
}

AviStatus AVIStreamInfo(const AviStreamHandle& stream, StreamHeader& info, std::int32_t size) noexcept {
    const auto& reader = Access::Reader(stream);
    if (!reader) return AVIERR_BADHANDLE;
    if (size < 0) return AVIERR_BADPARAM;
    const std::size_t n = std::min(static_cast<std::size_t>(size), sizeof(StreamHeader));
    std::memcpy(&info, &reader->Info(), n);
    return n < sizeof(StreamHeader) ? AVIERR_BUFFERTOOSMALL : AVIERR_OK;
}

}  // namespace crossmeld::avi
