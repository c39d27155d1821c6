// crossmeld-cli: the command-line front end. Without a subcommand it runs the
// create command of the window on two pictures (or the samples) and writes
// the fade as an AVI video or an animated GIF; subcommands offer smaller jobs.
//
// Exit status: 0 when the output was written, 1 when the program refused an
// input or failed (the message goes to standard error), 2 for wrong usage,
// 128 + the signal's number when an interrupt, termination or hang-up signal
// stopped the run. No exception leaves main: whatever escapes a job is
// reported on standard error with status 1.

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>
#include <iostream>
#include <map>
#include <new>
#include <string>

#include "base/Allocator.h"
#include "base/Error.h"
#include "cli/CreateJob.h"
#include "cli/GifTools.h"
#include "export/GifSink.h"
#include "export/OutputFormat.h"
#include "formats/LoadPicture.h"
#include "formats/avi/Fourcc.h"

namespace {

using crossmeld::OutputFormat;
using crossmeld::cli::CreateOptions;

// Wrong usage when an option given does not apply to the output's format.
void CheckOptionsFit(OutputFormat format, std::initializer_list<std::pair<CLI::Option*, std::vector<OutputFormat>>> uses) {
    static const std::map<OutputFormat, const char*> names{
        {OutputFormat::Avi, "AVI"}, {OutputFormat::Gif, "GIF"},   {OutputFormat::Mp4, "MP4"},
        {OutputFormat::WebM, "WebM"}, {OutputFormat::WebP, "WebP"}, {OutputFormat::Apng, "APNG"}};
    for (const auto& [option, formats] : uses) {
        if (!*option || std::find(formats.begin(), formats.end(), format) != formats.end()) continue;
        std::string list;
        for (OutputFormat f : formats) list += (list.empty() ? "" : ", ") + std::string(names.at(f));
        throw CLI::ValidationError(option->get_name(), "applies to " + list + " output only, not to " +
                                                           names.at(format));
    }
}

int Convert(const std::string& input, const std::string& output) {
    try {
        const crossmeld::LoadedPicture loaded = crossmeld::LoadPictureWithWarnings(input);
        for (const std::string& warning : loaded.warnings)
            std::fprintf(stderr, "warning: %s: %s\n", input.c_str(), warning.c_str());
        const crossmeld::Picture& picture = loaded.picture;
        crossmeld::SavePicture(picture, output);
        std::cout << output << ": " << picture.Width() << " x " << picture.Height() << " pixels\n";
        return 0;
    } catch (const crossmeld::Error& e) {
        std::cerr << "crossmeld-cli: " << input << ": " << e.description() << " (error " << e.number() << ")\n";
        return 1;
    }
}

}  // namespace

