#include "formats/PictureFormat.h"

#include <algorithm>
#include <array>

#include "base/ByteReader.h"
#include "formats/png/PngDecoder.h"

namespace crossmeld {
namespace {

template <std::size_t N>
bool StartsWith(const ByteReader& in, const std::array<std::uint8_t, N>& magic) {
    if (in.size() < N) return false;
    auto head = in.data().first(N);
    return std::equal(head.begin(), head.end(), magic.begin());
}

bool IsWmf(ByteReader in) {
    if (!in.has(6)) return false;
    if (in.u32le() == 0x9AC6CDD7u) return true;  // placeable header
    in.seek(0);
    const std::uint16_t type = in.u16le();
    const std::uint16_t headerWords = in.u16le();
    const std::uint16_t version = in.u16le();
    return (type == 1 || type == 2) && headerWords == 9 && (version == 0x0100 || version == 0x0300);
}

bool IsEmf(ByteReader in) {
    if (!in.has(44)) return false;
    if (in.u32le() != 1) return false;  // EMR_HEADER
    in.seek(40);
    return in.u32le() == 0x464D4520u;  // " EMF"
}

}  // namespace

PictureFormat SniffPictureFormat(std::span<const std::uint8_t> file) {
    const ByteReader in(file);
    if (StartsWith(in, std::array<std::uint8_t, 2>{'B', 'M'})) return PictureFormat::Bitmap;
    if (StartsWith(in, std::array<std::uint8_t, 2>{0xFF, 0xD8})) return PictureFormat::Jpeg;
    if (HasPngSignature(file)) return PictureFormat::Png;
    if (StartsWith(in, std::array<std::uint8_t, 6>{'G', 'I', 'F', '8', '7', 'a'}) ||
        StartsWith(in, std::array<std::uint8_t, 6>{'G', 'I', 'F', '8', '9', 'a'}))
        return PictureFormat::Gif;
    if (IsEmf(in)) return PictureFormat::Emf;
    if (IsWmf(in)) return PictureFormat::Wmf;
    return PictureFormat::Unknown;
}

}  // namespace crossmeld
