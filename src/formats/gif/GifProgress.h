#pragma once
// Where GifDocument::Save reports its progress: the number of frames once, before
// the first frame, then the number of each frame about to be written.
// Either call may throw to abandon the save.

#include <cstdint>

#include "base/Host.h"

namespace crossmeld {

class GifProgress {
public:
    virtual ~GifProgress() = default;
    virtual void SetTotal(std::int32_t frames) = 0;
    virtual void SetValue(std::int32_t frame) = 0;
};

// Shows the progress on a Host's progress bar (its maximum and its value).
class HostGifProgress final : public GifProgress {
public:
    explicit HostGifProgress(Host& host) : m_host(host) {}
    void SetTotal(std::int32_t frames) override { m_host.SetProgressMax(frames); }
    void SetValue(std::int32_t frame) override { m_host.SetProgressValue(frame); }

private:
    Host& m_host;
};

}  // namespace crossmeld
