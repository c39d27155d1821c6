#pragma once
// An option button. Buttons joined in a group exclude each other: setting one
// clears the others. Both may be clear when nobody set one.

#include <functional>
#include <string>
#include <vector>

#include "app/controls/ControlBounds.h"
#include "raster/Surface.h"

namespace crossmeld {

class OptionButton : public ControlBounds {
public:
    OptionButton(std::string caption, bool value, std::int32_t left, std::int32_t top, std::int32_t width,
                 std::int32_t height)
        : ControlBounds(left, top, width, height), m_caption(std::move(caption)), m_value(value) {}
    OptionButton(const OptionButton&) = delete;
    OptionButton& operator=(const OptionButton&) = delete;

    const std::string& Caption() const noexcept { return m_caption; }
    bool Value() const noexcept { return m_value; }

    // A button that becomes set clears the other buttons of its group, then
    // runs its click handler. Setting a set button changes nothing and runs
    // no handler; neither does clearing one.
    void SetValue(bool on) {
        if (!on || m_value) {
            m_value = on;
            return;
        }
        for (OptionButton* other : m_group) other->m_value = false;
        m_value = true;
        if (m_click) m_click();
    }
    void SetClickHandler(std::function<void()> handler) { m_click = std::move(handler); }

    // Puts two buttons in one group (both must outlive each other's use).
    static void Join(OptionButton& a, OptionButton& b) {
        a.m_group.push_back(&b);
        b.m_group.push_back(&a);
    }

    ColorRef BackColor() const noexcept { return m_backColor; }
    void SetBackColor(ColorRef color) noexcept { m_backColor = color; }

private:
    std::string m_caption;
    bool m_value;
    std::vector<OptionButton*> m_group;
    std::function<void()> m_click;
    ColorRef m_backColor = 0x8000000F;
};

}  // namespace crossmeld
