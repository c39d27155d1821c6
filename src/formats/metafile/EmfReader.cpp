// Enhanced metafiles: the header gives the picture's size and the recording
// device; every further record is decoded here and played by MetafilePlayer.
// EMF+ records ride in comment records and are skipped: the plain records
// beside them draw the same picture.
#include <bit>
#include <cmath>
#include <string>
#include <vector>

#include "base/ByteReader.h"
#include "base/Error.h"
#include "formats/metafile/MetafileBitmap.h"
#include "formats/metafile/MetafilePicture.h"
#include "formats/metafile/MetafilePlayer.h"
#include "formats/metafile/MetafileStrings.h"

namespace crossmeld {
namespace {

using namespace metafile;

[[noreturn]] void Refuse(const std::string& what) { throw Error(ErrorKind::InvalidPicture, "EMF " + what); }
// Faults inside one record; the record loop names the record.
[[noreturn]] void Bad(const std::string& what) { throw Error(ErrorKind::InvalidPicture, what); }
std::string Named(std::size_t offset, const Error& e) {
    return "EMF record at offset " + std::to_string(offset) + ": " + e.description();
}

struct EmfHeader {
    std::int32_t frameLeft = 0, frameTop = 0, frameRight = 0, frameBottom = 0;
    std::uint32_t headerSize = 0;
    std::uint32_t bytes = 0;
    std::uint32_t handles = 0;
    double pixelsPerMmX = 96 / 25.4, pixelsPerMmY = 96 / 25.4;
};

EmfHeader ReadHeader(std::span<const std::uint8_t> file) {
    ByteReader in(file);
    EmfHeader h;
    if (!in.has(88)) Refuse("header is cut short");
    in.skip(4);
    h.headerSize = in.u32le();
    if (h.headerSize < 88 || h.headerSize % 4 != 0 || h.headerSize > file.size()) Refuse("header has a bad size");
    in.skip(16);  // bounds, in device pixels
    h.frameLeft = in.i32le();
    h.frameTop = in.i32le();
    h.frameRight = in.i32le();
    h.frameBottom = in.i32le();
    in.skip(4 + 4);  // signature, version
    h.bytes = in.u32le();
    in.skip(4);  // record count
    h.handles = in.u16le();
    in.skip(2 + 4 + 4 + 4);
    const std::int32_t deviceX = in.i32le(), deviceY = in.i32le();
    const std::int32_t mmX = in.i32le(), mmY = in.i32le();
    double sizeX = mmX, sizeY = mmY;
    // The micrometre size of newer headers is more precise than millimetres.
    if (h.headerSize >= 108) {
        in.seek(100);
        const std::int32_t umX = in.i32le(), umY = in.i32le();
        if (umX > 0 && umY > 0) {
            sizeX = umX / 1000.0;
            sizeY = umY / 1000.0;
        }
    }
    if (deviceX > 0 && deviceY > 0 && sizeX > 0 && sizeY > 0) {
        h.pixelsPerMmX = deviceX / sizeX;
        h.pixelsPerMmY = deviceY / sizeY;
    }
    return h;
}

PointF ReadPoint32(ByteReader& in) {
    const double x = in.i32le();
    return {x, static_cast<double>(in.i32le())};
}
PointF ReadPoint16(ByteReader& in) {
    const double x = in.i16le();
    return {x, static_cast<double>(in.i16le())};
}
RectF ReadRect(ByteReader& in) {
    RectF r;
    r.left = in.i32le();
    r.top = in.i32le();
    r.right = in.i32le();
    r.bottom = in.i32le();
    return r;
}
float ReadFloat(ByteReader& in) { return std::bit_cast<float>(in.u32le()); }

std::vector<PointF> ReadPoints(ByteReader& in, std::uint32_t count, bool small) {
    const std::size_t each = small ? 4 : 8;
    if (count > in.remaining() / each) Bad("record holds fewer points than it claims");
    std::vector<PointF> pts;
    pts.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) pts.push_back(small ? ReadPoint16(in) : ReadPoint32(in));
    return pts;
}

// EMR_POLYPOLYGON / EMR_POLYPOLYLINE and their 16-bit forms.
std::vector<std::vector<PointF>> ReadPolyPoly(ByteReader& in, bool small) {
    in.skip(16);
    const std::uint32_t polys = in.u32le(), total = in.u32le();
    if (polys > in.remaining() / 4) Bad("record holds fewer polygons than it claims");
    std::vector<std::uint32_t> counts(polys);
    std::uint64_t sum = 0;
    for (auto& c : counts) {
        c = in.u32le();
        sum += c;
    }
    if (sum > total) Bad("polygon point counts exceed the total");
    std::vector<std::vector<PointF>> out;
    out.reserve(polys);
    for (std::uint32_t c : counts) out.push_back(ReadPoints(in, c, small));
    return out;
}

Affine ReadXform(ByteReader& in) {
    Affine a;
    a.m11 = ReadFloat(in);
    a.m12 = ReadFloat(in);
    a.m21 = ReadFloat(in);
    a.m22 = ReadFloat(in);
    a.dx = ReadFloat(in);
    a.dy = ReadFloat(in);
    return a;
}

// The part of a record at [offset, offset + size), which must lie inside it.
std::span<const std::uint8_t> Part(std::span<const std::uint8_t> record, std::uint32_t offset, std::uint32_t size) {
    if (std::uint64_t{offset} + size > record.size()) Bad("bitmap lies outside its record");
    return record.subspan(offset, size);
}

std::optional<MetafileImage> RecordBitmap(std::span<const std::uint8_t> record, std::uint32_t offBmi,
                                          std::uint32_t cbBmi, std::uint32_t offBits, std::uint32_t cbBits,
                                          std::int64_t maxPixels) {
    if (cbBmi == 0) return std::nullopt;
    return DecodeMetafileDib(Part(record, offBmi, cbBmi), Part(record, offBits, cbBits), maxPixels);
}

// DIB functions count source rows from the bottom of a bottom-up bitmap.
RectF DibSource(const MetafileImage& image, double x, double y, double w, double h) {
    if (image.bottomUp) y = image.surface->height() - (y + h);
    return {x, y, x + w, y + h};
}

FontObject ReadFont(ByteReader& in) {
    FontObject f;
    f.height = in.i32le();
    in.skip(4);  // width
    f.escapement = in.i32le();
    in.skip(4);  // orientation
    f.weight = in.i32le();
    f.italic = in.u8() != 0;
    f.underline = in.u8() != 0;
    f.strikeout = in.u8() != 0;
    f.charset = in.u8();
    in.skip(3);  // precisions, quality
    f.pitchAndFamily = in.u8();
    f.face = ToUtf8(UntilNul(DecodeUtf16(in.bytes(std::min<std::size_t>(64, in.remaining())))));
    return f;
}

void PlayText(MetafilePlayer& player, std::span<const std::uint8_t> record, ByteReader& in, bool wide) {
    in.skip(16 + 4 + 4 + 4);  // bounds, graphics mode, x and y scales
    const PointF at = ReadPoint32(in);
    const std::uint32_t chars = in.u32le(), offString = in.u32le(), options = in.u32le();
    const RectF rect = ReadRect(in);
    const std::uint32_t offDx = in.u32le();
    if (chars > record.size()) Bad("text is longer than its record");
    const std::u32string text = wide ? DecodeUtf16(Part(record, offString, chars * 2))
                                     : DecodeAnsi(Part(record, offString, chars));
    std::vector<double> advances;
    // ETO_PDY (0x2000) gives x and y advances in pairs.
    const std::uint32_t stride = (options & 0x2000) ? 8 : 4;
    if (offDx != 0 && std::uint64_t{offDx} + std::uint64_t{chars} * stride <= record.size()) {
        ByteReader dx(record.subspan(offDx));
        for (std::uint32_t i = 0; i < chars; ++i) {
            advances.push_back(dx.i32le());
            if (stride == 8) dx.skip(4);
        }
    }
    std::optional<RectF> box;
    if (options & 6) box = rect;
    player.TextOut(at, text, advances, options, box);
}

void PlayRecord(MetafilePlayer& player, std::uint32_t type, std::span<const std::uint8_t> record, std::uint32_t handles,
                std::int64_t maxPixels) {
    ByteReader in(record.subspan(8));
    switch (type) {
        case 2: case 3: case 4: case 5: case 6: case 85: case 86: case 87: case 88: case 89: {
            const bool small = type >= 85;
            in.skip(16);
            const std::vector<PointF> pts = ReadPoints(in, in.u32le(), small);
            switch (small ? type - 83 : type) {
                case 2: player.PolyBezier(pts); break;
                case 3: player.Polygon(pts); break;
                case 4: player.Polyline(pts); break;
                case 5: player.PolyBezierTo(pts); break;
                case 6: player.PolylineTo(pts); break;
            }
            break;
        }
        case 7: case 90:
            for (const auto& line : ReadPolyPoly(in, type == 90)) player.Polyline(line);
            break;
        case 8: case 91: player.PolyPolygon(ReadPolyPoly(in, type == 91)); break;
        case 9: { const PointF p = ReadPoint32(in); player.SetWindowExt(p.x, p.y); break; }
        case 10: { const PointF p = ReadPoint32(in); player.SetWindowOrg(p.x, p.y); break; }
        case 11: { const PointF p = ReadPoint32(in); player.SetViewportExt(p.x, p.y); break; }
        case 12: { const PointF p = ReadPoint32(in); player.SetViewportOrg(p.x, p.y); break; }
        case 15: { const PointF p = ReadPoint32(in); player.SetPixel(p, in.u32le()); break; }
        case 17: player.SetMapMode(in.i32le()); break;
        case 18: player.SetBkMode(in.u32le()); break;
        case 19: player.SetPolyFillMode(in.u32le()); break;
        case 22: player.SetTextAlign(in.u32le()); break;
        case 24: player.SetTextColor(in.u32le()); break;
        case 25: player.SetBkColor(in.u32le()); break;
        case 27: { const PointF p = ReadPoint32(in); player.MoveTo(p.x, p.y); break; }
        case 30: player.IntersectClipRect(ReadRect(in)); break;
        case 31: case 32: {
            const double xn = in.i32le(), xd = in.i32le(), yn = in.i32le(), yd = in.i32le();
            if (type == 31) player.ScaleViewportExt(xn, xd, yn, yd); else player.ScaleWindowExt(xn, xd, yn, yd);
            break;
        }
        case 33: player.SaveDC(); break;
        case 34: player.RestoreDC(in.i32le()); break;
        case 35: player.SetWorldTransform(ReadXform(in)); break;
        case 36: { const Affine x = ReadXform(in); player.ModifyWorldTransform(x, in.u32le()); break; }
        case 37: player.SelectObject(in.u32le()); break;
        case 38: {  // EMR_CREATEPEN: LOGPEN
            const std::uint32_t index = in.u32le(), style = in.u32le();
            const std::int32_t width = in.i32le();
            in.skip(4);
            const ColorRef color = in.u32le();
            if (index < handles) player.CreateObject(index, MakePen(style, width, color));
            break;
        }
        case 39: {  // EMR_CREATEBRUSHINDIRECT: LOGBRUSH32
            const std::uint32_t index = in.u32le(), style = in.u32le();
            const ColorRef color = in.u32le();
            const std::uint32_t hatch = in.u32le();
            if (index < handles) player.CreateObject(index, MakeBrush(style, color, hatch));
            break;
        }
        case 40: player.DeleteObject(in.u32le()); break;
        case 41: {
            const PointF c = ReadPoint32(in);
            const double radius = in.u32le();
            const double start = ReadFloat(in), sweep = ReadFloat(in);
            player.AngleArc(c, radius, start, sweep);
            break;
        }
        case 42: player.Ellipse(ReadRect(in)); break;
        case 43: player.Rectangle(ReadRect(in)); break;
        case 44: { const RectF r = ReadRect(in); const PointF corner = ReadPoint32(in); player.RoundRect(r, corner.x, corner.y); break; }
        case 45: case 46: case 47: case 55: {
            const RectF r = ReadRect(in);
            const PointF start = ReadPoint32(in), end = ReadPoint32(in);
            const ArcKind kind = type == 45 ? ArcKind::Arc : type == 46 ? ArcKind::Chord : type == 47 ? ArcKind::Pie : ArcKind::ArcTo;
            player.ArcShape(kind, r, start, end);
            break;
        }
        case 54: { const PointF p = ReadPoint32(in); player.LineTo(p.x, p.y); break; }
        case 57: player.SetArcDirection(in.u32le()); break;
        case 58: player.SetMiterLimit(in.u32le()); break;
        case 59: player.BeginPath(); break;
        case 60: player.EndPath(); break;
        case 61: player.CloseFigure(); break;
        case 62: player.FillPath(); break;
        case 63: player.StrokeAndFillPath(); break;
        case 64: player.StrokePath(); break;
        case 67: player.SelectClipPath(); break;
        case 68: player.AbortPath(); break;
        case 75: {  // EMR_EXTSELECTCLIPRGN: RGNDATA in device units
            const std::uint32_t size = in.u32le(), mode = in.u32le();
            std::vector<RectF> rects;
            if (size >= 32) {
                ByteReader rgn(in.bytes(std::min<std::size_t>(size, in.remaining())));
                rgn.skip(8);
                const std::uint32_t count = rgn.u32le();
                rgn.skip(4 + 16);
                if (count > rgn.remaining() / 16) Bad("clip region holds fewer rectangles than it claims");
                for (std::uint32_t i = 0; i < count; ++i) rects.push_back(ReadRect(rgn));
            }
            player.SelectClipRects(rects, mode);
            break;
        }
        case 76: case 77: {  // EMR_BITBLT, EMR_STRETCHBLT
            in.skip(16);
            const PointF dest = ReadPoint32(in), destSize = ReadPoint32(in);
            const std::uint32_t rop = in.u32le();
            const PointF src = ReadPoint32(in);
            in.skip(24 + 4 + 4);  // source transform, background colour, usage
            const std::uint32_t offBmi = in.u32le(), cbBmi = in.u32le(), offBits = in.u32le(), cbBits = in.u32le();
            PointF srcSize = destSize;
            if (type == 77) srcSize = ReadPoint32(in);
            const RectF destRect{dest.x, dest.y, dest.x + destSize.x, dest.y + destSize.y};
            if (cbBmi == 0) {
                player.PatBlt(destRect, rop);
                break;
            }
            if (auto image = RecordBitmap(record, offBmi, cbBmi, offBits, cbBits, maxPixels))
                player.DrawBitmap(*image->surface, {src.x, src.y, src.x + srcSize.x, src.y + srcSize.y}, destRect, rop);
            break;
        }
        case 80: case 81: {  // EMR_SETDIBITSTODEVICE, EMR_STRETCHDIBITS
            in.skip(16);
            const PointF dest = ReadPoint32(in), src = ReadPoint32(in), srcSize = ReadPoint32(in);
            const std::uint32_t offBmi = in.u32le(), cbBmi = in.u32le(), offBits = in.u32le(), cbBits = in.u32le();
            in.skip(4);  // usage
            std::uint32_t rop = 0x00CC0020;
            PointF destSize = srcSize;
            if (type == 81) {
                rop = in.u32le();
                destSize = ReadPoint32(in);
            }
            if (auto image = RecordBitmap(record, offBmi, cbBmi, offBits, cbBits, maxPixels))
                player.DrawBitmap(*image->surface, DibSource(*image, src.x, src.y, srcSize.x, srcSize.y),
                                  {dest.x, dest.y, dest.x + destSize.x, dest.y + destSize.y}, rop);
            break;
        }
        case 82: {  // EMR_EXTCREATEFONTINDIRECTW
            const std::uint32_t index = in.u32le();
            if (index < handles) player.CreateObject(index, ReadFont(in));
            break;
        }
        case 83: case 84: PlayText(player, record, in, type == 84); break;
        case 93: case 94: {  // EMR_CREATEMONOBRUSH, EMR_CREATEDIBPATTERNBRUSHPT
            const std::uint32_t index = in.u32le();
            in.skip(4);
            const std::uint32_t offBmi = in.u32le(), cbBmi = in.u32le(), offBits = in.u32le(), cbBits = in.u32le();
            BrushObject brush;
            if (auto image = RecordBitmap(record, offBmi, cbBmi, offBits, cbBits, maxPixels)) {
                brush.style = BrushObject::Style::Pattern;
                brush.pattern = image->surface;
            }
            if (index < handles) player.CreateObject(index, brush);
            break;
        }
        case 95: {  // EMR_EXTCREATEPEN: LOGPEN_EX
            const std::uint32_t index = in.u32le();
            in.skip(16);
            const std::uint32_t style = in.u32le(), width = in.u32le(), brushStyle = in.u32le();
            const ColorRef color = in.u32le();
            PenObject pen = MakePen(style, width, color, true);
            if (brushStyle == 1) pen.null = true;  // a hollow brush draws nothing
            if (index < handles) player.CreateObject(index, pen);
            break;
        }
        default: break;  // everything else (comments, palettes, colour management, ...) is skipped
    }
}

}  // namespace

