#pragma once
// The AVI import's progress on the window: the progress bar through the
// Host, and its pending events.

#include "base/Host.h"
#include "export/GifExport.h"

namespace crossmeld {

class HostImportProgress final : public ImportProgress {
public:
    explicit HostImportProgress(Host& host) : m_host(host) {}
    void SetMax(std::int32_t maximum) override { m_host.SetProgressMax(maximum); }
    void SetValue(std::int32_t value) override { m_host.SetProgressValue(value); }
    void DoEvents() override { m_host.DoEvents(); }

private:
    Host& m_host;
};

}  // namespace crossmeld