static int Main(int argc, char** argv) {
    CLI::App app{
        "Crossmeld: turns two pictures of the same size into a fade animation.\n\n"
        "Without --start and --end the sample pair is used. Exactly one of --avi, --gif and -o names the output.",
        "crossmeld-cli"};
    app.set_version_flag("--version", std::string("crossmeld-cli ") + CROSSMELD_VERSION);
    app.require_subcommand(0, 1);

    CreateOptions create;
    std::string start, end, avi, gif, codec = "raw", palette = "halftone", dither = "ordered";
    auto* startOpt = app.add_option("--start", start, "starting picture (BMP, DIB, JPEG, PNG, GIF, ICO/CUR, WMF, EMF)");
    auto* endOpt = app.add_option("--end", end, "ending picture, of the same size");
    startOpt->needs(endOpt);
    endOpt->needs(startOpt);
    app.add_option("--frames", create.frames, "number of frames (default 10)")->check(CLI::Range(2, 32767));
    app.add_option("--fps", create.fps, "frames per second (default 5)")->check(CLI::Range(1, 30));
    auto* aviOpt = app.add_option("--avi", avi, "write the fade as an AVI video");
    auto* gifOpt = app.add_option("--gif", gif, "write the fade as a looping animated GIF");
    std::string named;
    auto* namedOpt = app.add_option("-o,--output", named,
                                    "write the fade in the format its extension names: .avi .gif .mp4 (H.264) "
                                    ".webm (VP9) .webp (animated WebP) .png/.apng (animated PNG)");
    aviOpt->excludes(gifOpt);
    namedOpt->excludes(aviOpt)->excludes(gifOpt);
    auto* codecOpt = app.add_option("--codec", codec, "AVI codec: raw (full frames, default) or mjpeg (Motion JPEG)")
                         ->check(CLI::IsMember({"raw", "mjpeg"}));
    auto* paletteOpt =
        app.add_option("--palette", palette,
                       "GIF palette: halftone (the 216-colour cube, default), adaptive (built on the first frame) or "
                       "fade (built on both pictures and their blends, for the whole fade)")
            ->check(CLI::IsMember({"halftone", "adaptive", "fade"}));
    auto* ditherOpt = app.add_option("--dither", dither, "GIF dithering: none, ordered (default) or diffusion")
                          ->check(CLI::IsMember({"none", "ordered", "diffusion"}));
    auto* qualityOpt = app.add_option("--quality", create.quality,
                                      "0 (smallest) to 100 (best) for MP4 and WebM (rate factor), WebP (100: "
                                      "lossless) and Motion JPEG; each format has a visually lossless default")
                           ->check(CLI::Range(0, 100));
    auto* optimizeOpt = app.add_flag("--optimize", create.optimize,
                                     "GIF: each frame after the first stores only the rectangle that changed, "
                                     "unchanged pixels transparent (a smaller file showing the same frames)");
    std::string mesh, sampling = "bilinear";
    app.add_option("--mesh", mesh,
                   "mesh file (JSON) with the start and end control points: a morph instead of a plain fade");
    app.add_option("--sampling", sampling,
                   "how a morph reads the pictures: bilinear (smooth, default) or nearest (the nearest pixel)")
        ->check(CLI::IsMember({"bilinear", "nearest"}));
    std::string loop = "forever", ease = "linear";
    auto* loopOpt =
        app.add_option("--loop", loop, "GIF, WebP, APNG: how many times it plays in all, or forever (default)")
            ->check(CLI::IsMember({"forever"}) | CLI::Range(1, crossmeld::GifSink::kMaxPlayCount));
    app.add_option("--hold-start", create.timing.holdStartSeconds,
                   "seconds the first frame stays longer (0 to 60, decimals allowed)")
        ->check(CLI::Range(0.0, crossmeld::kMaxHoldSeconds));
    app.add_option("--hold-end", create.timing.holdEndSeconds,
                   "seconds the end picture's frame stays longer (0 to 60, decimals allowed)")
        ->check(CLI::Range(0.0, crossmeld::kMaxHoldSeconds));
    app.add_option("--ease", ease, "weights: linear (default) or smooth (slow at both ends)")
        ->check(CLI::IsMember({"linear", "smooth"}));
    app.add_flag("--bounce", create.timing.bounce,
                 "there and back: frames 0 .. N-1, then N-2 .. 1, so that a loop returns smoothly to its start");
    app.add_flag("--quiet", create.quiet, "no progress line");

    std::string input, output;
    CLI::App* convert = app.add_subcommand("convert", "Read a picture and save it as a 24-bit BMP.");
    convert->add_option("INPUT", input, "picture to read")->required();
    convert->add_option("OUTPUT", output, "bitmap file to write")->required();

    std::string gifFile, framesFolder;
    CLI::App* inspect = app.add_subcommand("inspect", "Describe a GIF file as JSON: screen, palettes, loop count, frames.");
    inspect->add_option("FILE", gifFile, "GIF file to read")->required();
    CLI::App* frames = app.add_subcommand(
        "frames", "Write every frame of a GIF file, each drawn by itself on a black screen, as 24-bit BMP files.");
    frames->add_option("FILE", gifFile, "GIF file to read")->required();
    frames->add_option("--output,-o", framesFolder, "folder for frame_0001.bmp, frame_0002.bmp, ...")->required();

    try {
        app.parse(argc, argv);
        if (!*convert && !*inspect && !*frames) {
            if (avi.empty() && gif.empty() && named.empty()) throw CLI::RequiredError("--avi, --gif or -o");
            std::optional<OutputFormat> format = !avi.empty()   ? OutputFormat::Avi
                                                 : !gif.empty() ? OutputFormat::Gif
                                                                : crossmeld::OutputFormatForPath(named);
            if (!format)
                throw CLI::ValidationError("-o", named + " has no known extension; use one of " +
                                                     std::string(crossmeld::OutputFormatNames()));
            create.format = *format;
            CheckOptionsFit(*format, {{codecOpt, {OutputFormat::Avi}},
                                      {paletteOpt, {OutputFormat::Gif}},
                                      {ditherOpt, {OutputFormat::Gif}},
                                      {optimizeOpt, {OutputFormat::Gif}},
                                      {loopOpt, {OutputFormat::Gif, OutputFormat::WebP, OutputFormat::Apng}},
                                      {qualityOpt, {OutputFormat::Avi, OutputFormat::Mp4, OutputFormat::WebM,
                                                    OutputFormat::WebP}}});
            if (*qualityOpt && *format == OutputFormat::Avi && codec != "mjpeg")
                throw CLI::ValidationError("--quality", "an AVI takes a quality only with --codec mjpeg");
        }
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? 0 : 2;
    }
    if (*convert) return Convert(input, output);
    if (*inspect) return crossmeld::cli::InspectGif(gifFile, stdout, stderr);
    if (*frames) return crossmeld::cli::ExtractGifFrames(gifFile, framesFolder, stdout, stderr);

    if (!start.empty()) {
        create.start = start;
        create.end = end;
    }
    create.output = !avi.empty() ? avi : !gif.empty() ? gif : named;
    create.codec = codec == "mjpeg" ? crossmeld::avi::Codec::MotionJpeg : crossmeld::avi::Codec::FullFrames;
    using crossmeld::DitherMethod;
    using crossmeld::PaletteMode;
    create.paletteMode = palette == "adaptive" ? PaletteMode::Adaptive
                         : palette == "fade"   ? PaletteMode::Fade
                                               : PaletteMode::Halftone;
    create.ditherMethod = dither == "none"        ? DitherMethod::None
                          : dither == "diffusion" ? DitherMethod::Diffusion
                                                  : DitherMethod::Ordered;
    if (!mesh.empty()) create.mesh = mesh;
    create.timing.playCount = loop == "forever" ? 0 : std::stoi(loop);
    create.timing.ease = ease == "smooth" ? crossmeld::Ease::Smooth : crossmeld::Ease::Linear;
    create.sampling =
        sampling == "nearest" ? crossmeld::MeshWarp::Sampling::Nearest : crossmeld::MeshWarp::Sampling::Bilinear;
    return crossmeld::cli::RunCreateJob(create, stdout, stderr);
}

int main(int argc, char** argv) {
    crossmeld::TuneAllocatorForFrames();
    try {
        return Main(argc, argv);
    } catch (const crossmeld::Error& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "crossmeld-cli: %s (error %d)\n", e.description().c_str(), e.number());
    } catch (const std::bad_alloc&) {
        std::fflush(stdout);
        std::fprintf(stderr, "crossmeld-cli: out of memory\n");
    } catch (const std::exception& e) {
        std::fflush(stdout);
        std::fprintf(stderr, "crossmeld-cli: %s\n", e.what());
    } catch (...) {
        std::fflush(stdout);
        std::fprintf(stderr, "crossmeld-cli: unexpected failure\n");
    }
    return 1;
}
