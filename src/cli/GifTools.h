#pragma once
// Two GIF tools of the command line: a description of a GIF file's
// document as JSON, and its frames as bitmap files.

#include <cstdio>
#include <string>

namespace crossmeld::cli {

// Prints the document of the GIF file as one JSON object. Returns the exit
// status: 0, or 1 (with a message on err) for a file that cannot be read or
// is not a GIF.
int InspectGif(const std::string& path, std::FILE* out, std::FILE* err);

// Writes every frame, drawn by itself on a black surface of the logical
// screen's size, as DIR/frame_0001.bmp, frame_0002.bmp, ... (24-bit).
// Returns the exit status as InspectGif does.
int ExtractGifFrames(const std::string& path, const std::string& folder, std::FILE* out, std::FILE* err);

}  // namespace crossmeld::cli
