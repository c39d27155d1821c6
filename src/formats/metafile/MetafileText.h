#pragma once
// Text of the metafile player, drawn with FreeType through a font that
// fontconfig chooses for the metafile's face name, weight and slant. When the
// named face is not installed, fontconfig's best match for the name and the
// font's generic family (serif, monospace or sans-serif from the pitch and
// family byte) is used: DejaVu Sans, DejaVu Serif or DejaVu Sans Mono on a
// system with only fonts-dejavu-core. A face without a bold or italic style
// is emboldened or slanted by FreeType.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "formats/metafile/MetafileCanvas.h"
#include "formats/metafile/MetafileGeometry.h"

namespace crossmeld::metafile {

struct FontRequest {
    std::string face;
    double size = 16;         // picture pixels
    bool cellHeight = false;  // size is ascent + descent rather than the em
    int weight = 400;
    bool italic = false;
    std::uint8_t pitchAndFamily = 0;
    double angle = 0;  // radians, counterclockwise
};

struct TextLayout {
    std::vector<double> advances;  // per character, pixels along the baseline
    double width = 0;
    double ascent = 0;
    double descent = 0;
};

// Glyph sizes are capped at kMaxGlyphPixels (em), and one picture renders at
// most kMaxGlyphWork glyph pixels; text beyond that is not drawn.
inline constexpr double kMaxGlyphPixels = 1000;
inline constexpr std::int64_t kMaxGlyphWork = std::int64_t{1} << 27;

class TextRenderer {
public:
    TextRenderer();
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // Advances come from `advances` where given (pixels), else from the font.
    TextLayout Measure(const FontRequest& font, std::u32string_view text, std::span<const double> advances);
    // Draws with the baseline starting at `origin`.
    void Draw(MetafileCanvas& canvas, const FontRequest& font, std::u32string_view text, const TextLayout& layout,
              PointF origin, ColorRef color);

    // The font file fontconfig picks for a face (empty when none).
    static std::string FontFileFor(const FontRequest& font);

private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

}  // namespace crossmeld::metafile
