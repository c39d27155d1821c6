#pragma once
// Status results of the video-file library: 0 is success; every failure is
// a negative 32-bit code with Video for Windows' numbering (severity bit set,
// interface facility, 0x4000 plus the error number), so a caller that only
// tests "negative" or "nonzero" reads them the same way.

#include <cstdint>

namespace crossmeld::avi {

using AviStatus = std::int32_t;

constexpr AviStatus MakeAviError(std::int32_t number) noexcept {
    return static_cast<AviStatus>(0x80040000u | static_cast<std::uint32_t>(0x4000 + number));
}

inline constexpr AviStatus AVIERR_OK = 0;
inline constexpr AviStatus AVIERR_UNSUPPORTED = MakeAviError(101);
inline constexpr AviStatus AVIERR_BADFORMAT = MakeAviError(102);
inline constexpr AviStatus AVIERR_MEMORY = MakeAviError(103);
inline constexpr AviStatus AVIERR_INTERNAL = MakeAviError(104);
inline constexpr AviStatus AVIERR_BADFLAGS = MakeAviError(105);
inline constexpr AviStatus AVIERR_BADPARAM = MakeAviError(106);
inline constexpr AviStatus AVIERR_BADSIZE = MakeAviError(107);
inline constexpr AviStatus AVIERR_BADHANDLE = MakeAviError(108);
inline constexpr AviStatus AVIERR_FILEREAD = MakeAviError(109);
inline constexpr AviStatus AVIERR_FILEWRITE = MakeAviError(110);
inline constexpr AviStatus AVIERR_FILEOPEN = MakeAviError(111);
inline constexpr AviStatus AVIERR_COMPRESSOR = MakeAviError(112);
inline constexpr AviStatus AVIERR_NOCOMPRESSOR = MakeAviError(113);
inline constexpr AviStatus AVIERR_READONLY = MakeAviError(114);
inline constexpr AviStatus AVIERR_NODATA = MakeAviError(115);
inline constexpr AviStatus AVIERR_BUFFERTOOSMALL = MakeAviError(116);
inline constexpr AviStatus AVIERR_CANTCOMPRESS = MakeAviError(117);
inline constexpr AviStatus AVIERR_USERABORT = MakeAviError(198);
inline constexpr AviStatus AVIERR_ERROR = MakeAviError(199);

// A short English description of a status ("file could not be written", ...).
const char* AviStatusText(AviStatus status) noexcept;

}  // namespace crossmeld::avi