std::shared_ptr<Surface> DecodeEmfPicture(std::span<const std::uint8_t> file, std::int64_t maxPixels) {
    const EmfHeader h = ReadHeader(file);
    if (h.bytes > file.size()) Refuse("file is cut short (" + std::to_string(file.size()) + " of " +
                                      std::to_string(h.bytes) + " bytes)");
    const std::size_t end = h.bytes >= h.headerSize ? h.bytes : file.size();
    const double frameWidth = static_cast<double>(h.frameRight) - h.frameLeft;
    const double frameHeight = static_cast<double>(h.frameBottom) - h.frameTop;
    if (frameWidth <= 0 || frameHeight <= 0) Refuse("frame is empty");
    // 0.01 mm at 96 dots per inch.
    const std::int64_t width = std::max<std::int64_t>(1, std::llround(frameWidth * 96 / 2540));
    const std::int64_t height = std::max<std::int64_t>(1, std::llround(frameHeight * 96 / 2540));
    auto surface = CreateMetafileSurface(width, height, maxPixels);

    MetafileCanvas canvas(surface);
    MetafilePlayer::Device device;
    // Device pixels to 0.01 mm, then the frame onto the picture.
    const double sx = static_cast<double>(width) / frameWidth, sy = static_cast<double>(height) / frameHeight;
    device.toPicture = Affine{100 / h.pixelsPerMmX * sx, 0, 0, 100 / h.pixelsPerMmY * sy, -h.frameLeft * sx,
                              -h.frameTop * sy};
    device.pixelsPerMmX = h.pixelsPerMmX;
    device.pixelsPerMmY = h.pixelsPerMmY;
    MetafilePlayer player(canvas, device);

    const std::span<const std::uint8_t> records = file.first(end);
    std::size_t pos = h.headerSize;
    while (pos < end) {
        if (end - pos < 8) Refuse("record runs past the end of the file");
        ByteReader head(records.subspan(pos, 8));
        const std::uint32_t type = head.u32le(), size = head.u32le();
        if (size < 8 || size % 4 != 0) Refuse("record at offset " + std::to_string(pos) + " has a bad size");
        if (size > end - pos) Refuse("record at offset " + std::to_string(pos) + " runs past the end of the file");
        if (type == 14) break;  // EMR_EOF
        try {
            PlayRecord(player, type, records.subspan(pos, size), h.handles, maxPixels);
        } catch (const Error& e) {
            if (e.kind() != ErrorKind::InvalidPicture) throw;
            throw Error(ErrorKind::InvalidPicture, Named(pos, e));
        }
        pos += size;
    }
    return surface;
}

}  // namespace crossmeld
