#include "formats/avi/AviStatus.h"

namespace crossmeld::avi {

const char* AviStatusText(AviStatus status) noexcept {
    switch (status) {
        case AVIERR_OK:
            return "success";
        case AVIERR_UNSUPPORTED:
            return "operation not supported";
        case AVIERR_BADFORMAT:
            return "video format not supported";
        case AVIERR_MEMORY:
            return "not enough memory";
        case AVIERR_INTERNAL:
            return "internal error";
        case AVIERR_BADFLAGS:
            return "bad flags";
        case AVIERR_BADPARAM:
            return "bad argument";
        case AVIERR_BADSIZE:
            return "frame size does not match the format";
        case AVIERR_BADHANDLE:
            return "handle is null or closed";
        case AVIERR_FILEREAD:
            return "file could not be read";
        case AVIERR_FILEWRITE:
            return "file could not be written";
        case AVIERR_FILEOPEN:
            return "file could not be opened";
        case AVIERR_COMPRESSOR:
            return "compressor failed";
        case AVIERR_NOCOMPRESSOR:
            return "no such compressor";
        case AVIERR_READONLY:
            return "file is read-only";
        case AVIERR_NODATA:
            return "no data";
        case AVIERR_BUFFERTOOSMALL:
            return "buffer too small";
        case AVIERR_CANTCOMPRESS:
            return "frame cannot be compressed";
        case AVIERR_USERABORT:
            return "cancelled by the user";
        case AVIERR_ERROR:
            return "error";
        default:
            return "unknown status";
    }
}

}  // namespace crossmeld::avi
