#pragma once
// The data of one run of the create command, shared by its frame loop and
// its output stages. Released when the command returns.

#include <cstdint>
#include <memory>
#include <string>

#include "app/MainWindowModel.h"
#include "export/FrameSink.h"
#include "export/SinkThread.h"
#include "morph/ControlMesh.h"
#include "morph/PixelGrid.h"
#include "morph/WarpBlendCache.h"

namespace crossmeld {

struct MainWindowModel::CreateRun {
    std::string OutputPath;
    TriangleList StartList;
    TriangleList EndList;
    TriangleList FrameList;  // the frame's intermediate triangles
    PixelGrid StartPixels;
    PixelGrid EndPixels;
    PixelGrid FramePixels;
    // Source positions found for one frame serve the next while the
    // triangles do not change; the frames are the same to the byte.
    MeshWarp::WarpBlendCache Warp;
    bool Bilinear = false;  // the meshes differ and are sampled bilinearly
    std::int32_t Index = 0;      // i, the frame being made
    std::int16_t LastIndex = 0;  // N - 1, fixed when the loop starts
    FadeTiming Timing;           // fixed when the run starts
    std::int32_t Shown = 0;      // j, the output frame (frame i shows there)
    std::int32_t ShownCount = 0; // the output's frames: N, or 2N - 2 there and back
    // The output: its sink, and the thread that feeds it (declared after
    // it, so it stops before the sink goes). Either way the run leaves,
    // an unfinished output is removed.
    std::unique_ptr<FrameSink> Output;
    std::unique_ptr<SinkThread> Pipeline;
    std::string WriteFailedMessage;  // shown when the output cannot be written
};

}  // namespace crossmeld
