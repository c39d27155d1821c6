#include "export/AviExport.h"

#include "base/FileRoutines.h"
#include "formats/LoadPicture.h"
#include "formats/avi/AviFile.h"
#include "formats/bmp/PackedDib.h"

namespace crossmeld {

namespace {

constexpr std::uint32_t kOpenWriteCreate = 4097;  // OF_WRITE | OF_CREATE
constexpr std::uint32_t kChooseKeyFrameAndDataRate = 3;
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
    using namespace avi;
    const std::string scratch = context.tempFolder + "/temp.bmp";
    AviFileHandle file;
    AviStreamHandle stream;
    AviStreamHandle compressed;
    bool formatSet = false;

    // Streams first, then the file, then the library; on every path.
    auto release = [&](bool commit) {
        if (stream) AVIStreamRelease(stream);
        if (compressed) AVIStreamRelease(compressed);
        AviStatus closed = AVIERR_OK;
        if (file) {
            if (commit) {
                closed = AVIFileRelease(file);
            } else {
                // Dropping an unreleased file discards it: whatever stood at
                // the path before stays as it was.
                file = AviFileHandle();
            }
        }
        AVIFileExit();
        return closed;
    };

    AviStatus status = AVIFileOpen(file, path, kOpenWriteCreate, nullptr);
    if (status == AVIERR_OK) {
        try {
            PackedDib reader(context.host);
            ConvertFrame(context, FrameFile(context.tempFolder, 0), scratch);
            if (!reader.CreateFromFile(scratch)) {
                ShowOk(context.host, "Could not load first bitmap file in list.");
            } else {
                StreamHeader header;
                header.type = mmioStringToFOURCC("vids", 0);
                header.handler = 0;
                header.scale = 1;
                std::int32_t rate = fps;
                header.suggestedBufferSize = static_cast<std::uint32_t>(reader.SizeImage());
                header.frameRect = {0, 0, reader.Width(), reader.Height()};
                // The rate is limited only once the header is filled.
                if (rate < kMinRate) rate = kMinRate;
                if (rate > kMaxRate) rate = kMaxRate;
                header.rate = static_cast<std::uint32_t>(rate);

                AviCompressOptions options;
                AviCompressOptions* optionsPointer = &options;
                status = AVIFileCreateStream(file, stream, header);
                if (status == AVIERR_OK) {
                    status = AVISaveOptions(&context.codecs, kChooseKeyFrameAndDataRate, 1, &stream, &optionsPointer);
                    if (status != 1) {
                        AVISaveOptionsFree(1, &optionsPointer);
                    } else {
                        status = AVIMakeCompressedStream(compressed, stream, &options, nullptr);
                        if (status == AVIERR_OK)
                            status = AVIStreamSetFormat(compressed, 0, reader.PointerToBitmapInfo(),
                                                        reader.SizeBitmapInfo());
                        if (status == AVIERR_OK) {
                            formatSet = true;
                            const std::int16_t n = context.imageCount();
                            context.host.SetProgressMax(n - 1);
                            context.host.SetProgressValue(0);
                            for (std::int32_t k = 0; k <= n - 1; ++k) {
                                ConvertFrame(context, FrameFile(context.tempFolder, k), scratch);
                                // A frame that cannot be read back has had its
                                // message; the previous frame's pixels go again.
                                reader.CreateFromFile(scratch);
                                status = AVIStreamWrite(compressed, k - 1, 1, reader.PointerToBits(),
                                                        reader.SizeImage(), AVIIF_KEYFRAME, nullptr, nullptr);
                                DeleteFiles(scratch, [&] { context.host.DoEvents(); });
                                context.host.SetProgressValue(k);
                                // A frame that cannot be written (a full disk) ends
                                // the file: the frames after it would fail too.
                                if (status != AVIERR_OK) break;
                            }
                        }
                    }
                }
            }
        } catch (...) {
            // A frame that cannot be decoded or saved ends the writer; the
            // streams, the unfinished file and the library are released first.
            release(false);
            throw;
        }
    }
    const AviStatus closed = release(formatSet);
    // Completing the file is part of writing it: a failure there is a
    // failure of the whole output.
    if (status == AVIERR_OK && formatSet && closed != AVIERR_OK) status = closed;
    if (status != AVIERR_OK) ShowOk(context.host, "There was an error writing the file.");
}

}  // namespace crossmeld
