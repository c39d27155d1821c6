#pragma once
// The kinds of output file, told apart by the target's extension.

#include <filesystem>
#include <optional>
#include <string_view>

namespace crossmeld {

enum class OutputFormat { Avi, Gif, Mp4, WebM, WebP, Apng };

// .avi .gif .mp4 .webm .webp .png .apng, in any case; nullopt for any other.
std::optional<OutputFormat> OutputFormatForPath(const std::filesystem::path& path);

// The extensions for messages: "avi, gif, mp4, webm, webp, png, apng".
std::string_view OutputFormatNames();

}  // namespace crossmeld
