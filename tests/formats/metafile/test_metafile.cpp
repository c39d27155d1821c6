// The metafile player: natural sizes, the drawing records on small files
// built here (expected pixels worked out by hand from the coverage rules),
// refusals, and LibreOffice's metafiles compared with rsvg-convert's
// rendering of the same drawings (tests/data/metafile, made by make.sh).
#include <gtest/gtest.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "base/Error.h"
#include "formats/LoadPicture.h"
#include "formats/metafile/MetafilePicture.h"
#include "formats/metafile/MetafileText.h"
#include "raster/Surface.h"
#include "support/TestSupport.h"

namespace crossmeld {
namespace {

namespace fs = std::filesystem;

constexpr ColorRef kWhite = Rgb(255, 255, 255);
constexpr ColorRef kRed = Rgb(255, 0, 0);
constexpr ColorRef kBlue = Rgb(0, 0, 255);

void Put32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<std::uint8_t>& out, std::uint16_t v) {
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

// ---------------------------------------------------------------------------
// Enhanced metafiles built record by record.

class EmfBuilder {
public:
    // A 96 x 48 pixel frame (2540 x 1270 in 0.01 mm) recorded on a 96-dpi
    // device, so device pixels are picture pixels.
    explicit EmfBuilder(std::int32_t frameRight = 2540, std::int32_t frameBottom = 1270) {
        std::vector<std::uint8_t>& h = m_bytes;
        Put32(h, 1);    // EMR_HEADER
        Put32(h, 108);  // size, with the micrometre extension
        for (int v : {0, 0, 95, 47}) Put32(h, static_cast<std::uint32_t>(v));  // bounds
        for (int v : {0, 0, frameRight, frameBottom}) Put32(h, static_cast<std::uint32_t>(v));  // frame
        Put32(h, 0x464D4520);  // " EMF"
        Put32(h, 0x10000);     // version
        Put32(h, 0);           // bytes, patched in Bytes()
        Put32(h, 0);           // records
        Put16(h, 16);          // handles
        Put16(h, 0);
        Put32(h, 0), Put32(h, 0), Put32(h, 0);  // description, palette
        Put32(h, 96), Put32(h, 48);             // device pixels
        Put32(h, 25), Put32(h, 13);             // millimetres (rounded, as writers store them)
        Put32(h, 0), Put32(h, 0), Put32(h, 0);  // pixel format, OpenGL
        Put32(h, 25400), Put32(h, 12700);       // micrometres
    }

    EmfBuilder& Record(std::uint32_t type, std::initializer_list<std::int64_t> words) {
        Put32(m_bytes, type);
        Put32(m_bytes, static_cast<std::uint32_t>(8 + 4 * words.size()));
        for (std::int64_t w : words) Put32(m_bytes, static_cast<std::uint32_t>(w));
        return *this;
    }
    EmfBuilder& Raw(std::uint32_t type, const std::vector<std::uint8_t>& body) {
        Put32(m_bytes, type);
        Put32(m_bytes, static_cast<std::uint32_t>(8 + body.size()));
        m_bytes.insert(m_bytes.end(), body.begin(), body.end());
        return *this;
    }
    EmfBuilder& SolidBrush(std::uint32_t slot, ColorRef c) {
        Record(39, {slot, 0, c, 0});  // EMR_CREATEBRUSHINDIRECT
        return Record(37, {slot});    // EMR_SELECTOBJECT
    }
    EmfBuilder& NoPen() { return Record(37, {0x80000008}); }  // stock NULL_PEN

    std::vector<std::uint8_t> Bytes(bool withEof = true) {
        std::vector<std::uint8_t> out = m_bytes;
        if (withEof) {
            Put32(out, 14), Put32(out, 20), Put32(out, 0), Put32(out, 16), Put32(out, 20);
        }
        const auto size = static_cast<std::uint32_t>(out.size());
        std::memcpy(out.data() + 48, &size, 4);
        return out;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

Picture Load(const std::vector<std::uint8_t>& bytes) { return LoadPictureFromMemory(bytes); }

// The set of (x, y) with the colour, as a string of rows for readable failures.
std::string Mask(const Picture& p, ColorRef c, int x0, int y0, int x1, int y1) {
    std::string out;
    for (int y = y0; y < y1; ++y) {
        for (int x = x0; x < x1; ++x) out += p.bitmap()->GetPixel(x, y) == c ? '#' : '.';
        out += '\n';
    }
    return out;
}

int CountColour(const Picture& p, ColorRef c) {
    int n = 0;
    for (int y = 0; y < p.Height(); ++y)
        for (int x = 0; x < p.Width(); ++x) n += p.bitmap()->GetPixel(x, y) == c;
    return n;
}

TEST(Emf, SizeIsTheFrameAt96DotsPerInchOverWhite) {
    const Picture p = Load(EmfBuilder().Bytes());
    EXPECT_EQ(p.Width(), 96);
    EXPECT_EQ(p.Height(), 48);
    EXPECT_EQ(CountColour(p, kWhite), 96 * 48);
    // 5080 x 1000 hundredths of a millimetre: 192 x 37.8 pixels.
    const Picture q = Load(EmfBuilder(5080, 1000).Bytes());
    EXPECT_EQ(q.Width(), 192);
    EXPECT_EQ(q.Height(), 38);
}

TEST(Emf, RectangleCoversPixelsWhoseCentresAreInside) {
    const Picture p = Load(EmfBuilder().SolidBrush(1, kRed).NoPen().Record(43, {2, 1, 5, 3}).Bytes());
    EXPECT_EQ(Mask(p, kRed, 0, 0, 7, 5), ".......\n"
                                         "..###..\n"
                                         "..###..\n"
                                         ".......\n"
                                         ".......\n");
}

TEST(Emf, PolygonUsesTheFillModeAndThePenOutlines) {
    // A pentagram (EMR_POLYGON16) whose centre is outside by the alternate
    // rule and inside by the winding rule (SetPolyFillMode 2).
    auto star = [](EmfBuilder& b) {
        b.Record(86, {0, 0, 0, 0, 5, (10 & 0xFFFF) | (0 << 16), 16 | (20 << 16), 0 | (8 << 16), 20 | (8 << 16),
                      4 | (20 << 16)});
    };
    EmfBuilder alternate;
    alternate.SolidBrush(1, kRed).NoPen();
    star(alternate);
    EmfBuilder winding;
    winding.SolidBrush(1, kRed).NoPen().Record(19, {2});
    star(winding);
    const Picture a = Load(alternate.Bytes()), w = Load(winding.Bytes());
    EXPECT_EQ(a.bitmap()->GetPixel(10, 11), kWhite);
    EXPECT_EQ(w.bitmap()->GetPixel(10, 11), kRed);
    EXPECT_EQ(a.bitmap()->GetPixel(10, 3), kRed);  // a point of the star
    EXPECT_EQ(w.bitmap()->GetPixel(10, 3), kRed);

    // A one-pixel black pen (stock BLACK_PEN) around a hollow square.
    const Picture outline = Load(EmfBuilder().Record(37, {0x80000005}).Record(37, {0x80000007})
                                     .Record(3, {0, 0, 0, 0, 4, 1, 1, 5, 1, 5, 4, 1, 4})
                                     .Bytes());
    EXPECT_EQ(Mask(outline, 0, 0, 0, 7, 6), ".......\n"
                                            ".#####.\n"
                                            ".#...#.\n"
                                            ".#...#.\n"
                                            ".#####.\n"
                                            ".......\n");
}

TEST(Emf, MappingWorldTransformAndSavedStates) {
    // MM_ANISOTROPIC with window 200 x 100 on viewport 96 x 48: the logical
    // rectangle (100, 50)-(200, 100) is the picture's lower right quarter.
    const Picture page = Load(EmfBuilder()
                                  .Record(17, {8})
                                  .Record(9, {200, 100})
                                  .Record(11, {96, 48})
                                  .SolidBrush(1, kBlue)
                                  .NoPen()
                                  .Record(43, {100, 50, 200, 100})
                                  .Bytes());
    EXPECT_EQ(CountColour(page, kBlue), 48 * 24);
    EXPECT_EQ(page.bitmap()->GetPixel(48, 24), kBlue);
    EXPECT_EQ(page.bitmap()->GetPixel(47, 24), kWhite);

    // World transform: scale 2, offset (10, 0); SaveDC / RestoreDC brings
    // the identity back. Floats 2.0 = 0x40000000, 10.0 = 0x41200000.
    const Picture world = Load(EmfBuilder()
                                   .SolidBrush(1, kBlue)
                                   .NoPen()
                                   .Record(33, {})
                                   .Record(35, {0x40000000, 0, 0, 0x40000000, 0x41200000, 0})
                                   .Record(43, {0, 0, 2, 2})
                                   .Record(34, {-1})
                                   .Record(43, {0, 10, 2, 12})
                                   .Bytes());
    EXPECT_EQ(Mask(world, kBlue, 8, 0, 16, 4), "..####..\n"
                                               "..####..\n"
                                               "..####..\n"
                                               "..####..\n");
    EXPECT_EQ(Mask(world, kBlue, 0, 9, 3, 13), "...\n##.\n##.\n...\n");
}

TEST(Emf, FixedScaleMapModesPutYUp) {
    // Each mode's units for about 10 mm (37.8 pixels at 96 dpi): LOMETRIC,
    // HIMETRIC, LOENGLISH, HIENGLISH, TWIPS. Logical y grows upwards, so a
    // rectangle from y = 0 down to y = -U/2 lies at the top of the picture,
    // and one from 0 up to +U/2 lies above it, out of sight.
    const std::pair<std::int32_t, std::int32_t> modes[] = {{2, 100}, {3, 1000}, {4, 39}, {5, 394}, {6, 567}};
    for (const auto& [mode, units] : modes) {
        SCOPED_TRACE(mode);
        const Picture down = Load(EmfBuilder()
                                      .Record(17, {mode})
                                      .SolidBrush(1, kBlue)
                                      .NoPen()
                                      .Record(43, {0, 0, units, -units / 2})
                                      .Bytes());
        EXPECT_EQ(down.bitmap()->GetPixel(5, 5), kBlue);
        EXPECT_EQ(down.bitmap()->GetPixel(36, 17), kBlue);
        EXPECT_EQ(down.bitmap()->GetPixel(5, 21), kWhite);
        EXPECT_EQ(down.bitmap()->GetPixel(39, 5), kWhite);
        const Picture up = Load(EmfBuilder()
                                    .Record(17, {mode})
                                    .SolidBrush(1, kBlue)
                                    .NoPen()
                                    .Record(43, {0, 0, units, units / 2})
                                    .Bytes());
        EXPECT_EQ(CountColour(up, kBlue), 0);
    }
}

TEST(Emf, ClipRectangleAndHatchBrush) {
    // Clip to (2, 2)-(6, 4), then fill everything.
    const Picture clipped = Load(EmfBuilder().SolidBrush(1, kRed).NoPen().Record(30, {2, 2, 6, 4}).Record(43, {0, 0, 96, 48}).Bytes());
    EXPECT_EQ(CountColour(clipped, kRed), 8);
    EXPECT_EQ(clipped.bitmap()->GetPixel(2, 2), kRed);
    EXPECT_EQ(clipped.bitmap()->GetPixel(5, 3), kRed);

    // A horizontal hatch (HS_HORIZONTAL) with a transparent background:
    // one line every eight rows, at row 4 of each 8 x 8 cell.
    const Picture hatch = Load(EmfBuilder()
                                   .Record(18, {1})  // TRANSPARENT
                                   .Record(39, {1, 2, kRed, 0})
                                   .Record(37, {1})
                                   .NoPen()
                                   .Record(43, {0, 0, 16, 16})
                                   .Bytes());
    EXPECT_EQ(Mask(hatch, kRed, 0, 2, 3, 14), "...\n...\n###\n...\n...\n...\n...\n...\n...\n...\n###\n...\n");
    // With an opaque background the gaps take the background colour.
    const Picture opaque = Load(EmfBuilder()
                                    .Record(25, {kBlue})
                                    .Record(39, {1, 2, kRed, 0})
                                    .Record(37, {1})
                                    .NoPen()
                                    .Record(43, {0, 0, 16, 16})
                                    .Bytes());
    EXPECT_EQ(opaque.bitmap()->GetPixel(0, 0), kBlue);
    EXPECT_EQ(opaque.bitmap()->GetPixel(0, 4), kRed);
}

TEST(Emf, PathsAndBeziers) {
    // BeginPath, a triangle with MoveTo / LineTo, CloseFigure, EndPath, FillPath.
    const Picture filled = Load(EmfBuilder()
                                    .SolidBrush(1, kRed)
                                    .Record(59, {})
                                    .Record(27, {0, 0})
                                    .Record(54, {8, 0})
                                    .Record(54, {0, 8})
                                    .Record(61, {})
                                    .Record(60, {})
                                    .Record(62, {0, 0, 0, 0})
                                    .Bytes());
    // Pixel centres with x + y < 8 (centre x + 0.5 + y + 0.5 < 8).
    EXPECT_EQ(Mask(filled, kRed, 0, 0, 8, 3), "#######.\n######..\n#####...\n");

    // A Bezier curve whose control points lie on a horizontal line is that
    // line: EMR_POLYBEZIER16 from (2, 5) to (20, 5), one-pixel black pen.
    const Picture curve = Load(EmfBuilder()
                                   .Record(37, {0x80000007})
                                   .Record(85, {0, 0, 0, 0, 4, 2 | (5 << 16), 8 | (5 << 16), 14 | (5 << 16), 20 | (5 << 16)})
                                   .Bytes());
    EXPECT_EQ(Mask(curve, 0, 0, 4, 23, 7), ".......................\n"
                                           "..###################..\n"
                                           ".......................\n");
}

TEST(Emf, WidePensAndDashes) {
    // EMR_CREATEPEN width 4 (round caps): a line from (10, 10) to (30, 10)
    // covers the centres within 2 units of the segment: x = 8 .. 31 on row 10.
    const Picture wide = Load(EmfBuilder()
                                  .Record(38, {1, 0, 4, 0, kRed})
                                  .Record(37, {1})
                                  .Record(27, {10, 10})
                                  .Record(54, {30, 10})
                                  .Bytes());
    EXPECT_EQ(Mask(wide, kRed, 20, 6, 21, 14), ".\n.\n#\n#\n#\n#\n.\n.\n");
    EXPECT_EQ(Mask(wide, kRed, 6, 10, 34, 11), "..########################..\n");

    // A cosmetic dashed pen (PS_DASH): six pixels on, two off.
    const Picture dashed = Load(EmfBuilder()
                                    .Record(38, {1, 1, 0, 0, kRed})
                                    .Record(37, {1})
                                    .Record(27, {0, 20})
                                    .Record(54, {40, 20})
                                    .Bytes());
    EXPECT_EQ(dashed.bitmap()->GetPixel(3, 20), kRed);
    EXPECT_EQ(dashed.bitmap()->GetPixel(7, 20), kWhite);
    EXPECT_EQ(dashed.bitmap()->GetPixel(11, 20), kRed);
    EXPECT_EQ(dashed.bitmap()->GetPixel(15, 20), kWhite);
}

TEST(Emf, StretchDibitsScalesABottomUpBitmap) {
    // A 2 x 2, 24-bit bottom-up DIB: the first stored row is the bottom one
    // (red, green), the second the top one (blue, white).
    std::vector<std::uint8_t> info;
    for (std::uint32_t v : {40u, 2u, 2u}) Put32(info, v);
    Put16(info, 1), Put16(info, 24);
    for (int i = 0; i < 6; ++i) Put32(info, 0);
    const std::vector<std::uint8_t> bits{0, 0, 255, 0, 255, 0, 0, 0,       // red, green, padding
                                         255, 0, 0, 255, 255, 255, 0, 0};  // blue, white, padding
    std::vector<std::uint8_t> body;
    for (int v : {0, 0, 0, 0}) Put32(body, static_cast<std::uint32_t>(v));  // bounds
    for (int v : {10, 4, 0, 0, 2, 2}) Put32(body, static_cast<std::uint32_t>(v));  // dest, source
    const std::uint32_t offBmi = 80, offBits = offBmi + 40;  // after the 80 bytes of fixed fields
    for (std::uint32_t v : {offBmi, 40u, offBits, 16u, 0u, 0x00CC0020u}) Put32(body, v);
    Put32(body, 4), Put32(body, 6);  // destination size
    body.insert(body.end(), info.begin(), info.end());
    body.insert(body.end(), bits.begin(), bits.end());
    const Picture p = Load(EmfBuilder().Raw(81, body).Bytes());
    const Surface& s = *p.bitmap();
    EXPECT_EQ(s.GetPixel(10, 4), kBlue);
    EXPECT_EQ(s.GetPixel(11, 6), kBlue);
    EXPECT_EQ(s.GetPixel(12, 4), kWhite);
    EXPECT_EQ(s.GetPixel(10, 7), kRed);
    EXPECT_EQ(s.GetPixel(13, 9), Rgb(0, 255, 0));
    EXPECT_EQ(s.GetPixel(14, 9), kWhite);  // outside the destination
    EXPECT_EQ(s.GetPixel(10, 10), kWhite);
}

std::vector<std::uint8_t> FontRecord(std::uint32_t slot, std::int32_t height, std::int32_t weight, const char* face) {
    std::vector<std::uint8_t> body;
    Put32(body, slot);
    for (std::int32_t v : {height, 0, 0, 0, weight}) Put32(body, static_cast<std::uint32_t>(v));
    Put32(body, 0), Put32(body, 0);  // italic ... pitch and family
    for (int i = 0; i < 32; ++i) Put16(body, static_cast<std::uint16_t>(*face ? *face++ : 0));
    return body;
}

std::vector<std::uint8_t> TextRecord(std::int32_t x, std::int32_t y, const std::u16string& text) {
    std::vector<std::uint8_t> body;
    for (int v : {0, 0, 0, 0, 1, 0, 0}) Put32(body, static_cast<std::uint32_t>(v));  // bounds, mode, scales
    Put32(body, static_cast<std::uint32_t>(x)), Put32(body, static_cast<std::uint32_t>(y));
    Put32(body, static_cast<std::uint32_t>(text.size()));
    Put32(body, 8 + 68);  // string offset
    for (int v : {0, 0, 0, 0, 0, 0}) Put32(body, static_cast<std::uint32_t>(v));  // options, rect, dx offset
    for (char16_t c : text) Put16(body, c);
    while (body.size() % 4) body.push_back(0);
    return body;
}

TEST(Emf, TextIsDrawnInTheFontsHeightAndColour) {
    // "HH" in a 30-pixel font (character height), baseline at y = 40 (TA_BASELINE).
    const Picture p = Load(EmfBuilder()
                               .Raw(82, FontRecord(1, -30, 700, "DejaVu Sans"))
                               .Record(37, {1})
                               .Record(22, {24})
                               .Record(18, {1})
                               .Record(24, {kRed})
                               .Raw(84, TextRecord(10, 40, u"HH"))
                               .Bytes());
    int top = 48, bottom = -1, left = 96, right = -1;
    for (int y = 0; y < 48; ++y)
        for (int x = 0; x < 96; ++x)
            if (p.bitmap()->GetPixel(x, y) == kRed) {
                top = std::min(top, y), bottom = std::max(bottom, y);
                left = std::min(left, x), right = std::max(right, x);
            }
    // Capital H of DejaVu Sans stands 0.729 em above the baseline: about 22 pixels.
    EXPECT_NEAR(top, 40 - 22, 2);
    EXPECT_NEAR(bottom, 39, 1);
    EXPECT_NEAR(left, 11, 2);
    EXPECT_GT(right, left + 30);  // two bold capitals
}

TEST(MetafileText, MissingFacesFallBackToAnInstalledFont) {
    metafile::FontRequest request;
    request.face = "NoSuchFontAnywhere";
    const std::string file = metafile::TextRenderer::FontFileFor(request);
    EXPECT_FALSE(file.empty());
    EXPECT_TRUE(fs::exists(file)) << file;
}

// ---------------------------------------------------------------------------
// Windows metafiles.

class WmfBuilder {
public:
    // With a placeable header for the box (0, 0)-(right, bottom) at the
    // given units per inch, or a plain header.
    WmfBuilder(bool placeable, std::int16_t right = 0, std::int16_t bottom = 0, std::uint16_t perInch = 1440) {
        if (placeable) {
            Put32(m_bytes, 0x9AC6CDD7);
            Put16(m_bytes, 0);
            for (std::int16_t v : {std::int16_t{0}, std::int16_t{0}, right, bottom}) Put16(m_bytes, static_cast<std::uint16_t>(v));
            Put16(m_bytes, perInch);
            Put32(m_bytes, 0);
            Put16(m_bytes, 0);  // checksum (not checked)
        }
        Put16(m_bytes, 1), Put16(m_bytes, 9), Put16(m_bytes, 0x0300);
        Put32(m_bytes, 0), Put16(m_bytes, 4), Put32(m_bytes, 0), Put16(m_bytes, 0);
    }
    WmfBuilder& Record(std::uint16_t function, std::initializer_list<std::int32_t> words) {
        Put32(m_bytes, static_cast<std::uint32_t>(3 + words.size()));
        Put16(m_bytes, function);
        for (std::int32_t w : words) Put16(m_bytes, static_cast<std::uint16_t>(w));
        return *this;
    }
    std::vector<std::uint8_t> Bytes() {
        std::vector<std::uint8_t> out = m_bytes;
        Put32(out, 3), Put16(out, 0);
        return out;
    }

private:
    std::vector<std::uint8_t> m_bytes;
};

TEST(Wmf, SizeFromThePlaceableBoxOrTheWindowExtent) {
    // 1440 x 720 twips at 1440 per inch: 96 x 48 pixels.
    const Picture placeable = Load(WmfBuilder(true, 1440, 720).Bytes());
    EXPECT_EQ(placeable.Width(), 96);
    EXPECT_EQ(placeable.Height(), 48);
    // Without it, the window extent (SetWindowExt: y, x) in pixels.
    const Picture plain = Load(WmfBuilder(false).Record(0x020C, {40, 50}).Bytes());
    EXPECT_EQ(plain.Width(), 50);
    EXPECT_EQ(plain.Height(), 40);
    EXPECT_EQ(CountColour(plain, kWhite), 50 * 40);
}

TEST(Wmf, ObjectsAndShapesInLogicalUnits) {
    // Box 0..960 x 0..480 at 960 per inch: 96 x 48 pixels, ten units a pixel.
    // Brush in slot 0, null pen in slot 1; the rectangle (20, 10)-(50, 30)
    // in pixels. Parameters are stored in reverse (bottom, right, top, left).
    const Picture p = Load(WmfBuilder(true, 960, 480, 960)
                               .Record(0x02FC, {0, kRed & 0xFFFF, kRed >> 16, 0})  // CREATEBRUSHINDIRECT
                               .Record(0x02FA, {5, 0, 0, 0, 0})                     // CREATEPENINDIRECT, PS_NULL
                               .Record(0x012D, {0})
                               .Record(0x012D, {1})
                               .Record(0x041B, {300, 500, 100, 200})  // RECTANGLE
                               .Record(0x01F0, {0})                   // DELETEOBJECT frees slot 0 ...
                               .Record(0x02FC, {0, 0xFF00, 0, 0})     // ... which the next object takes
                               .Record(0x012D, {0})
                               .Record(0x0418, {480, 960, 400, 800})  // ELLIPSE (80, 40)-(96, 48)
                               .Bytes());
    EXPECT_EQ(CountColour(p, kRed), 30 * 20);
    EXPECT_EQ(p.bitmap()->GetPixel(20, 10), kRed);
    EXPECT_EQ(p.bitmap()->GetPixel(49, 29), kRed);
    EXPECT_EQ(p.bitmap()->GetPixel(50, 29), kWhite);
    EXPECT_EQ(p.bitmap()->GetPixel(88, 44), Rgb(0, 255, 0));
    EXPECT_EQ(p.bitmap()->GetPixel(80, 40), kWhite);  // the ellipse's corner
}

// ---------------------------------------------------------------------------
// Refusals: every one an invalid picture, none a crash.

struct RefusedMetafile {
    const char* name;
    std::vector<std::uint8_t> bytes;
    const char* description;
};

std::vector<std::uint8_t> WithRecord(std::uint32_t type, std::uint32_t size) {
    EmfBuilder b;
    std::vector<std::uint8_t> out = b.Bytes(false);
    Put32(out, type);
    Put32(out, size);
    Put32(out, 0);
    const auto total = static_cast<std::uint32_t>(out.size());
    std::memcpy(out.data() + 48, &total, 4);
    return out;
}

std::vector<std::uint8_t> ClaimsMoreBytes() {
    std::vector<std::uint8_t> out = EmfBuilder().Bytes();
    const auto total = static_cast<std::uint32_t>(out.size() + 100);
    std::memcpy(out.data() + 48, &total, 4);
    return out;
}

std::vector<std::uint8_t> WmfRecordOfSize(std::uint32_t words) {
    std::vector<std::uint8_t> out = WmfBuilder(true, 1440, 720).Bytes();
    out.resize(out.size() - 6);  // drop the end record
    Put32(out, words);
    Put16(out, 0x041B);
    Put32(out, 3), Put16(out, 0);
    return out;
}

class Refused : public ::testing::TestWithParam<RefusedMetafile> {};

TEST_P(Refused, IsAnInvalidPicture) {
    try {
        Load(GetParam().bytes);
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        EXPECT_EQ(e.description(), GetParam().description);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Metafiles, Refused,
    ::testing::Values(
        RefusedMetafile{"EmfRecordOfSizeZero", WithRecord(43, 0), "EMF record at offset 108 has a bad size"},
        RefusedMetafile{"EmfRecordPastTheEnd", WithRecord(43, 4000), "EMF record at offset 108 runs past the end of the file"},
        RefusedMetafile{"EmfCutShort", ClaimsMoreBytes(), "EMF file is cut short (128 of 228 bytes)"},
        RefusedMetafile{"EmfHugeFrame", EmfBuilder(2000000000, 2000000000).Bytes(), "picture is too large (75590551 x 75590551 pixels)"},
        RefusedMetafile{"EmfPolygonClaimsMorePoints",
                        EmfBuilder().Record(3, {0, 0, 0, 0, 1000000, 1, 1}).Bytes(),
                        "EMF record at offset 108: record holds fewer points than it claims"},
        RefusedMetafile{"WmfRecordOfTwoWords", WmfRecordOfSize(2), "WMF record at offset 40 has a bad size"},
        RefusedMetafile{"WmfRecordWithoutItsParameters", WmfBuilder(true, 1440, 720).Record(0x041B, {}).Bytes(),
                        "WMF record at offset 40: unexpected end of data"},
        RefusedMetafile{"WmfWithoutSize", WmfBuilder(false).Record(0x0213, {1, 1}).Bytes(),
                        "WMF file has neither a placeable header nor a window extent"},
        RefusedMetafile{"WmfZeroUnitsPerInch", WmfBuilder(true, 1440, 720, 0).Bytes(),
                        "WMF placeable header gives no units per inch"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Emf, DrawingFarBeyondThePicturesNeedsIsRefused) {
    // A 960 x 960 picture (254 mm): rectangles over the whole picture, a
    // hundred of them, load; a thousand ask for about 5 times the budget of
    // 2^27 + 64 x area pixels and are refused instead of keeping the loader
    // busy.
    auto covered = [](int rectangles) {
        EmfBuilder emf(25400, 25400);
        emf.SolidBrush(1, kRed).NoPen();
        for (int i = 0; i < rectangles; ++i) emf.Record(43, {-100000, -100000, 100000, 100000});
        return emf.Bytes();
    };
    const Picture fine = Load(covered(100));
    EXPECT_EQ(fine.bitmap()->GetPixel(480, 480), kRed);
    try {
        Load(covered(1000));
        FAIL() << "loaded";
    } catch (const Error& e) {
        EXPECT_EQ(e.kind(), ErrorKind::InvalidPicture);
        EXPECT_NE(e.description().find("far more drawing"), std::string::npos) << e.description();
    }
}

TEST(Wmf, RecordRunningPastTheEndIsRefused) {
    std::vector<std::uint8_t> bytes = WmfBuilder(true, 1440, 720).Record(0x041B, {1, 2, 3, 4}).Bytes();
    bytes.resize(bytes.size() - 8);  // cut inside the rectangle record
    EXPECT_THROW(Load(bytes), Error);
}

// ---------------------------------------------------------------------------
// LibreOffice's metafiles against rsvg-convert's rendering of the same SVG.

fs::path DataDir() { return test::SourceDir() / "tests" / "data" / "metafile"; }

struct Agreement {
    double differing = 0;  // share of pixels more than 100 apart on a channel
    double unmatched = 0;  // share of pixels no reference pixel within one pixel matches within 48
};

Agreement CompareWithReference(const test::RgbImage& ours, const test::RgbImage& ref) {
    auto close = [&](int x, int y, int rx, int ry, int tolerance) {
        for (int c = 0; c < 3; ++c) {
            const int a = ours.rgb[(y * ours.width + x) * 3 + c], b = ref.rgb[(ry * ref.width + rx) * 3 + c];
            if (std::abs(a - b) > tolerance) return false;
        }
        return true;
    };
    int differing = 0, unmatched = 0;
    for (int y = 0; y < ours.height; ++y) {
        for (int x = 0; x < ours.width; ++x) {
            differing += !close(x, y, x, y, 100);
            bool matched = false;
            for (int dy = -1; dy <= 1 && !matched; ++dy)
                for (int dx = -1; dx <= 1 && !matched; ++dx) {
                    const int rx = x + dx, ry = y + dy;
                    matched = rx >= 0 && ry >= 0 && rx < ref.width && ry < ref.height && close(x, y, rx, ry, 48);
                }
            unmatched += !matched;
        }
    }
    const double n = static_cast<double>(ours.width) * ours.height;
    return {differing / n, unmatched / n};
}

struct Drawing {
    const char* file;
    double maxDiffering;
    double maxUnmatched;
};

class LibreOfficeMetafile : public ::testing::TestWithParam<Drawing> {};

TEST_P(LibreOfficeMetafile, MatchesTheSvgRendering) {
    const fs::path file = DataDir() / GetParam().file;
    const Picture ours = LoadPicture(file.string());
    const auto ref = test::DecodeWithPil(fs::path(file.string() + ".png"));
    ASSERT_TRUE(ref) << "PIL could not read the reference";
    ASSERT_EQ(ours.Width(), ref->width);
    ASSERT_EQ(ours.Height(), ref->height);
    const Agreement a = CompareWithReference(test::RgbFromSurface(*ours.bitmap()), *ref);
    EXPECT_LE(a.differing, GetParam().maxDiffering);
    EXPECT_LE(a.unmatched, GetParam().maxUnmatched);
}

// Shapes, curves and the photograph: at most 2 % of the pixels differ by more
// than 100 (edges, where the reference is antialiased and we are not), and
// at most 0.5 % find no match in the reference's 3 x 3 neighbourhood. Text
// is drawn with the same fonts but other hinting and placement: 3 % and 1 %.
INSTANTIATE_TEST_SUITE_P(
    Drawings, LibreOfficeMetafile,
    ::testing::Values(Drawing{"shapes.emf", 0.02, 0.005}, Drawing{"shapes.wmf", 0.02, 0.005},
                      Drawing{"curves.emf", 0.02, 0.005}, Drawing{"curves.wmf", 0.02, 0.005},
                      Drawing{"photo.emf", 0.02, 0.005}, Drawing{"photo.wmf", 0.02, 0.005},
                      Drawing{"fade_a.emf", 0.02, 0.005}, Drawing{"fade_b.wmf", 0.02, 0.005},
                      Drawing{"text.emf", 0.03, 0.01}, Drawing{"text.wmf", 0.03, 0.01}),
    [](const auto& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (c == '.') c = '_';
        return name;
    });

}  // namespace
}  // namespace crossmeld
