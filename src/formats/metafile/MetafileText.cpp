#include "formats/metafile/MetafileText.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_SYNTHESIS_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <map>
#include <mutex>
#include <tuple>

namespace crossmeld::metafile {
namespace {

const char* GenericFamily(std::uint8_t pitchAndFamily) {
    switch (pitchAndFamily >> 4) {
        case 1: return "serif";      // FF_ROMAN
        case 3: return "monospace";  // FF_MODERN
        default: return (pitchAndFamily & 3) == 1 ? "monospace" : "sans-serif";
    }
}

struct Match {
    std::string file;
    int index = 0;
    bool embolden = false;
    bool slant = false;
};

std::once_flag g_fontconfigReady;

Match MatchFont(const FontRequest& request) {
    std::call_once(g_fontconfigReady, [] { FcInit(); });
    Match result;
    FcPattern* pattern = FcPatternCreate();
    if (!pattern) return result;
    if (!request.face.empty())
        FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(request.face.c_str()));
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(GenericFamily(request.pitchAndFamily)));
    const int weight = request.weight <= 0 ? 400 : std::clamp(request.weight, 1, 1000);
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFromOpenType(weight));
    FcPatternAddInteger(pattern, FC_SLANT, request.italic ? FC_SLANT_ITALIC : FC_SLANT_ROMAN);
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult status = FcResultNoMatch;
    FcPattern* match = FcFontMatch(nullptr, pattern, &status);
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            result.file = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &result.index);
        int matchedWeight = FC_WEIGHT_REGULAR, matchedSlant = FC_SLANT_ROMAN;
        FcPatternGetInteger(match, FC_WEIGHT, 0, &matchedWeight);
        FcPatternGetInteger(match, FC_SLANT, 0, &matchedSlant);
        result.embolden = weight >= 600 && matchedWeight < FC_WEIGHT_DEMIBOLD;
        result.slant = request.italic && matchedSlant == FC_SLANT_ROMAN;
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return result;
}

double ToPixels(FT_Pos v) { return static_cast<double>(v) / 64.0; }

}  // namespace

struct TextRenderer::Impl {
    FT_Library library = nullptr;
    std::map<std::tuple<std::string, int, bool, std::uint8_t>, Match> matches;
    std::map<std::pair<std::string, int>, FT_Face> faces;
    std::int64_t work = 0;

    ~Impl() {
        for (auto& [key, face] : faces)
            if (face) FT_Done_Face(face);
        if (library) FT_Done_FreeType(library);
    }

    // The face for a request, sized; null when no font can be loaded.
    FT_Face Face(const FontRequest& request, Match& match, double& ascent, double& descent) {
        if (!library && FT_Init_FreeType(&library) != 0) {
            library = nullptr;
            return nullptr;
        }
        const auto key = std::make_tuple(request.face, request.weight >= 600 ? 700 : 400, request.italic, request.pitchAndFamily);
        auto m = matches.find(key);
        if (m == matches.end()) m = matches.emplace(key, MatchFont(request)).first;
        match = m->second;
        if (match.file.empty()) return nullptr;
        auto f = faces.find({match.file, match.index});
        if (f == faces.end()) {
            FT_Face face = nullptr;
            if (FT_New_Face(library, match.file.c_str(), match.index, &face) != 0) face = nullptr;
            f = faces.emplace(std::make_pair(match.file, match.index), face).first;
        }
        FT_Face face = f->second;
        if (!face || !FT_IS_SCALABLE(face)) return nullptr;

        // Windows measures a cell as winAscent + winDescent of the OS/2 table.
        double up = face->ascender, down = -face->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face, FT_SFNT_OS2)); os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            up = os2->usWinAscent;
            down = os2->usWinDescent;
        }
        const double unitsPerEm = face->units_per_EM > 0 ? face->units_per_EM : 2048;
        double em = request.size;
        if (request.cellHeight && up + down > 0) em = request.size * unitsPerEm / (up + down);
        em = std::clamp(em, 1.0, kMaxGlyphPixels);
        if (FT_Set_Char_Size(face, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72) != 0) return nullptr;
        ascent = up * em / unitsPerEm;
        descent = down * em / unitsPerEm;
        return face;
    }
};

