// Windows metafiles, with or without the placeable header: the size comes
// from the placeable box or the window extent; every record is decoded here
// and played by MetafilePlayer. WMF parameters are 16-bit words, most of
// them stored in reverse order (y before x, bottom before top).
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

[[noreturn]] void Refuse(const std::string& what) { throw Error(ErrorKind::InvalidPicture, "WMF " + what); }
// Faults inside one record; the record loop names the record.
[[noreturn]] void Bad(const std::string& what) { throw Error(ErrorKind::InvalidPicture, what); }
std::string Named(std::size_t offset, const Error& e) {
    return "WMF record at offset " + std::to_string(offset) + ": " + e.description();
}

constexpr std::uint32_t kPlaceableKey = 0x9AC6CDD7u;

struct Record {
    std::size_t offset = 0;
    std::uint16_t function = 0;
    std::uint32_t words = 0;                // the whole record, in 16-bit words
    std::span<const std::uint8_t> params;  // after the six-byte record head
};

// Walks the records; refuses a record that is too short or runs past the end.
class RecordWalker {
public:
    RecordWalker(std::span<const std::uint8_t> file, std::size_t start) : m_file(file), m_pos(start) {}

    bool Next(Record& r) {
        if (m_pos >= m_file.size()) return false;
        if (m_file.size() - m_pos < 6) Refuse("record runs past the end of the file");
        r.offset = m_pos;
        ByteReader head(m_file.subspan(m_pos, 6));
        r.words = head.u32le();
        r.function = head.u16le();
        if (r.words < 3) Refuse("record at offset " + std::to_string(m_pos) + " has a bad size");
        if (r.words > (m_file.size() - m_pos) / 2)
            Refuse("record at offset " + std::to_string(m_pos) + " runs past the end of the file");
        r.params = m_file.subspan(m_pos + 6, std::size_t{r.words} * 2 - 6);
        m_pos += std::size_t{r.words} * 2;
        return r.function != 0;  // META_EOF
    }

private:
    std::span<const std::uint8_t> m_file;
    std::size_t m_pos;
};

// Reads the 16-bit parameters of a record.
class Params {
public:
    explicit Params(std::span<const std::uint8_t> p) : m_in(p) {}
    double s() { return m_in.i16le(); }
    std::uint16_t u() { return m_in.u16le(); }
    std::uint32_t u32() { return m_in.u32le(); }
    ByteReader& reader() { return m_in; }

    RectF ReversedRect() {
        RectF r;
        r.bottom = s();
        r.right = s();
        r.top = s();
        r.left = s();
        return r;
    }
    std::vector<PointF> Points(std::size_t count) {
        if (count > m_in.remaining() / 4) Bad("record holds fewer points than it claims");
        std::vector<PointF> pts;
        pts.reserve(count);
        for (std::size_t i = 0; i < count; ++i) {
            const double x = s();
            pts.push_back({x, s()});
        }
        return pts;
    }

private:
    ByteReader m_in;
};

FontObject ReadFont(Params& p) {
    FontObject f;
    f.height = static_cast<std::int32_t>(p.s());
    p.s();  // width
    f.escapement = static_cast<std::int32_t>(p.s());
    p.s();  // orientation
    f.weight = static_cast<std::int32_t>(p.s());
    ByteReader& in = p.reader();
    f.italic = in.u8() != 0;
    f.underline = in.u8() != 0;
    f.strikeout = in.u8() != 0;
    f.charset = in.u8();
    in.skip(3);
    f.pitchAndFamily = in.u8();
    f.face = ToUtf8(UntilNul(DecodeAnsi(in.bytes(std::min<std::size_t>(32, in.remaining())))));
    return f;
}

// The DIB functions count source rows from the bottom of a bottom-up bitmap;
// the blit functions from the top.
RectF Source(const MetafileImage& image, bool dibOrigin, double x, double y, double w, double h) {
    if (dibOrigin && image.bottomUp) y = image.surface->height() - (y + h);
    return {x, y, x + w, y + h};
}

