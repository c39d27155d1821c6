#pragma once
// mAVIImp: reads every frame of an AVI file's first video stream into an
// animated GIF document. Each frame is drawn into a 32-bit work surface the
// size of the stream's frame rectangle, reduced to 8 bits per pixel by
// the caller's ColourReducer with one palette shared by all frames (built on the first
// frame, kept for the rest), and given the delay that the stream's frame
// rate implies.

#include <cstdint>
#include <string>

#include "colour/ColourReducer.h"
#include "formats/avi/AviReader.h"
#include "formats/gif/GifDocument.h"

namespace crossmeld {

// Where the import shows its progress: the progress bar's maximum and value,
// and a chance for the window to handle pending events.
class ImportProgress {
public:
    virtual ~ImportProgress() = default;
    virtual void SetMax(std::int32_t maximum) = 0;
    virtual void SetValue(std::int32_t value) = 0;
    virtual void DoEvents() = 0;
};

// Imports the file into the document, which should be empty (frames go in
// at 1, 2, ...). Returns true when every frame was imported. Returns false,
// leaving the document untouched, when the file's first video stream or its
// frame reader cannot be opened; returns false after a frame that cannot be
// fetched, the document then holding the frames before it, one inserted but
// unfilled frame, and the screen and palette settings of a full import.
// Errors of the operations it calls reach the caller: Error(DivisionByZero)
// for a stream without frames, Error(Overflow) for a frame size or delay
// that does not fit 16 bits, and those of GifDocument and the reducer. The
// file is closed on every path, errors included. The reducer's
// InitDitherTables must have run; its palette mode and dither method apply
// to every frame.
bool ImportAviIntoGif(const std::string& fileName, GifDocument& doc, ImportProgress& progress,
                      ColourReducer& reducer);

// The time in milliseconds at the end of the stream: the time of sample
// Start() + FrameCount(). Error(Overflow) when that sum does not fit 32 bits.
std::int32_t StreamDurationMs(const avi::Reader& stream);

}  // namespace crossmeld
