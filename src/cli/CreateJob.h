#pragma once
// The create job of the command line: the window's workflow, driven through
// the same handlers with a non-interactive Host.

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

#include "colour/ColourReducer.h"
#include "export/OutputFormat.h"
#include "formats/avi/CodecChoice.h"
#include "morph/BilinearWarp.h"
#include "morph/FadeTiming.h"

namespace crossmeld::cli {

struct CreateOptions {
    std::optional<std::string> start;  // both or neither; neither loads the samples
    std::optional<std::string> end;
    std::int32_t frames = 10;  // the defaults of a first start
    std::int32_t fps = 5;
    OutputFormat format = OutputFormat::Avi;
    std::string output;
    std::int32_t quality = -1;  // lossy outputs, 0 .. 100; -1: each format's default
    avi::Codec codec = avi::Codec::FullFrames;
    PaletteMode paletteMode = PaletteMode::Halftone;  // GIF: the 216-colour cube, adaptive or fade
    DitherMethod ditherMethod = DitherMethod::Ordered;
    bool optimize = false;  // GIF: later frames as their change to the one before
    std::optional<std::string> mesh;  // a mesh file for both pictures
    MeshWarp::Sampling sampling = MeshWarp::Sampling::Bilinear;
    FadeTiming timing;
    bool quiet = false;
};

// Runs the job. Returns the exit status: 0 when the output file was written, 1 when the
// program showed a failure or refused an input.
int RunCreateJob(const CreateOptions& options, std::FILE* out, std::FILE* err);

}  // namespace crossmeld::cli
