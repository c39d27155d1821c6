#pragma once
// The picture services: LoadPicture reads a picture file into a new picture
// object, SavePicture writes a picture as a 24-bit Windows bitmap file.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "raster/Picture.h"

namespace crossmeld {

// Reads BMP/DIB, JPEG, PNG, GIF (the first frame), WMF, EMF and icon files,
// recognised by their content, not their name. A missing file raises
// Error(FileNotFound) (Error(PathNotFound) when its folder is missing too); a
// folder or unreadable file raises Error(PathFileAccessError) or
// Error(PermissionDenied); a file that cannot be read as a picture raises
// Error(InvalidPicture) with a description. An empty path gives the empty
// picture, the way a picture is cleared.
// A JPEG file is turned upright by its EXIF orientation.
Picture LoadPicture(const std::string& path);
Picture LoadPictureFromMemory(std::span<const std::uint8_t> bytes);

// A picture with the warnings of its decoder: damage it recovered from (a
// JPEG file cut short, corrupt data) and that the user should hear of. The
// picture is exactly the one LoadPicture gives.
struct LoadedPicture {
    Picture picture;
    std::vector<std::string> warnings;  // each distinct text once, in order
};
LoadedPicture LoadPictureWithWarnings(const std::string& path);
LoadedPicture LoadPictureWithWarningsFromMemory(std::span<const std::uint8_t> bytes);

// Writes the picture as a 24-bit bottom-up bitmap file. Raises an Error when
// the file cannot be written (path not found, permission denied, ...).
void SavePicture(const Picture& picture, const std::string& path);
void SavePicture(const Surface& surface, const std::string& path);

}  // namespace crossmeld
