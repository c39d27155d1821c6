#pragma once
// A frame of the main window: a captioned box that groups controls, or a
// caption-less square (the corner between a pane's two scroll bars).

#include <cstdint>
#include <string>

#include "app/controls/ControlBounds.h"
#include "raster/Surface.h"

namespace crossmeld {

class Frame : public ControlBounds {
public:
    Frame() = default;
    Frame(std::string caption, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
        : ControlBounds(left, top, width, height), m_caption(std::move(caption)) {}

    const std::string& Caption() const noexcept { return m_caption; }
    // A colour, or a system colour index with the top bit set (0x8000000F is
    // the colour of button faces); the view resolves it.
    ColorRef BackColor() const noexcept { return m_backColor; }
    void SetBackColor(ColorRef color) noexcept { m_backColor = color; }

private:
    std::string m_caption;
    ColorRef m_backColor = 0x8000000F;
};

}  // namespace crossmeld