TextRenderer::TextRenderer() : m_impl(std::make_unique<Impl>()) {}
TextRenderer::~TextRenderer() = default;

TextLayout TextRenderer::Measure(const FontRequest& font, std::u32string_view text, std::span<const double> advances) {
    TextLayout layout;
    Match match;
    FT_Face face = m_impl->Face(font, match, layout.ascent, layout.descent);
    if (face) FT_Set_Transform(face, nullptr, nullptr);
    for (std::size_t i = 0; i < text.size(); ++i) {
        double advance = 0;
        if (i < advances.size()) {
            advance = advances[i];
        } else if (face && FT_Load_Char(face, text[i], FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) == 0) {
            advance = ToPixels(face->glyph->advance.x);
            if (match.embolden) advance += std::max(1.0, face->size->metrics.y_ppem / 24.0);
        }
        layout.advances.push_back(advance);
        layout.width += advance;
    }
    return layout;
}

void TextRenderer::Draw(MetafileCanvas& canvas, const FontRequest& font, std::u32string_view text, const TextLayout& layout,
                        PointF origin, ColorRef color) {
    Match match;
    double ascent = 0, descent = 0;
    FT_Face face = m_impl->Face(font, match, ascent, descent);
    if (!face) return;
    const double c = std::cos(font.angle), s = std::sin(font.angle);
    FT_Matrix matrix;
    matrix.xx = static_cast<FT_Fixed>(std::lround(c * 65536));
    matrix.xy = static_cast<FT_Fixed>(std::lround(-s * 65536));
    matrix.yx = static_cast<FT_Fixed>(std::lround(s * 65536));
    matrix.yy = static_cast<FT_Fixed>(std::lround(c * 65536));
    const Rect& clip = canvas.clip();
    const double reach = 2 * (ascent + descent) + 2;
    double along = 0;
    for (std::size_t i = 0; i < text.size() && i < layout.advances.size(); ++i) {
        const PointF pen{origin.x + along * c, origin.y - along * s};
        along += layout.advances[i];
        if (!std::isfinite(pen.x) || !std::isfinite(pen.y)) return;
        // Glyphs wholly outside the clip are not rendered at all.
        if (pen.x + reach < clip.left || pen.x - reach > clip.right || pen.y + reach < clip.top ||
            pen.y - reach > clip.bottom)
            continue;
        const double fx = std::floor(pen.x), fy = std::floor(pen.y);
        FT_Vector delta;
        delta.x = static_cast<FT_Pos>(std::lround((pen.x - fx) * 64));
        delta.y = static_cast<FT_Pos>(std::lround(-(pen.y - fy) * 64));
        FT_Set_Transform(face, &matrix, &delta);
        if (FT_Load_Char(face, text[i], FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0) continue;
        if (match.embolden) FT_GlyphSlot_Embolden(face->glyph);
        if (match.slant) FT_GlyphSlot_Oblique(face->glyph);
        if (FT_Render_Glyph(face->glyph, FT_RENDER_MODE_NORMAL) != 0) continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        if (bitmap.pixel_mode != FT_PIXEL_MODE_GRAY || bitmap.pitch <= 0 || !bitmap.buffer) continue;
        m_impl->work += std::int64_t{bitmap.rows} * bitmap.width;
        if (m_impl->work > kMaxGlyphWork) return;
        canvas.BlendCoverage(static_cast<std::int64_t>(fx) + face->glyph->bitmap_left,
                             static_cast<std::int64_t>(fy) - face->glyph->bitmap_top, bitmap.buffer,
                             static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows), bitmap.pitch, color);
    }
    FT_Set_Transform(face, nullptr, nullptr);
}

std::string TextRenderer::FontFileFor(const FontRequest& font) { return MatchFont(font).file; }

}  // namespace crossmeld::metafile
