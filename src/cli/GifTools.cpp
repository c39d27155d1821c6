#include "cli/GifTools.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <string>

#include "base/Error.h"
#include "formats/LoadPicture.h"
#include "formats/gif/GifDocument.h"
#include "raster/DeviceContext.h"

namespace crossmeld::cli {

namespace {

// Reads the file into the document; on failure says why on err.
bool Load(const std::string& path, GifDocument& doc, std::FILE* err) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        std::fprintf(err, "crossmeld-cli: %s: no such file\n", path.c_str());
        return false;
    }
    if (!doc.LoadFromFile(path)) {
        std::fprintf(err, "crossmeld-cli: %s: not a GIF file (no GIF87a or GIF89a header)\n", path.c_str());
        return false;
    }
    for (const std::string& note : doc.ReadNotes()) std::fprintf(err, "crossmeld-cli: %s: %s\n", path.c_str(), note.c_str());
    return true;
}

// The entries as "#rrggbb" strings.
std::string PaletteJson(std::span<const std::uint8_t> palette, std::int32_t entries) {
    std::string json = "[";
    entries = std::clamp(entries, 0, 256);
    for (std::int32_t i = 0; i < entries; ++i) {
        char colour[16];
        std::snprintf(colour, sizeof colour, "%s\"#%02x%02x%02x\"", i ? ", " : "", palette[4 * i + 2],
                      palette[4 * i + 1], palette[4 * i]);
        json += colour;
    }
    return json + "]";
}

const char* Bool(bool value) { return value ? "true" : "false"; }

}  // namespace

int InspectGif(const std::string& path, std::FILE* out, std::FILE* err) {
    GifDocument doc;
    if (!Load(path, doc, err)) return 1;
    std::string json = "{\n";
    json += "  \"version\": \"" + doc.Version() + "\",\n";
    json += "  \"screen\": {\"width\": " + std::to_string(static_cast<std::uint16_t>(doc.ScreenWidth())) +
            ", \"height\": " + std::to_string(static_cast<std::uint16_t>(doc.ScreenHeight())) + "},\n";
    json += "  \"background\": " + std::to_string(doc.ScreenBackgroundColorIndex()) + ",\n";
    json += "  \"aspect\": " + std::to_string(doc.ScreenPixelAspectByte()) + ",\n";
    json += "  \"loops\": " + (doc.LoopExtensionRead() ? std::to_string(doc.AnimationLoops()) : "null") + ",\n";
    json += "  \"globalPalette\": " +
            (doc.GlobalPaletteExists() ? PaletteJson(doc.GlobalPalette(), doc.GlobalPaletteEntries()) : "null") + ",\n";
    json += "  \"frames\": [";
    for (std::int32_t k = 1; k <= doc.FramesCount(); ++k) {
        const DibSurface& pixels = doc.FrameDIBXOR(k);
        json += k > 1 ? ",\n    {" : "\n    {";
        json += "\"left\": " + std::to_string(static_cast<std::uint16_t>(doc.FrameLeft(k)));
        json += ", \"top\": " + std::to_string(static_cast<std::uint16_t>(doc.FrameTop(k)));
        json += ", \"width\": " + std::to_string(pixels.Width());
        json += ", \"height\": " + std::to_string(pixels.Height());
        json += ", \"delay\": " + std::to_string(static_cast<std::uint16_t>(doc.FrameDelay(k)));
        json += ", \"disposal\": " + std::to_string(static_cast<std::int32_t>(doc.FrameDisposalMethod(k)));
        json += std::string(", \"userInput\": ") + Bool(doc.FrameUserInput(k));
        json += ", \"transparent\": " +
                (doc.FrameUseTransparentColor(k) ? std::to_string(doc.FrameTransparentColorIndex(k)) : "null");
        json += std::string(", \"interlaced\": ") + Bool(doc.FrameInterlaced(k));
        json += ", \"localPalette\": " +
                (doc.LocalPaletteUsed(k) ? PaletteJson(doc.LocalPalette(k), doc.LocalPaletteEntries(k)) : "null");
        json += "}";
    }
    json += doc.FramesCount() > 0 ? "\n  ]\n}\n" : "]\n}\n";
    std::fputs(json.c_str(), out);
    return 0;
}

int ExtractGifFrames(const std::string& path, const std::string& folder, std::FILE* out, std::FILE* err) {
    GifDocument doc;
    if (!Load(path, doc, err)) return 1;
    // A screen of no size (some writers leave it 0) takes the frames' extent.
    std::int32_t width = static_cast<std::uint16_t>(doc.ScreenWidth());
    std::int32_t height = static_cast<std::uint16_t>(doc.ScreenHeight());
    if (width < 1 || height < 1) {
        for (std::int32_t k = 1; k <= doc.FramesCount(); ++k) {
            width = std::max(width, doc.FrameLeft(k) + doc.FrameDIBXOR(k).Width());
            height = std::max(height, doc.FrameTop(k) + doc.FrameDIBXOR(k).Height());
        }
    }
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (!std::filesystem::is_directory(folder, ec)) {
        std::fprintf(err, "crossmeld-cli: %s: cannot make the folder\n", folder.c_str());
        return 1;
    }
    try {
        for (std::int32_t k = 1; k <= doc.FramesCount(); ++k) {
            auto surface = Surface::Create(std::max(width, 1), std::max(height, 1), 24);
            if (!surface) throw Error(ErrorKind::OutOfMemory);
            DeviceContext dc(surface);  // a new surface is black
            doc.FrameDraw(dc, k, 0, 0, 1.0f, false);
            char name[32];
            std::snprintf(name, sizeof name, "frame_%04d.bmp", static_cast<int>(k));
            const std::string file = (std::filesystem::path(folder) / name).string();
            SavePicture(*surface, file);
            std::fprintf(out, "%s\n", file.c_str());
        }
    } catch (const Error& e) {
        std::fprintf(err, "crossmeld-cli: %s (error %d)\n", e.description().c_str(), e.number());
        return 1;
    }
    return 0;
}

}  // namespace crossmeld::cli
