#include "formats/avi/AviReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <new>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "formats/avi/Fourcc.h"

namespace crossmeld::avi {
namespace {

constexpr std::uint32_t kNoPicture = std::numeric_limits<std::uint32_t>::max();
// The header list holds a few small chunks (and reserved space for an
// OpenDML super index); anything larger is not a header list.
constexpr std::uint32_t kMaxHeaderList = 16u << 20;
// More RIFF parts than this are not walked (a super index has far fewer).
constexpr int kMaxRiffParts = 1 << 16;
// The smallest stream header: up to sampleSize, without the rectangle.
constexpr std::size_t kMinStreamHeader = 48;
// Streams are numbered by two digits in chunk codes.
constexpr int kMaxStreams = 100;

[[noreturn]] void Refuse(const std::string& what) {
    throw Error(ErrorKind::InvalidPicture, "AVI file: " + what);
}

// A chunk header; type is the list type of RIFF and LIST chunks.
struct Head {
    std::uint32_t id = 0;
    std::uint32_t size = 0;
    std::uint32_t type = 0;
};

std::optional<Head> ReadHead(AviSource& source, std::uint64_t at, std::uint64_t end) {
    if (end < 8 || at > end - 8) return std::nullopt;
    std::array<std::uint8_t, 12> bytes{};
    const bool withType = at <= end - 12 && source.ReadAt(at, bytes);
    if (!withType && !source.ReadAt(at, std::span(bytes).first(8))) return std::nullopt;
    ByteReader in(bytes);
    Head head;
    head.id = in.u32le();
    head.size = in.u32le();
    if (withType) head.type = in.u32le();
    return head;
}

std::uint64_t NextChunk(std::uint64_t at, std::uint32_t size) {
    return at + 8 + size + (size & 1);
}

// What the header list says about the wanted stream.
struct StreamHeaders {
    int number = -1;  // the stream's position among all streams; -1: not found
    StreamHeader info;
    std::vector<std::uint8_t> format;
    std::vector<std::uint8_t> superIndex;
};

StreamHeader ParseStreamHeader(std::span<const std::uint8_t> payload) {
    ByteReader in(payload);
    StreamHeader info;
    info.type = in.u32le();
    info.handler = in.u32le();
    info.flags = in.u32le();
    info.priority = in.u16le();
    info.language = in.u16le();
    info.initialFrames = in.u32le();
    info.scale = in.u32le();
    info.rate = in.u32le();
    info.start = in.u32le();
    info.length = in.u32le();
    info.suggestedBufferSize = in.u32le();
    info.quality = in.u32le();
    info.sampleSize = in.u32le();
    if (in.has(8)) {
        info.frameRect.left = in.i16le();
        info.frameRect.top = in.i16le();
        info.frameRect.right = in.i16le();
        info.frameRect.bottom = in.i16le();
    }
    return info;
}

// One 'strl' list; fills headers when it is a video stream.
void ParseStreamList(std::span<const std::uint8_t> list, int number, StreamHeaders& headers) {
    ByteReader in(list);
    std::optional<StreamHeader> info;
    std::span<const std::uint8_t> format, name, superIndex;
    while (in.remaining() >= 8) {
        const std::uint32_t id = in.u32le();
        const std::uint32_t size = in.u32le();
        if (!in.has(size)) Refuse("a stream header chunk runs past its list");
        const auto payload = in.bytes(size);
        if (size % 2 && !in.atEnd()) in.skip(1);
        if (id == MakeFourcc("strh") && !info) {
            if (size < kMinStreamHeader) Refuse("the stream header is too short");
            info = ParseStreamHeader(payload);
        } else if (id == MakeFourcc("strf")) {
            format = payload;
        } else if (id == MakeFourcc("strn")) {
            name = payload;
        } else if (id == MakeFourcc("indx")) {
            superIndex = payload;
        }
    }
    if (!info) Refuse("a stream list has no stream header");
    if (info->type != MakeFourcc("vids")) return;
    headers.number = number;
    headers.info = *info;
    const std::size_t nameLength = std::min(name.size(), sizeof headers.info.name - 1);
    std::copy_n(name.begin(), nameLength, headers.info.name);
    headers.info.name[nameLength] = '\0';
    headers.format.assign(format.begin(), format.end());
    headers.superIndex.assign(superIndex.begin(), superIndex.end());
}

// Finds the first video stream of the header list.
void ParseHeaderList(std::span<const std::uint8_t> list, StreamHeaders& headers) {
    ByteReader in(list);
    int number = 0;
    while (in.remaining() >= 8 && headers.number < 0) {
        const std::uint32_t id = in.u32le();
        const std::uint32_t size = in.u32le();
        if (!in.has(size)) Refuse("a header chunk runs past the header list");
        const auto payload = in.bytes(size);
        if (size % 2 && !in.atEnd()) in.skip(1);
        if (id != MakeFourcc("LIST") || size < 4) continue;
        ByteReader list(payload);
        if (list.u32le() != MakeFourcc("strl")) continue;
        if (number >= kMaxStreams) Refuse("more than 100 streams");
        ParseStreamList(list.rest(), number++, headers);
    }
}

// The size of the frames' pictures from a format block that starts with a
// bitmap information header: biWidth and biHeight.
FrameRect RectFromFormat(std::span<const std::uint8_t> format) {
    if (format.size() < 12) return {};
    ByteReader in(format);
    in.skip(4);
    const std::int32_t width = in.i32le();
    const std::int32_t height = in.i32le();
    if (width <= 0 || height == 0 || height == std::numeric_limits<std::int32_t>::min()) return {};
    return FrameRect{0, 0, width, height < 0 ? -height : height};
}

}  // namespace

Reader::Opened Reader::OpenFile(const std::string& path) noexcept {
    std::unique_ptr<AviSource> source;
    try {
        source = OpenFileSource(path);
    } catch (const std::bad_alloc&) {
        return {OpenResult::TooManyFrames, nullptr};
    }
    if (!source) return {OpenResult::CannotOpen, nullptr};
    return OpenSource(std::move(source));
}

Reader::Opened Reader::OpenBytes(std::vector<std::uint8_t> bytes) noexcept {
    std::unique_ptr<AviSource> source;
    try {
        source = MakeMemorySource(std::move(bytes));
    } catch (const std::bad_alloc&) {
        return {OpenResult::TooManyFrames, nullptr};
    }
    return OpenSource(std::move(source));
}

Reader::Opened Reader::OpenSource(std::unique_ptr<AviSource> source) noexcept {
    try {
        auto reader = Open(std::move(source));
        if (!reader) return {OpenResult::NoVideoStream, nullptr};
        return {OpenResult::Ok, std::move(reader)};
    } catch (const std::bad_alloc&) {
        return {OpenResult::TooManyFrames, nullptr};
    } catch (const Error& e) {
        return {e.kind() == ErrorKind::OutOfMemory ? OpenResult::TooManyFrames : OpenResult::NotAvi, nullptr};
    } catch (...) {
        return {OpenResult::NotAvi, nullptr};
    }
}

std::shared_ptr<Reader> Reader::Open(std::unique_ptr<AviSource> source) {
    AviSource& file = *source;
    const std::uint64_t fileSize = file.Size();
    const auto riff = ReadHead(file, 0, fileSize);
    if (!riff || riff->id != MakeFourcc("RIFF") || riff->type != MakeFourcc("AVI ")) Refuse("not a RIFF AVI file");
    // A size too small to hold even the form type was never filled in.
    const bool riffOpen = riff->size < 4;
    const std::uint64_t riffEnd = riffOpen ? fileSize : std::min<std::uint64_t>(8 + std::uint64_t{riff->size}, fileSize);

    StreamHeaders headers;
    bool haveHeaders = false;
    std::vector<MoviList> movies;
    std::optional<std::pair<std::uint64_t, std::uint32_t>> idx1;  // payload offset, size
    for (std::uint64_t at = 12, next = 0; auto head = ReadHead(file, at, riffEnd); at = next) {
        next = NextChunk(at, head->size);
        if (head->id == MakeFourcc("LIST") && head->type == MakeFourcc("hdrl") && !haveHeaders) {
            if (head->size < 4 || head->size > kMaxHeaderList || head->size > fileSize - at - 8)
                Refuse("the header list runs past the end of the file");
            std::vector<std::uint8_t> list(head->size - 4);
            if (!file.ReadAt(at + 12, list)) Refuse("the header list cannot be read");
            ParseHeaderList(list, headers);
            haveHeaders = true;
        } else if (head->id == MakeFourcc("LIST") && head->type == MakeFourcc("movi")) {
            const std::uint64_t end = head->size < 4 ? riffEnd : std::min(at + 8 + head->size, riffEnd);
            movies.push_back({at + 8, end});
        } else if (head->id == MakeFourcc("idx1") && !idx1 && head->size <= fileSize - at - 8) {
            idx1.emplace(at + 8, head->size);
        }
    }
    if (!haveHeaders) Refuse("no header list");
    if (headers.number < 0) return nullptr;
    if (movies.empty()) Refuse("no movie list");
    const std::uint64_t firstMovie = movies.front().code;

    // OpenDML files go on in 'RIFF' 'AVIX' parts, each with its movie list.
    if (!riffOpen) {
        std::uint64_t at = NextChunk(0, riff->size);
        for (int part = 0; part < kMaxRiffParts; ++part) {
            const auto next = ReadHead(file, at, fileSize);
            if (!next || next->id != MakeFourcc("RIFF") || next->type != MakeFourcc("AVIX")) break;
            const std::uint64_t end = std::min<std::uint64_t>(at + 8 + std::uint64_t{next->size}, fileSize);
            for (std::uint64_t child = at + 12, following = 0; auto head = ReadHead(file, child, end);
                 child = following) {
                following = NextChunk(child, head->size);
                if (head->id == MakeFourcc("LIST") && head->type == MakeFourcc("movi"))
                    movies.push_back({child + 8, std::min(child + 8 + head->size, end)});
            }
            at = NextChunk(at, next->size);
        }
    }

    std::shared_ptr<Reader> reader(new Reader(std::move(source), headers.number));
    std::optional<std::vector<AviFrameEntry>> frames;
    if (!headers.superIndex.empty()) frames = ReadSuperIndex(file, headers.superIndex, reader->m_chunks);
    if (frames && !InFileOrder(*frames)) frames.reset();
    if (!frames && idx1) frames = ReadIdx1(file, idx1->first, idx1->second, firstMovie, reader->m_chunks);
    if (frames && !InFileOrder(*frames)) frames.reset();
    if (!frames) frames = WalkMovieLists(file, movies, reader->m_chunks);
    reader->m_frames = std::move(*frames);

    reader->m_pictureOf.resize(reader->m_frames.size());
    std::uint32_t last = kNoPicture;
    for (std::size_t k = 0; k < reader->m_frames.size(); ++k) {
        if (reader->m_frames[k].size > 0) last = static_cast<std::uint32_t>(k);
        reader->m_pictureOf[k] = last;
    }

    reader->m_format = std::move(headers.format);
    reader->m_info = headers.info;
    reader->m_info.length = reader->FrameCount();
    const FrameRect& rect = reader->m_info.frameRect;
    if (rect.right <= rect.left || rect.bottom <= rect.top) reader->m_info.frameRect = RectFromFormat(reader->m_format);
    return reader;
}

std::int32_t Reader::Start() const noexcept {
    const std::uint32_t start = m_info.start;
    return start > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())
               ? std::numeric_limits<std::int32_t>::max()
               : static_cast<std::int32_t>(start);
}

