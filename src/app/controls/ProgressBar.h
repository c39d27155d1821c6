#pragma once
// The progress bar: the program sets only its maximum and its value. The
// model keeps both and passes each change on to the Host, which shows it.

#include "app/controls/ControlBounds.h"
#include "base/Host.h"

namespace crossmeld {

class ProgressBar : public ControlBounds {
public:
    ProgressBar(Host& host, std::int32_t left, std::int32_t top, std::int32_t width, std::int32_t height)
        : ControlBounds(left, top, width, height), m_host(host) {}

    double Max() const noexcept { return m_max; }
    double Value() const noexcept { return m_value; }
    void SetMax(double maximum) {
        m_max = maximum;
        m_host.SetProgressMax(maximum);
    }
    void SetValue(double value) {
        m_value = value;
        m_host.SetProgressValue(value);
    }

private:
    Host& m_host;
    double m_max = 100;
    double m_value = 0;
};

}  // namespace crossmeld
