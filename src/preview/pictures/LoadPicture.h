#pragma once
// The picture services: LoadPicture reads a picture file into a new picture
// object, SavePicture writes a picture as a 24-bit Windows bitmap file.

#include <cstdint>
#include <span>
#include <string>

#include "platform/Picture.h"

namespace crossmeld {

// Reads BMP/DIB, JPEG, PNG, GIF (the first frame), WMF, EMF and icon files,
// recognised by their content, not their name. A missing file raises
// Error(FileNotFound) (Error(PathNotFound) when its folder is missing too); a
// folder or unreadable file raises Error(PathFileAccessError) or
// Error(PermissionDenied); a file that cannot be read as a picture raises
// Error(InvalidPicture) with a description. An empty path gives the empty
// picture, the way a picture is cleared.
Picture LoadPicture(const std::string& path);
Picture LoadPictureFromMemory(std::span<const std::uint8_t> bytes);

// Writes the picture as a 24-bit bottom-up bitmap file. Raises an Error when
// the file cannot be written (path not found, permission denied, ...).
void SavePicture(const Picture& picture, const std::string& path);
void SavePicture(const Surface& surface, const std::string& path);

}  // namespace crossmeld
