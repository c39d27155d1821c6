#include "gui/SurfaceImage.h"

#include <cstring>

namespace crossmeld::gui {

QImage ImageFromSurface(const Surface& surface) {
    const int w = surface.width();
    const int h = surface.height();
    if (w < 1 || h < 1) return {};
    if (surface.bpp() == 24) {
        // Stored blue, green, red: a straight row copy.
        QImage image(w, h, QImage::Format_BGR888);
        for (int y = 0; y < h; ++y) std::memcpy(image.scanLine(y), surface.row(y), static_cast<std::size_t>(w) * 3);
        return image.convertToFormat(QImage::Format_RGB32);
    }
    QImage image(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) {
            const ColorRef c = surface.GetPixel(x, y);
            line[x] = qRgb(RedOf(c), GreenOf(c), BlueOf(c));
        }
    }
    return image;
}

QImage ImageWithAlpha(const Surface& surface) {
    if (surface.bpp() != 32) return ImageFromSurface(surface);
    const int w = surface.width();
    const int h = surface.height();
    QImage image(w, h, QImage::Format_ARGB32);
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* in = surface.row(y);
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < w; ++x) line[x] = qRgba(in[4 * x + 2], in[4 * x + 1], in[4 * x], in[4 * x + 3]);
    }
    return image;
}

QColor ColorFromRef(ColorRef color, const QPalette& palette) {
    if (color & 0x80000000u) return (color & 0xFFu) == 0x0F ? palette.color(QPalette::Button) : palette.color(QPalette::Window);
    return QColor(RedOf(color), GreenOf(color), BlueOf(color));
}

}  // namespace crossmeld::gui
