#include "export/AviExport.h"

#include <algorithm>

#include "base/FileRoutines.h"
#include "formats/LoadPicture.h"
#include "formats/avi/AviWriter.h"
#include "formats/avi/CodecChooser.h"
#include "formats/bmp/PackedDib.h"

namespace crossmeld {

namespace {

constexpr std::int32_t kMinRate = 1;
constexpr std::int32_t kMaxRate = 30;

std::string FrameFile(const std::string& temp, std::int32_t k) {
    return temp + "/Morph_" + std::to_string(k) + ".bmp";
}

// Decodes a frame file and writes it back as the scratch bitmap, so that
// every frame reaches the reader with the same bitmap layout.
void ConvertFrame(AviOutputContext& context, const std::string& frameFile, const std::string& scratch) {
    context.SaveCanvas.Refresh();
    context.SaveCanvas.SetPicture(LoadPicture(frameFile));
    SavePicture(context.SaveCanvas.Picture(), scratch);
}

void ShowOk(Host& host, const std::string& text) {
    host.MessageBox(text, MsgIcon::None, MsgButtons::OK, "");
}

}  // namespace

void ExportAvi(AviOutputContext& context, const std::string& path, std::int16_t fps) {
    using avi::WriteResult;
    const std::string scratch = context.tempFolder + "/temp.bmp";
    // Whatever way this function leaves before Finish, the writer removes
    // its unfinished file and whatever stood at the path stays as it was.
    avi::Writer writer;
    WriteResult result = writer.Open(path);
    if (result == WriteResult::Ok) {
        PackedDib reader(context.host);
        ConvertFrame(context, FrameFile(context.tempFolder, 0), scratch);
        if (!reader.CreateFromFile(scratch)) {
            ShowOk(context.host, "Could not load first bitmap file in list.");
            return;
        }
        const auto rate = static_cast<std::uint32_t>(std::clamp<std::int32_t>(fps, kMinRate, kMaxRate));
        avi::CodecChoice codec;
        if (!context.codecs.ChooseCodec(codec)) return;  // cancelled: no message, no file
        result = writer.Start(reader.BitmapInfo(), rate, codec);
        if (result == WriteResult::Ok) {
            const std::int16_t n = context.imageCount();
            context.host.SetProgressMax(n - 1);
            context.host.SetProgressValue(0);
            for (std::int32_t k = 0; k <= n - 1; ++k) {
                ConvertFrame(context, FrameFile(context.tempFolder, k), scratch);
                // A frame that cannot be read back has had its message; the
                // previous frame's pixels go again.
                reader.CreateFromFile(scratch);
                result = writer.WriteFrame(reader.Bits());
                DeleteFiles(scratch, [&] { context.host.DoEvents(); });
                context.host.SetProgressValue(k);
                // A frame that cannot be written (a full disk) ends the file:
                // the frames after it would fail too.
                if (result != WriteResult::Ok) break;
            }
            // Completing the file is part of writing it: a failure there is
            // a failure of the whole output. After a failed frame, Finish
            // removes the file and gives that failure again.
            result = writer.Finish();
        }
    }
    if (result != WriteResult::Ok) {
        writer.Abort();  // the unfinished file is gone before the message shows
        ShowOk(context.host, "There was an error writing the file.");
    }
}

}  // namespace crossmeld
