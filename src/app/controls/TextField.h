#pragma once
// A one-line text field. It holds free text; every change of the text,
// typed or assigned, runs the change handler once the new text is in place.

#include <functional>
#include <string>

#include "app/controls/ControlBounds.h"

namespace crossmeld {

class TextField : public ControlBounds {
public:
    TextField(std::string text, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
        : ControlBounds(left, top, width, height), m_text(std::move(text)) {}

    const std::string& Text() const noexcept { return m_text; }
    // Assigning the text it already holds is no change and runs no handler.
    void SetText(std::string text) {
        if (text == m_text) return;
        m_text = std::move(text);
        if (m_change) m_change();
    }
    void SetChangeHandler(std::function<void()> handler) { m_change = std::move(handler); }

private:
    std::string m_text;
    std::function<void()> m_change;
};

}  // namespace crossmeld