struct Size {
    std::int64_t width = 0, height = 0;
};

class WmfPlayback {
public:
    WmfPlayback(MetafilePlayer& player, std::int64_t maxPixels) : m_player(player), m_maxPixels(maxPixels) {}

    void Play(const Record& r) {
        Params p(r.params);
        MetafilePlayer& pl = m_player;
        switch (r.function) {
            case 0x001E: pl.SaveDC(); break;
            case 0x0127: pl.RestoreDC(static_cast<std::int32_t>(p.s())); break;
            case 0x0102: pl.SetBkMode(p.u()); break;
            case 0x0103: pl.SetMapMode(p.u()); break;
            case 0x0106: pl.SetPolyFillMode(p.u()); break;
            case 0x012E: pl.SetTextAlign(p.u()); break;
            case 0x0201: pl.SetBkColor(p.u32()); break;
            case 0x0209: pl.SetTextColor(p.u32()); break;
            case 0x020B: { const double y = p.s(); pl.SetWindowOrg(p.s(), y); break; }
            case 0x020C: { const double y = p.s(); pl.SetWindowExt(p.s(), y); break; }
            case 0x020D: { const double y = p.s(); pl.SetViewportOrg(p.s(), y); break; }
            case 0x020E: { const double y = p.s(); pl.SetViewportExt(p.s(), y); break; }
            case 0x020F: { const double y = p.s(); pl.OffsetWindowOrg(p.s(), y); break; }
            case 0x0211: { const double y = p.s(); pl.OffsetViewportOrg(p.s(), y); break; }
            case 0x0410: case 0x0412: {
                const double yd = p.s(), yn = p.s(), xd = p.s(), xn = p.s();
                if (r.function == 0x0410) pl.ScaleWindowExt(xn, xd, yn, yd); else pl.ScaleViewportExt(xn, xd, yn, yd);
                break;
            }
            case 0x0213: { const double y = p.s(); pl.LineTo(p.s(), y); break; }
            case 0x0214: { const double y = p.s(); pl.MoveTo(p.s(), y); break; }
            case 0x0416: pl.IntersectClipRect(p.ReversedRect()); break;
            case 0x0817: case 0x081A: case 0x0830: {
                const double ye = p.s(), xe = p.s(), ys = p.s(), xs = p.s();
                const RectF box = p.ReversedRect();
                const ArcKind kind = r.function == 0x0817 ? ArcKind::Arc : r.function == 0x081A ? ArcKind::Pie : ArcKind::Chord;
                pl.ArcShape(kind, box, {xs, ys}, {xe, ye});
                break;
            }
            case 0x0418: pl.Ellipse(p.ReversedRect()); break;
            case 0x041B: pl.Rectangle(p.ReversedRect()); break;
            case 0x061C: {
                const double h = p.s(), w = p.s();
                pl.RoundRect(p.ReversedRect(), w, h);
                break;
            }
            case 0x061D: {
                const std::uint32_t rop = p.u32();
                const double h = p.s(), w = p.s(), y = p.s(), x = p.s();
                pl.PatBlt({x, y, x + w, y + h}, rop);
                break;
            }
            case 0x041F: {
                const ColorRef c = p.u32();
                const double y = p.s();
                pl.SetPixel({p.s(), y}, c);
                break;
            }
            case 0x0521: {  // META_TEXTOUT
                const std::uint16_t count = p.u();
                ByteReader& in = p.reader();
                const auto bytes = in.bytes(count);
                in.skip(count & 1);
                const double y = p.s(), x = p.s();
                pl.TextOut({x, y}, DecodeAnsi(bytes), {}, 0, std::nullopt);
                break;
            }
            case 0x0A32: {  // META_EXTTEXTOUT
                const double y = p.s(), x = p.s();
                const std::uint16_t count = p.u(), options = p.u();
                std::optional<RectF> rect;
                if (options & 6) {
                    RectF box;
                    box.left = p.s();
                    box.top = p.s();
                    box.right = p.s();
                    box.bottom = p.s();
                    rect = box;
                }
                ByteReader& in = p.reader();
                const auto bytes = in.bytes(count);
                if (count & 1 && in.remaining() > 0) in.skip(1);
                std::vector<double> advances;
                if (in.remaining() >= std::size_t{count} * 2)
                    for (std::uint16_t i = 0; i < count; ++i) advances.push_back(in.i16le());
                pl.TextOut({x, y}, DecodeAnsi(bytes), advances, options, rect);
                break;
            }
            case 0x0324: case 0x0325: {
                const auto pts = p.Points(p.u());
                if (r.function == 0x0324) pl.Polygon(pts); else pl.Polyline(pts);
                break;
            }
            case 0x0538: {
                const std::uint16_t polys = p.u();
                std::vector<std::uint16_t> counts;
                counts.reserve(polys);
                for (std::uint16_t i = 0; i < polys; ++i) counts.push_back(p.u());
                std::vector<std::vector<PointF>> polygons;
                for (std::uint16_t c : counts) polygons.push_back(p.Points(c));
                pl.PolyPolygon(polygons);
                break;
            }
            case 0x0940: case 0x0B41: case 0x0F43: case 0x0D33: Blit(r, p); break;
            case 0x02FA: {
                const std::uint16_t style = p.u();
                const double width = p.s();
                p.s();
                pl.AddObject(MakePen(style, width, p.u32()));
                break;
            }
            case 0x02FC: {
                const std::uint16_t style = p.u();
                const ColorRef color = p.u32();
                pl.AddObject(MakeBrush(style, color, p.u()));
                break;
            }
            case 0x02FB: pl.AddObject(ReadFont(p)); break;
            case 0x0142: {  // META_DIBCREATEPATTERNBRUSH
                p.u();
                p.u();
                BrushObject brush;
                if (auto image = DecodePackedDib(p.reader().rest(), m_maxPixels)) {
                    brush.style = BrushObject::Style::Pattern;
                    brush.pattern = image->surface;
                }
                pl.AddObject(brush);
                break;
            }
            case 0x00F7: case 0x01F9: case 0x06FF: pl.AddObject(OtherObject{}); break;  // palette, pattern brush, region
            case 0x012D: pl.SelectObject(p.u()); break;
            case 0x01F0: pl.DeleteObject(p.u()); break;
            default: break;  // escapes, palettes and the rest are skipped
        }
    }

private:
    void Blit(const Record& r, Params& p) {
        MetafilePlayer& pl = m_player;
        // Without a bitmap the record is one word longer than its parameter
        // count and acts on the destination alone.
        const bool noBitmap = r.words == static_cast<std::uint32_t>((r.function >> 8) + 3);
        double srcW = 0, srcH = 0, sy = 0, sx = 0, h = 0, w = 0;
        std::uint32_t rop = 0x00CC0020;
        bool dibOrigin = false;
        switch (r.function) {
            case 0x0940:  // META_DIBBITBLT
                rop = p.u32();
                sy = p.s(), sx = p.s();
                if (noBitmap) p.s();
                h = p.s(), w = p.s();
                srcW = w, srcH = h;
                break;
            case 0x0B41:  // META_DIBSTRETCHBLT
                rop = p.u32();
                srcH = p.s(), srcW = p.s(), sy = p.s(), sx = p.s();
                if (noBitmap) p.s();
                h = p.s(), w = p.s();
                break;
            case 0x0F43:  // META_STRETCHDIB
                rop = p.u32();
                p.u();  // colour usage
                srcH = p.s(), srcW = p.s(), sy = p.s(), sx = p.s();
                h = p.s(), w = p.s();
                dibOrigin = true;
                break;
            default:  // META_SETDIBTODEV
                p.u(), p.u(), p.u();  // colour usage, scan count, start scan
                sy = p.s(), sx = p.s();
                h = p.s(), w = p.s();
                srcW = w, srcH = h;
                dibOrigin = true;
                break;
        }
        const double y = p.s(), x = p.s();
        const RectF dest{x, y, x + w, y + h};
        if (noBitmap && r.function != 0x0F43 && r.function != 0x0D33) {
            pl.PatBlt(dest, rop);
            return;
        }
        if (auto image = DecodePackedDib(p.reader().rest(), m_maxPixels))
            pl.DrawBitmap(*image->surface, Source(*image, dibOrigin, sx, sy, srcW, srcH), dest, rop);
    }

