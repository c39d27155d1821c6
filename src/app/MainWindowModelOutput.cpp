// The create command's output: the sink for the chosen format and options,
// begun once the frame count is known, and the options as one set.

#include <algorithm>

#include "app/CreateRun.h"
#include "app/MainWindowModel.h"
#include "app/NumericText.h"
#include "export/ApngSink.h"
#include "export/AviSink.h"
#include "export/GifSink.h"
#include "export/SinkThread.h"
#include "export/VideoSink.h"
#include "export/WebpSink.h"

namespace crossmeld {

namespace {

// The frame rates an output is written at; a field value outside is taken
// as the nearer limit.
constexpr std::int32_t kMinRate = 1;
constexpr std::int32_t kMaxRate = 30;

// The grid's pixels as a frame.
FrameView GridView(const PixelGrid& grid) {
    return FrameView{grid.GridWidth(), grid.GridHeight(), grid.Bits};
}

}  // namespace

// The output's sink for the chosen option, run on its own thread. Asks the
// AVI codec question. False when the run makes no output: the question was
// cancelled, or the file could not be made (its message then shown).
bool MainWindowModel::BeginOutput(CreateRun& run) {
    // With neither output chosen the frames are made and go nowhere.
    if (!m_aviOption.Value() && !m_gifOption.Value()) return true;
    const std::int16_t fps = TextToInt16(m_fpsField.Text());
    OutputSettings settings;
    settings.width = run.StartPixels.GridWidth();
    settings.height = run.StartPixels.GridHeight();
    settings.frameCount = run.ShownCount;
    settings.playCount = run.Timing.playCount;
    settings.framesPerSecond = std::clamp<std::int32_t>(fps, kMinRate, kMaxRate);
    EncoderOptions encoder;
    encoder.quality = m_quality;
    encoder.loopCount = run.Timing.playCount;
    run.WriteFailedMessage = "There was an error writing the file.";
    switch (FormatFor(run.OutputPath)) {
        case OutputFormat::Avi:
            run.Output = std::make_unique<AviSink>(m_codecs);
            break;
        case OutputFormat::Gif:
            m_gifReducer.SetDitherMethod(m_gifDitherMethod);
            run.Output = std::make_unique<GifSink>(m_gifReducer, GifSinkOptions{m_gifOptimize});
            run.WriteFailedMessage = "Unexpected error saving GIF file.";
            break;
        case OutputFormat::Mp4:
            run.Output = std::make_unique<VideoSink>(VideoFormat::Mp4H264, encoder);
            break;
        case OutputFormat::WebM:
            run.Output = std::make_unique<VideoSink>(VideoFormat::WebMVp9, encoder);
            break;
        case OutputFormat::WebP:
            run.Output = std::make_unique<WebpSink>(encoder);
            break;
        case OutputFormat::Apng:
            run.Output = std::make_unique<ApngSink>(encoder);
            break;
    }
    run.Pipeline = std::make_unique<SinkThread>(*run.Output);
    try {
        if (!run.Pipeline->Begin(run.OutputPath, settings)) return false;
        // A fade palette is built from both pictures before the first frame.
        auto* gif = dynamic_cast<GifSink*>(run.Output.get());
        if (gif && m_gifReducer.GetPaletteMode() == PaletteMode::Fade)
            gif->PreparePalette(GridView(run.StartPixels), GridView(run.EndPixels));
        return true;
    } catch (const OutputWriteFailed&) {
        ShowMessage(run.WriteFailedMessage);
        return false;
    }
}

void MainWindowModel::SetGifReduction(PaletteMode paletteMode, DitherMethod ditherMethod) {
    m_gifReducer.SetPaletteMode(paletteMode);
    m_gifDitherMethod = ditherMethod;
}

OutputFormat MainWindowModel::FormatFor(const std::string& path) const {
    if (m_outputFormat) return *m_outputFormat;
    const std::optional<OutputFormat> named = OutputFormatForPath(path);
    if (m_aviOption.Value())
        return named == OutputFormat::Mp4 || named == OutputFormat::WebM ? *named : OutputFormat::Avi;
    return named == OutputFormat::WebP || named == OutputFormat::Apng ? *named : OutputFormat::Gif;
}

OutputOptions MainWindowModel::CurrentOutputOptions() const {
    OutputOptions options;
    options.timing = m_timing;
    options.palette = m_gifReducer.GetPaletteMode();
    options.dither = m_gifDitherMethod;
    options.quality = m_quality;
    options.optimize = m_gifOptimize;
    return options;
}

void MainWindowModel::ApplyOutputOptions(const OutputOptions& options) {
    m_timing = options.timing;
    SetGifReduction(options.palette, options.dither);
    m_quality = options.quality;
    m_gifOptimize = options.optimize;
}

}  // namespace crossmeld
