#pragma once
// PictureBox: the picture element of the main window as a toolkit-free
// model. It holds a picture, an outer rectangle (pixels; the scale is always
// pixels) and a persistent image of its inner size that keeps everything
// drawn on it and is what a view shows: the background colour, then the
// picture at (0, 0), then drawings made through Context().
//
// Sizes: a FixedSingle border takes 2 pixels on every side, so the outer
// size is the inner size + 4; with AutoSize on, assigning a picture makes
// the inner size the picture's size.

#include <cstdint>
#include <functional>
#include <map>
#include <memory>

#include "raster/DeviceContext.h"
#include "raster/Picture.h"
#include "raster/Surface.h"

namespace crossmeld {

// The border of a picture box: none, or a fixed single line.
enum class BoxBorder { None, FixedSingle };
// How shapes drawn on a picture box are outlined: with the pen in the
// foreground colour, or not at all.
enum class BoxDrawStyle { Solid, Transparent };
// How they are filled: with a brush in the fill colour, or not at all.
enum class BoxFillStyle { Solid, Transparent };

class PictureBox {
public:
    static constexpr std::int32_t kPixels = 3;  // the only scale mode

    PictureBox();
    PictureBox(const PictureBox&) = delete;
    PictureBox& operator=(const PictureBox&) = delete;

    // Assigning an empty picture clears it. Either way the persistent image
    // is repainted (background and picture): earlier drawings are gone.
    void SetPicture(const crossmeld::Picture& picture);
    const crossmeld::Picture& Picture() const noexcept { return m_picture; }

    bool AutoSize() const noexcept { return m_autoSize; }
    void SetAutoSize(bool on);
    // The outer size is kept unless AutoSize sizes the box to its picture.
    BoxBorder BorderStyle() const noexcept { return m_borderStyle; }
    void SetBorderStyle(BoxBorder style);

    std::int32_t Left() const noexcept { return m_left; }
    std::int32_t Top() const noexcept { return m_top; }
    std::int32_t Width() const noexcept { return m_width; }
    std::int32_t Height() const noexcept { return m_height; }
    // Negative sizes raise Error(InvalidProcedureCall).
    void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height);
    void SetLeft(std::int32_t left) { Move(left, m_top, m_width, m_height); }
    void SetTop(std::int32_t top) { Move(m_left, top, m_width, m_height); }
    void SetWidth(std::int32_t width) { Move(m_left, m_top, width, m_height); }
    void SetHeight(std::int32_t height) { Move(m_left, m_top, m_width, height); }

    std::int32_t ScaleMode() const noexcept { return kPixels; }
    void SetScaleMode(std::int32_t) noexcept {}
    // The inner size in pixels.
    std::int32_t ScaleWidth() const noexcept;
    std::int32_t ScaleHeight() const noexcept;

    bool Visible() const noexcept { return m_visible; }
    void SetVisible(bool visible) noexcept { m_visible = visible; }
    // Stored for the callers; the model always draws into the persistent image.
    bool AutoRedraw() const noexcept { return m_autoRedraw; }
    void SetAutoRedraw(bool on) noexcept { m_autoRedraw = on; }

    // The persistent image: a 24-bit top-down surface of the inner size,
    // shared (drawing into the returned picture's bitmap draws on the box).
    // Empty while the inner size is zero.
    crossmeld::Picture Image() const { return crossmeld::Picture(m_image); }
    // The drawing context on the persistent image; never null (it has no
    // surface while the inner size is zero).
    DeviceContext* Context() noexcept { return &m_dc; }

    // Removes all drawings: background, then the picture. Resets the
    // drawing position to (0, 0).
    void Cls();

    ColorRef ForeColor() const noexcept { return m_foreColor; }
    void SetForeColor(ColorRef color);
    // Setting the background colour repaints the image as Cls does.
    ColorRef BackColor() const noexcept { return m_backColor; }
    void SetBackColor(ColorRef color);
    // Transparent by default.
    BoxFillStyle FillStyle() const noexcept { return m_fillStyle; }
    void SetFillStyle(BoxFillStyle style);
    ColorRef FillColor() const noexcept { return m_fillColor; }
    void SetFillColor(ColorRef color);
    // Solid by default.
    BoxDrawStyle DrawStyle() const noexcept { return m_drawStyle; }
    void SetDrawStyle(BoxDrawStyle style);

    // Tells the observers (the views) to repaint from the persistent image.
    void Refresh();
    int AddRefreshObserver(std::function<void()> observer);
    void RemoveRefreshObserver(int id);
    std::int32_t RefreshCount() const noexcept { return m_refreshCount; }

private:
    std::int32_t BorderWidth() const noexcept { return m_borderStyle == BoxBorder::FixedSingle ? 2 : 0; }
    void ApplyAutoSize();
    void UpdateImageSize();
    void Repaint();
    void UpdatePen();
    void UpdateBrush();

    crossmeld::Picture m_picture;
    bool m_autoSize = false;
    BoxBorder m_borderStyle = BoxBorder::FixedSingle;
    std::int32_t m_left = 0;
    std::int32_t m_top = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_visible = true;
    bool m_autoRedraw = false;

    std::shared_ptr<Surface> m_image;
    DeviceContext m_dc;

    ColorRef m_foreColor = 0;
    ColorRef m_backColor = Rgb(240, 240, 240);
    BoxFillStyle m_fillStyle = BoxFillStyle::Transparent;
    ColorRef m_fillColor = 0;
    BoxDrawStyle m_drawStyle = BoxDrawStyle::Solid;

    std::map<int, std::function<void()>> m_observers;
    int m_nextObserver = 1;
    std::int32_t m_refreshCount = 0;
};

}  // namespace crossmeld