    MetafilePlayer& m_player;
    std::int64_t m_maxPixels;
};

}  // namespace

std::shared_ptr<Surface> DecodeWmfPicture(std::span<const std::uint8_t> file, std::int64_t maxPixels) {
    ByteReader in(file);
    bool placeable = false;
    RectF box;
    double unitsPerInch = 0;
    if (in.has(4) && in.u32le() == kPlaceableKey) {
        if (!in.has(18)) Refuse("placeable header is cut short");
        placeable = true;
        in.skip(2);  // handle
        box.left = in.i16le();
        box.top = in.i16le();
        box.right = in.i16le();
        box.bottom = in.i16le();
        unitsPerInch = in.u16le();
        in.skip(4 + 2);  // reserved, checksum
    } else {
        in.seek(0);
    }
    const std::size_t headerAt = in.position();
    if (!in.has(18)) Refuse("header is cut short");
    in.skip(2);
    const std::uint16_t headerWords = in.u16le();
    if (headerWords != 9) Refuse("header has a bad size");
    in.seek(headerAt + 18);
    const std::size_t first = in.position();

    // The window: the placeable box, or the first window extent.
    PointF windowOrg, windowExt;
    if (placeable) {
        if (unitsPerInch == 0) Refuse("placeable header gives no units per inch");
        windowOrg = {box.left, box.top};
        windowExt = {box.right - box.left, box.bottom - box.top};
        if (windowExt.x == 0 || windowExt.y == 0) Refuse("placeable box is empty");
    } else {
        RecordWalker scan(file, first);
        Record r;
        while (scan.Next(r)) {
            if (r.function != 0x020C || r.params.size() < 4) continue;
            Params p(r.params);
            const double y = p.s(), x = p.s();
            windowExt = {x, y};
            break;
        }
        if (windowExt.x == 0 || windowExt.y == 0) Refuse("file has neither a placeable header nor a window extent");
    }
    const double scale = placeable ? 96.0 / unitsPerInch : 1.0;
    const std::int64_t width = std::max<std::int64_t>(1, std::llround(std::fabs(windowExt.x) * scale));
    const std::int64_t height = std::max<std::int64_t>(1, std::llround(std::fabs(windowExt.y) * scale));
    auto surface = CreateMetafileSurface(width, height, maxPixels);

    MetafileCanvas canvas(surface);
    MetafilePlayer::Device device;
    device.wmf = true;
    device.viewportWidth = static_cast<double>(width);
    device.viewportHeight = static_cast<double>(height);
    MetafilePlayer player(canvas, device);
    player.SetWindowOrg(windowOrg.x, windowOrg.y);
    player.SetWindowExt(windowExt.x, windowExt.y);
    WmfPlayback playback(player, maxPixels);
    RecordWalker walk(file, first);
    Record r;
    while (walk.Next(r)) {
        try {
            playback.Play(r);
        } catch (const Error& e) {
            if (e.kind() != ErrorKind::InvalidPicture) throw;
            throw Error(ErrorKind::InvalidPicture, Named(r.offset, e));
        }
    }
    return surface;
}

}  // namespace crossmeld
