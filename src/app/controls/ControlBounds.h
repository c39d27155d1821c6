#pragma once
// The place and size of a window control, in pixels, relative to the
// control's container (the window's client area, a frame, or a pane's inner
// area), with its visibility. Views read these to lay out their widgets.

#include <cstdint>

#include "base/Error.h"

namespace crossmeld {

class ControlBounds {
public:
    ControlBounds() = default;
    ControlBounds(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
        Move(left, top, width, height);
    }

    std::int32_t Left() const noexcept { return m_left; }
    std::int32_t Top() const noexcept { return m_top; }
    std::int32_t Width() const noexcept { return m_width; }
    std::int32_t Height() const noexcept { return m_height; }
    bool Visible() const noexcept { return m_visible; }
    void SetVisible(bool visible) noexcept { m_visible = visible; }

    // Negative sizes are refused, as Windows controls refuse them.
    void Move(std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height) {
        if (width < 0 || height < 0) throw Error(ErrorKind::InvalidProcedureCall, "Invalid property value");
        m_left = left;
        m_top = top;
        m_width = width;
        m_height = height;
    }

private:
    std::int32_t m_left = 0;
    std::int32_t m_top = 0;
    std::int32_t m_width = 0;
    std::int32_t m_height = 0;
    bool m_visible = true;
};

}  // namespace crossmeld
