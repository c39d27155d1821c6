#include "export/SinkThread.h"

#include <algorithm>

namespace crossmeld {

bool SinkThread::Begin(const std::filesystem::path& target, const OutputSettings& settings) {
    Stop(false);  // a worker of an earlier output
    if (!m_inner.Begin(target, settings)) return false;
    m_queued = 0;
    m_written = 0;
    m_closing = false;
    m_failure = nullptr;
    m_worker = std::thread([this] { Work(); });
    return true;
}

void SinkThread::RaiseFailure() {
    // Called with the worker stopped or the mutex released.
    std::exception_ptr failure;
    {
        std::lock_guard lock(m_mutex);
        failure = m_failure;
    }
    if (failure) {
        Stop(false);
        m_inner.Abort();
        std::rethrow_exception(failure);
    }
}

void SinkThread::Write(const FrameView& frame) {
    Hand(frame, nullptr);
}

void SinkThread::WriteTaking(std::vector<std::uint8_t>& bgrx, std::int32_t width, std::int32_t height,
                             double holdSeconds) {
    Hand(FrameView{width, height, bgrx, holdSeconds}, &bgrx);
}

void SinkThread::Hand(const FrameView& frame, std::vector<std::uint8_t>* owned) {
    {
        std::unique_lock lock(m_mutex);
        // Slot m_queued % m_slotCount is free once the worker has written
        // the frame that used it before.
        m_changed.wait(lock, [this] { return m_failure || m_queued - m_written < m_slotCount; });
    }
    RaiseFailure();
    if (m_staged) {
        m_staged->Stage(frame, m_queued % m_slotCount);
    } else {
        if (owned && owned->size() == frame.bgrx.size()) {
            // The caller's buffer becomes the handed frame and the caller
            // gets the buffer of the frame before: no copy.
            m_copy.bgrx.swap(*owned);
        } else {
            m_copy.bgrx.assign(frame.bgrx.begin(), frame.bgrx.end());
        }
        m_copy.width = frame.width;
        m_copy.height = frame.height;
        m_copy.holdSeconds = frame.holdSeconds;
    }
    {
        std::lock_guard lock(m_mutex);
        ++m_queued;
    }
    m_changed.notify_all();
}

void SinkThread::Work() {
    for (;;) {
        int slot = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [this] { return m_closing || m_written < m_queued; });
            if (m_written == m_queued) return;  // closing and nothing left
            slot = m_written % m_slotCount;
        }
        try {
            if (m_staged) m_staged->WriteStaged(slot);
            else m_inner.Write(FrameView{m_copy.width, m_copy.height, m_copy.bgrx, m_copy.holdSeconds});
        } catch (...) {
            std::lock_guard lock(m_mutex);
            m_failure = std::current_exception();
            m_changed.notify_all();
            return;
        }
        {
            std::lock_guard lock(m_mutex);
            ++m_written;
        }
        m_changed.notify_all();
    }
}

void SinkThread::Stop(bool drain) noexcept {
    {
        std::lock_guard lock(m_mutex);
        m_closing = true;
        // Without draining, frames not yet taken are dropped.
        if (!drain) m_queued = std::min(m_queued, m_written + 1);
    }
    m_changed.notify_all();
    if (m_worker.joinable()) m_worker.join();
}

void SinkThread::Finish() {
    Stop(true);
    RaiseFailure();
    m_inner.Finish();
}

void SinkThread::Abort() noexcept {
    Stop(false);
    m_inner.Abort();
}

std::int32_t SinkThread::FramesWritten() const {
    std::lock_guard lock(m_mutex);
    return m_written;
}

}  // namespace crossmeld
