#pragma once
// A scroll bar of a preview pane. Moving it changes only its own Value; no
// handler is attached, so the picture stays where it is.

#include <cstdint>

#include "app/controls/ControlBounds.h"

namespace crossmeld {

class ScrollBar : public ControlBounds {
public:
    enum class Orientation { Horizontal, Vertical };

    explicit ScrollBar(Orientation orientation) noexcept : m_orientation(orientation) {}

    Orientation GetOrientation() const noexcept { return m_orientation; }
    // Max may lie below Min (a picture smaller than the bar); the range is
    // then empty and the bar stays at Min.
    std::int16_t Min() const noexcept { return m_min; }
    std::int16_t Max() const noexcept { return m_max; }
    std::int16_t LargeChange() const noexcept { return m_largeChange; }
    std::int16_t SmallChange() const noexcept { return m_smallChange; }
    std::int16_t Value() const noexcept { return m_value; }
    void SetMax(std::int16_t max) noexcept { m_max = max; }
    void SetLargeChange(std::int16_t change) noexcept { m_largeChange = change; }
    void SetValue(std::int16_t value) noexcept { m_value = value; }

private:
    Orientation m_orientation;
    std::int16_t m_min = 0;
    std::int16_t m_max = 32767;
    std::int16_t m_largeChange = 1;
    std::int16_t m_smallChange = 1;
    std::int16_t m_value = 0;
};

}  // namespace crossmeld
