#include "export/OutputFormat.h"

#include <array>
#include <string>
#include <utility>

namespace crossmeld {

namespace {

constexpr std::array<std::pair<std::string_view, OutputFormat>, 7> kExtensions{{
    {".avi", OutputFormat::Avi},
    {".gif", OutputFormat::Gif},
    {".mp4", OutputFormat::Mp4},
    {".webm", OutputFormat::WebM},
    {".webp", OutputFormat::WebP},
    {".png", OutputFormat::Apng},
    {".apng", OutputFormat::Apng},
}};

}  // namespace

std::optional<OutputFormat> OutputFormatForPath(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const auto& [name, format] : kExtensions)
        if (extension == name) return format;
    return std::nullopt;
}

std::string_view OutputFormatNames() { return "avi, gif, mp4, webm, webp, png, apng"; }

}  // namespace crossmeld