std::int32_t Reader::SampleTimeMs(std::int32_t sample) const noexcept {
    if (m_info.rate == 0) return -1;
    const std::int64_t start = m_info.start;
    const std::int64_t end = start + m_info.length;
    const std::int64_t clamped = sample < start ? start : (sample > end ? end : sample);
    // Up to 2^33 x 2^32 x 1000: beyond 64 bits, so the product is kept in 128.
    const unsigned __int128 numerator = static_cast<unsigned __int128>(clamped) * m_info.scale * 1000u;
    const bool roundUp = m_info.scale != 0 && m_info.rate / m_info.scale >= 1000;
    const unsigned __int128 time = (numerator + (roundUp ? m_info.rate - 1 : 0)) / m_info.rate;
    const auto most = static_cast<unsigned __int128>(std::numeric_limits<std::int32_t>::max());
    return static_cast<std::int32_t>(time > most ? most : time);
}

std::optional<std::uint32_t> Reader::PictureOf(std::uint32_t k) const noexcept {
    if (k >= m_pictureOf.size() || m_pictureOf[k] == kNoPicture) return std::nullopt;
    return m_pictureOf[k];
}

std::optional<std::uint32_t> Reader::ChunkSize(std::uint32_t k) {
    if (k >= m_frames.size()) return std::nullopt;
    const AviFrameEntry& entry = m_frames[k];
    std::array<std::uint8_t, 8> bytes{};
    if (!m_source->ReadAt(entry.chunk, bytes)) return std::nullopt;
    ByteReader in(bytes);
    const std::uint32_t id = in.u32le();
    const std::uint32_t size = std::min(in.u32le(), entry.size);
    if (!m_chunks.Matches(id)) return std::nullopt;
    if (size > m_source->Size() - entry.chunk - 8) return std::nullopt;
    return size;
}

bool Reader::ReadChunk(std::uint32_t k, std::span<std::uint8_t> out) {
    if (k >= m_frames.size()) return false;
    return m_source->ReadAt(m_frames[k].chunk + 8, out);
}

}  // namespace crossmeld::avi
