// The sink thread: frames reach the sink whole and in order whatever the
// timing, an error of the sink's thread reaches the caller at its next call
// and stops the frames after it, and leaving without Finish aborts.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "base/Error.h"
#include "export/SinkThread.h"

namespace crossmeld {
namespace {

struct RecordingSink final : FrameSink {
    std::vector<std::vector<std::uint8_t>> frames;  // written on the sink's thread
    int failAt = -1;                                 // the frame whose Write fails
    bool failAsWrite = false;                        // OutputWriteFailed rather than Error
    int slowMs = 0;
    bool begun = false, finished = false;
    std::atomic<int> aborts{0};

    bool Begin(const std::filesystem::path&, const OutputSettings&) override { return begun = true; }
    void Write(const FrameView& frame) override {
        if (slowMs) std::this_thread::sleep_for(std::chrono::milliseconds(slowMs));
        if (static_cast<int>(frames.size()) == failAt) {
            if (failAsWrite) throw OutputWriteFailed();
            throw Error(ErrorKind::Overflow, "frame too large");
        }
        frames.emplace_back(frame.bgrx.begin(), frame.bgrx.end());
    }
    void Finish() override { finished = true; }
    void Abort() noexcept override { ++aborts; }
};

std::vector<std::uint8_t> Frame(int k) {
    std::vector<std::uint8_t> bytes(2 * 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(k * 7 + i);
    return bytes;
}

void WriteFrames(SinkThread& thread, int count) {
    for (int k = 0; k < count; ++k) {
        const auto bytes = Frame(k);
        thread.Write(FrameView{2, 3, bytes});  // the caller's buffer is reused at once
    }
}

TEST(SinkThread, EveryFrameArrivesWholeAndInOrderWithFastOrSlowSinks) {
    for (int slowMs : {0, 2}) {
        RecordingSink sink;
        sink.slowMs = slowMs;
        SinkThread thread(sink);
        ASSERT_TRUE(thread.Begin("unused", OutputSettings{2, 3, 40, 5}));
        WriteFrames(thread, 40);
        thread.Finish();
        EXPECT_TRUE(sink.finished);
        EXPECT_EQ(thread.FramesWritten(), 40);
        ASSERT_EQ(sink.frames.size(), 40u);
        for (int k = 0; k < 40; ++k) EXPECT_EQ(sink.frames[k], Frame(k)) << "frame " << k;
        EXPECT_EQ(sink.aborts, 0);
    }
}

TEST(SinkThread, FramesHandedOverWithTheirBuffersArriveInOrder) {
    RecordingSink sink;
    sink.slowMs = 1;
    SinkThread thread(sink);
    ASSERT_TRUE(thread.Begin("unused", OutputSettings{2, 3, 12, 5}));
    std::vector<std::uint8_t> buffer;
    for (int k = 0; k < 12; ++k) {
        buffer = Frame(k);  // the engine fills whatever buffer it has
        thread.WriteTaking(buffer, 2, 3);
    }
    thread.Finish();
    ASSERT_EQ(sink.frames.size(), 12u);
    for (int k = 0; k < 12; ++k) EXPECT_EQ(sink.frames[k], Frame(k)) << "frame " << k;
}

TEST(SinkThread, AnErrorOfTheSinkReachesTheCallerAndStopsTheFramesAfterIt) {
    for (bool failAsWrite : {false, true}) {
        RecordingSink sink;
        sink.failAt = 3;
        sink.failAsWrite = failAsWrite;
        SinkThread thread(sink);
        ASSERT_TRUE(thread.Begin("unused", OutputSettings{2, 3, 10, 5}));
        bool raised = false;
        try {
            WriteFrames(thread, 10);
            thread.Finish();
        } catch (const OutputWriteFailed&) {
            raised = failAsWrite;
        } catch (const Error& e) {
            raised = !failAsWrite && e.kind() == ErrorKind::Overflow;
        }
        EXPECT_TRUE(raised);
        EXPECT_EQ(sink.frames.size(), 3u) << "no frame after the failed one reaches the sink";
        EXPECT_FALSE(sink.finished);
        EXPECT_GE(sink.aborts, 1) << "the unfinished output is removed";
    }
}

TEST(SinkThread, LeavingWithoutFinishAbortsAndABegunOutputCanBeAbortedTwice) {
    RecordingSink sink;
    sink.slowMs = 1;
    {
        SinkThread thread(sink);
        ASSERT_TRUE(thread.Begin("unused", OutputSettings{2, 3, 10, 5}));
        WriteFrames(thread, 5);
        thread.Abort();
        thread.Abort();
    }
    EXPECT_FALSE(sink.finished);
    EXPECT_GE(sink.aborts, 1);
    EXPECT_LE(sink.frames.size(), 5u);

    RecordingSink interrupted;
    {
        SinkThread thread(interrupted);
        ASSERT_TRUE(thread.Begin("unused", OutputSettings{2, 3, 10, 5}));
        WriteFrames(thread, 2);
    }  // a run left through an exception (a stop) destroys its thread
    EXPECT_FALSE(interrupted.finished);
    EXPECT_GE(interrupted.aborts, 1);
}

}  // namespace
}  // namespace crossmeld
