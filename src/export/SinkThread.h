#pragma once
// Runs a sink's encoding on a second thread, so that the engine makes frame
// k + 1 while the sink encodes and writes frame k. A frame is copied into
// one buffer (or, for a staged sink, staged into one of its two slots on the
// caller's thread) and handed over in order; Write waits while the buffer
// (both slots) is in use. The sink sees the same calls in the same order as without the
// thread (Begin, Finish and Abort on the caller's thread, before the worker
// starts or after it has stopped), so its output is the same whatever the
// timing. An error of the worker is raised at the next Write or at Finish,
// and no frame after it reaches the sink.

#include <condition_variable>
#include <cstdint>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "export/FrameSink.h"

namespace crossmeld {

class SinkThread final : public FrameSink {
public:
    explicit SinkThread(FrameSink& inner)
        : m_inner(inner), m_staged(dynamic_cast<StagedSink*>(&inner)), m_slotCount(m_staged ? StagedSink::kSlots : 1) {}
    ~SinkThread() override { Abort(); }
    SinkThread(const SinkThread&) = delete;
    SinkThread& operator=(const SinkThread&) = delete;

    bool Begin(const std::filesystem::path& target, const OutputSettings& settings) override;
    void Write(const FrameView& frame) override;
    // Write for a frame whose buffer (top-down rows of four bytes) the caller
    // gives up: it is handed over as it is, and bgrx comes back holding a
    // buffer of an earlier frame (or, for a staged sink, unchanged).
    void WriteTaking(std::vector<std::uint8_t>& bgrx, std::int32_t width, std::int32_t height,
                     double holdSeconds = 0);
    void Finish() override;
    void Abort() noexcept override;

    // Frames the sink has written so far (for progress).
    std::int32_t FramesWritten() const;

private:
    struct Copy {
        std::vector<std::uint8_t> bgrx;
        std::int32_t width = 0;
        std::int32_t height = 0;
        double holdSeconds = 0;
    };

    void Hand(const FrameView& frame, std::vector<std::uint8_t>* owned);
    void Work();
    // Waits for the worker to take every frame handed to it and stops it.
    void Stop(bool drain) noexcept;
    void RaiseFailure();

    FrameSink& m_inner;
    StagedSink* m_staged;  // m_inner when it stages its frames
    int m_slotCount;
    std::thread m_worker;
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    Copy m_copy;  // the frame handed over, for a sink that does not stage
    std::int32_t m_queued = 0;      // frames handed over
    std::int32_t m_written = 0;     // frames the sink has written
    bool m_closing = false;         // no more frames come
    std::exception_ptr m_failure;   // the worker's error, raised on the caller's thread
};

}  // namespace crossmeld
