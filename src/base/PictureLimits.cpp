#include "base/PictureLimits.h"

#include <string>

#include "base/Error.h"

namespace crossmeld {

void CheckPictureSize(std::int64_t width, std::int64_t height, std::int64_t maxPixels) {
    auto size = [&] { return std::to_string(width) + " x " + std::to_string(height); };
    if (width < 1 || height < 1) throw Error(ErrorKind::InvalidPicture, "picture has no pixels (" + size() + ")");
    // Both sides are at most kMaxPictureSide here, so the product cannot overflow.
    if (width > kMaxPictureSide || height > kMaxPictureSide || width * height > maxPixels)
        throw Error(ErrorKind::InvalidPicture, "picture is too large (" + size() + " pixels)");
}

}  // namespace crossmeld
