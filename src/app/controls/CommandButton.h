#pragma once
// A command button of the main window. Its click and mouse-move handlers are
// members of MainWindowModel; the view forwards the events.

#include <string>

#include "app/controls/ControlBounds.h"

namespace crossmeld {

class CommandButton : public ControlBounds {
public:
    CommandButton(std::string caption, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
        : ControlBounds(left, top, width, height), m_caption(std::move(caption)) {}

    const std::string& Caption() const noexcept { return m_caption; }

private:
    std::string m_caption;
};

}  // namespace crossmeld
