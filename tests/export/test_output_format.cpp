// The output format a target's extension picks.
#include <gtest/gtest.h>

#include "export/OutputFormat.h"

namespace crossmeld {
namespace {

TEST(OutputFormat, EveryExtensionInAnyCaseAndNothingElse) {
    const std::pair<const char*, OutputFormat> known[] = {
        {"a.avi", OutputFormat::Avi},      {"b.GIF", OutputFormat::Gif},         {"dir.x/c.Mp4", OutputFormat::Mp4},
        {"d.webm", OutputFormat::WebM},    {"e.WEBP", OutputFormat::WebP},       {"f.png", OutputFormat::Apng},
        {"g.aPnG", OutputFormat::Apng},    {"h.tar.mp4", OutputFormat::Mp4},
    };
    for (const auto& [path, format] : known) EXPECT_EQ(OutputFormatForPath(path), format) << path;
    for (const char* path : {"", "mp4", ".mp4", "a.mp4/", "a.mp", "a.mp4x", "a.jpg", "a.webp.tmp", "dir.gif/file"})
        EXPECT_EQ(OutputFormatForPath(path), std::nullopt) << path;
    EXPECT_EQ(OutputFormatNames(), "avi, gif, mp4, webm, webp, png, apng");
}

}  // namespace
}  // namespace crossmeld
