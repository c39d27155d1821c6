#pragma once
// Where the frames of a fade go as the engine makes them: an encoder that
// writes one output file. A run begins the sink once, writes frames 0 ...
// N - 1 in order and finishes it; on an error, a cancel or an interrupt it
// aborts instead, and then nothing of the new file is left and a file that
// was at the path before stays as it was. A sink keeps nothing of a frame
// once it has written it.

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace crossmeld {

// One frame: top-down rows of width pixels, four bytes each (blue, green,
// red, unused), no padding.
struct FrameView {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::span<const std::uint8_t> bgrx;
    // Seconds the frame stays on screen beyond its share of the rate (a
    // held first or last frame); 0 .. 60 in steps the output rounds to.
    double holdSeconds = 0;
};

// The longest hold of a frame, in seconds.
inline constexpr double kMaxHoldSeconds = 60;

struct OutputSettings {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t frameCount = 0;       // N, at least 2
    std::int32_t framesPerSecond = 0;  // 1 .. 30
    // How many times an animation plays in all; 0 for ever. Outputs that
    // do not loop (videos) ignore it.
    std::int32_t playCount = 0;
};

// For outputs of a constant rate: how many more times a frame held for the
// seconds is stored, the hold times the rate rounded halves to even.
// Error(InvalidProcedureCall) for a hold outside 0 .. kMaxHoldSeconds.
std::int32_t HoldRepeats(double holdSeconds, std::int32_t framesPerSecond);

// Error(InvalidProcedureCall) unless the frame has the output's size and
// exactly its pixels' bytes.
void CheckFrameFits(const FrameView& frame, const OutputSettings& settings);

// The output file could not be written (it could not be made, the disk is
// full, it could not take the target's place). Not a fault of the frames:
// the run tells the user with the output's own message.
class OutputWriteFailed : public std::runtime_error {
public:
    OutputWriteFailed() : std::runtime_error("The output file could not be written") {}
};

class FrameSink {
public:
    virtual ~FrameSink() = default;

    // Makes the file beside the target. False when the run should stop
    // without an output and without a message of its own (the user
    // cancelled a question); OutputWriteFailed when it cannot be made.
    virtual bool Begin(const std::filesystem::path& target, const OutputSettings& settings) = 0;
    // Encodes and writes the next frame. Error for frames the output cannot
    // hold, OutputWriteFailed when the writing fails.
    virtual void Write(const FrameView& frame) = 0;
    // Completes the file and puts it in the target's place (OutputWriteFailed
    // when that fails).
    virtual void Finish() = 0;
    // Removes the unfinished file; safe to call at any time, also twice.
    virtual void Abort() noexcept = 0;
};

// A sink whose writing has two parts, so that a sink thread can share the
// work with the engine: Stage runs on the caller's thread and leaves the
// frame's staged form in one of two slots (the GIF's reduction to palette
// indices), WriteStaged encodes and writes a slot on the sink's thread.
// Frames are staged and written in the same order; a slot is staged again
// only after it was written.
class StagedSink : public FrameSink {
public:
    static constexpr int kSlots = 2;

    virtual void Stage(const FrameView& frame, int slot) = 0;
    virtual void WriteStaged(int slot) = 0;
    void Write(const FrameView& frame) override {
        Stage(frame, 0);
        WriteStaged(0);
    }
};

}  // namespace crossmeld
