#include "raster/DibSurface.h"

#include <algorithm>
#include <limits>

#include "base/Error.h"
#include "base/Numeric.h"

namespace crossmeld {

namespace {

// Largest width x bits whose "+ 31" of the stride formula still fits 32 signed bits.
constexpr std::int64_t kMaxRowBits = 2147483616;

struct SystemColor {
    std::uint8_t index;
    ColorRef color;
};

// Default system colours of Windows' standard scheme, by index.
constexpr SystemColor kSystemColors[] = {
    {0, Rgb(200, 200, 200)},   // scroll bar
    {1, Rgb(0, 0, 0)},         // desktop
    {4, Rgb(240, 240, 240)},   // menu
    {5, Rgb(255, 255, 255)},   // window background
    {6, Rgb(100, 100, 100)},   // window frame
    {7, Rgb(0, 0, 0)},         // menu text
    {8, Rgb(0, 0, 0)},         // window text
    {12, Rgb(171, 171, 171)},  // application workspace
    {13, Rgb(0, 120, 215)},    // highlight
    {14, Rgb(255, 255, 255)},  // highlighted text
    {15, Rgb(240, 240, 240)},  // button face
    {16, Rgb(160, 160, 160)},  // button shadow
    {17, Rgb(109, 109, 109)},  // grey text
    {18, Rgb(0, 0, 0)},        // button text
    {20, Rgb(255, 255, 255)},  // button highlight
    {22, Rgb(227, 227, 227)},  // 3D light
    {24, Rgb(255, 255, 225)},  // tooltip background
};

}  // namespace

ColorRef TranslateOleColor(std::uint32_t oleColor) noexcept {
    if (oleColor & 0x80000000u) {
        if ((oleColor & 0xFFFFFF00u) != 0x80000000u) return 0;
        for (const SystemColor& s : kSystemColors)
            if (s.index == (oleColor & 0xFFu)) return s.color;
        return 0;
    }
    return oleColor & 0x00FFFFFFu;
}

DibSurface::DibSurface(DibSurface&& other) noexcept
    : m_dc(std::move(other.m_dc)),
      m_dib(std::move(other.m_dib)),
      m_width(other.m_width),
      m_height(other.m_height),
      m_bpp(other.m_bpp),
      m_bytesPerScanline(other.m_bytesPerScanline),
      m_size(other.m_size) {
    other.Destroy();
}

DibSurface& DibSurface::operator=(DibSurface&& other) noexcept {
    if (this != &other) {
        Destroy();
        m_dc = std::move(other.m_dc);
        m_dib = std::move(other.m_dib);
        m_width = other.m_width;
        m_height = other.m_height;
        m_bpp = other.m_bpp;
        m_bytesPerScanline = other.m_bytesPerScanline;
        m_size = other.m_size;
        other.Destroy();
    }
    return *this;
}

void DibSurface::SetSizes(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel) {
    const std::int64_t rowBits = static_cast<std::int64_t>(width) * bitsPerPixel;
    if (rowBits > kMaxRowBits || rowBits < std::numeric_limits<std::int32_t>::min()) throw Error(ErrorKind::Overflow);
    // Integer division truncating toward zero, as the stride formula is written.
    const std::int32_t stride = static_cast<std::int32_t>((rowBits + 31) / 32 * 4);
    const std::int32_t size = CheckedInt32(static_cast<std::int64_t>(stride) * height);
    m_width = width;
    m_height = height;
    m_bpp = bitsPerPixel;
    m_bytesPerScanline = stride;
    m_size = size;
}

void DibSurface::Attach(std::shared_ptr<Surface> surface) {
    m_dib = std::move(surface);
    m_dc = std::make_unique<DeviceContext>(m_dib);
}

bool DibSurface::Create(std::int32_t width, std::int32_t height, std::int32_t bitsPerPixel) {
    Destroy();
    SetSizes(width, height, bitsPerPixel);
    std::shared_ptr<Surface> surface = Surface::Create(width, height, bitsPerPixel, RowOrder::TopDown);
    if (!surface) {
        Destroy();
        return false;
    }
    Attach(std::move(surface));
    return true;
}

std::uint8_t DibSurface::CreateFromStdPicture(const Picture& picture, bool force32) {
    if (picture.empty()) return 0;
    const std::shared_ptr<Surface>& source = picture.bitmap();
    const int sourceBpp = source->bpp();
    if (!Create(source->width(), source->height(), force32 ? 32 : sourceBpp)) return 0;
    if (sourceBpp <= 8 && !force32) {
        auto from = source->colorTable();
        std::copy(from.begin(), from.end(), m_dib->colorTable().begin());
    }
    if (m_bpp == sourceBpp) {
        // Same format and colour table: the block copy moves the stored values unchanged.
        const std::size_t rowBytes = static_cast<std::size_t>(m_bytesPerScanline);
        for (std::int32_t y = 0; y < m_height; ++y) std::copy_n(source->row(y), rowBytes, m_dib->row(y));
    } else {
        DeviceContext temporary(source);
        CopyBlock(*m_dc, 0, 0, m_width, m_height, temporary, 0, 0, RasterOp::SrcCopy);
    }
    return static_cast<std::uint8_t>(sourceBpp);
}

std::uint8_t DibSurface::CreateFromSurface(std::shared_ptr<Surface> surface) {
    Destroy();
    if (!surface) return 0;
    SetSizes(surface->width(), surface->height(), surface->bpp());
    Attach(std::move(surface));
    return static_cast<std::uint8_t>(m_bpp);
}

void DibSurface::CloneTo(DibSurface& target) const {
    if (&target == this) return;
    std::vector<std::uint8_t> palette;
    GetPalette(palette);
    target.Create(m_width, m_height, m_bpp);
    if (m_bpp <= 8) target.SetPalette(palette);
    if (m_dib && target.m_dib) {
        const std::size_t n = std::min(m_dib->sizeBytes(), target.m_dib->sizeBytes());
        std::copy_n(m_dib->bits(), n, target.m_dib->bits());
    }
}

void DibSurface::Destroy() noexcept {
    m_dc.reset();
    m_dib.reset();
    m_width = 0;
    m_height = 0;
    m_bpp = 0;
    m_bytesPerScanline = 0;
    m_size = 0;
}

std::int32_t DibSurface::LoadBlt(const DeviceContext& src, std::int32_t srcX, std::int32_t srcY, std::int32_t width,
                           std::int32_t height) {
    if (!m_dib) return 0;
    if (width < 1) width = m_width;
    if (height < 1) height = m_height;
    return CopyBlock(*m_dc, 0, 0, width, height, src, srcX, srcY, RasterOp::SrcCopy) ? 1 : 0;
}

std::int32_t DibSurface::Stretch(DeviceContext& target, std::int32_t x, std::int32_t y, std::int32_t width,
                           std::int32_t height, std::int32_t srcX, std::int32_t srcY, std::int32_t srcWidth,
                           std::int32_t srcHeight, RasterOp rop) const {
    if (!m_dib) return 0;
    if (srcWidth < 1) srcWidth = m_width;
    if (srcHeight < 1) srcHeight = m_height;
    const StretchMode old = target.SetStretchMode(StretchMode::ColorOnColor);
    const bool ok = StretchBlock(target, x, y, width, height, *m_dc, srcX, srcY, srcWidth, srcHeight, rop);
    target.SetStretchMode(old);
    return ok ? 1 : 0;
}

void DibSurface::Cls(std::uint32_t oleColor) {
    if (!m_dib) return;
    m_dc->FillRect(Rect{0, 0, m_width, m_height}, TranslateOleColor(oleColor));
}

void DibSurface::SetPalette(std::span<const std::uint8_t> entries) {
    if (!m_dib || m_bpp > 8) return;
    std::span<RgbQuad> table = m_dib->colorTable();
    const std::size_t count = std::min(entries.size() / 4, table.size());
    for (std::size_t i = 0; i < count; ++i)
        table[i] = RgbQuad{entries[4 * i], entries[4 * i + 1], entries[4 * i + 2], entries[4 * i + 3]};
}

void DibSurface::GetPalette(std::vector<std::uint8_t>& entries) const {
    if (!m_dib || m_bpp > 8) return;
    std::span<const RgbQuad> table = m_dib->colorTable();
    entries.assign(table.size() * 4, 0);
    for (std::size_t i = 0; i < table.size(); ++i) {
        entries[4 * i] = table[i].blue;
        entries[4 * i + 1] = table[i].green;
        entries[4 * i + 2] = table[i].red;
        entries[4 * i + 3] = table[i].reserved;
    }
}

void DibSurface::Resize(std::int32_t newWidth, std::int32_t newHeight, bool stretch) {
    const std::int32_t bpp = m_bpp;
    std::vector<std::uint8_t> palette;
    GetPalette(palette);

    DibSurface temporary;
    temporary.Create(newWidth, newHeight, bpp);
    if (bpp <= 8) temporary.SetPalette(palette);
    if (DeviceContext* dc = temporary.Context()) {
        if (stretch)
            Stretch(*dc, 0, 0, newWidth, newHeight);
        else
            Stretch(*dc, 0, 0, m_width, m_height);
    }

    Create(newWidth, newHeight, bpp);
    if (bpp <= 8) SetPalette(palette);
    if (const DeviceContext* dc = temporary.Context()) LoadBlt(*dc, 0, 0, 0, 0);
}

void DibSurface::GetBestFitInfo(std::int32_t targetWidth, std::int32_t targetHeight, std::int32_t& x, std::int32_t& y,
                          std::int32_t& width, std::int32_t& height, bool stretch) const {
    if (!m_dib) return;
    std::int32_t fitWidth = m_width;
    std::int32_t fitHeight = m_height;
    if (m_width > targetWidth || m_height > targetHeight || stretch) {
        // The ratios are held in single precision; that rounding shows in the result.
        const float rx = ToSingle(static_cast<double>(targetWidth) / m_width);
        const float ry = ToSingle(static_cast<double>(targetHeight) / m_height);
        if (rx >= ry) {
            fitHeight = targetHeight;
            fitWidth = ToInt32(static_cast<double>(ry) * m_width);
        } else {
            fitWidth = targetWidth;
            fitHeight = ToInt32(static_cast<double>(rx) * m_height);
        }
    }
    width = fitWidth;
    height = fitHeight;
    x = CheckedDiv(CheckedSub(targetWidth, fitWidth), 2);
    y = CheckedDiv(CheckedSub(targetHeight, fitHeight), 2);
}

Picture DibSurface::Image() const {
    if (!m_dib) return Picture();
    std::shared_ptr<Surface> copy = Surface::Create(m_width, m_height, 32);
    if (!copy) return Picture();
    DeviceContext dc(copy);
    Stretch(dc, 0, 0, m_width, m_height);
    return Picture(copy);
}

}  // namespace crossmeld
