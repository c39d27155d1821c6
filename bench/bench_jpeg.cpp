// JPEG decoding speed: a 1920 x 1080 picture at quality 90 with 4:2:0
// sampling, made at start-up from a synthetic plasma picture (ImageMagick and
// cjpeg), or the file named by CROSSMELD_BENCH_JPEG (jpeg_vs_djpeg.sh uses it
// to time djpeg on the very same file).
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "formats/LoadPicture.h"
#include "formats/jpeg/JpegDecoder.h"

namespace fs = std::filesystem;

namespace {

class BenchFolder {
public:
    BenchFolder() {
        std::string tmpl = (fs::temp_directory_path() / "crossmeld-bench-XXXXXX").string();
        if (mkdtemp(tmpl.data())) m_path = tmpl;
    }
    ~BenchFolder() {
        std::error_code ec;
        if (!m_path.empty()) fs::remove_all(m_path, ec);
    }
    const fs::path& path() const { return m_path; }

private:
    fs::path m_path;
};

// The file's bytes, or empty when it could not be made.
const std::vector<std::uint8_t>& BenchJpeg() {
    static const std::vector<std::uint8_t> bytes = [] {
        static BenchFolder folder;
        fs::path jpeg;
        if (const char* given = std::getenv("CROSSMELD_BENCH_JPEG")) {
            jpeg = given;
        } else {
            fs::path source = folder.path() / "source.ppm";
            jpeg = folder.path() / "bench.jpg";
            std::string make = "/usr/bin/convert -size 1920x1080 -seed 7 plasma:fractal ppm:'" + source.string() +
                               "' && /usr/bin/cjpeg -quality 90 -sample 2x2 -outfile '" + jpeg.string() + "' '" +
                               source.string() + "'";
            if (std::system(make.c_str()) != 0) return std::vector<std::uint8_t>{};
        }
        std::ifstream in(jpeg, std::ios::binary);
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }();
    return bytes;
}

void BM_DecodeJpeg1080p(benchmark::State& state) {
    const auto& file = BenchJpeg();
    if (file.empty()) {
        state.SkipWithError("could not make the test JPEG (ImageMagick and cjpeg are needed)");
        return;
    }
    for (auto _ : state) {
        auto surface = crossmeld::DecodeJpeg(file);
        benchmark::DoNotOptimize(surface->bits());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(file.size()));
}
BENCHMARK(BM_DecodeJpeg1080p)->Unit(benchmark::kMillisecond);

// The same through the loader, with its format recognition.
void BM_LoadPictureJpeg1080p(benchmark::State& state) {
    const auto& file = BenchJpeg();
    if (file.empty()) {
        state.SkipWithError("could not make the test JPEG (ImageMagick and cjpeg are needed)");
        return;
    }
    for (auto _ : state) {
        auto picture = crossmeld::LoadPictureFromMemory(file);
        benchmark::DoNotOptimize(picture.Handle());
    }
}
BENCHMARK(BM_LoadPictureJpeg1080p)->Unit(benchmark::kMillisecond);

// The peer: libjpeg driven the way djpeg drives it (default settings, RGB
// rows into one buffer), without djpeg's process start-up and file output.
void BM_PlainLibjpeg1080p(benchmark::State& state) {
    const auto& file = BenchJpeg();
    if (file.empty()) {
        state.SkipWithError("could not make the test JPEG (ImageMagick and cjpeg are needed)");
        return;
    }
    for (auto _ : state) {
        jpeg_decompress_struct cinfo;
        jpeg_error_mgr err;
        cinfo.err = jpeg_std_error(&err);
        jpeg_create_decompress(&cinfo);
        jpeg_mem_src(&cinfo, file.data(), static_cast<unsigned long>(file.size()));
        jpeg_read_header(&cinfo, TRUE);
        jpeg_start_decompress(&cinfo);
        const std::size_t stride = std::size_t{cinfo.output_width} * cinfo.output_components;
        std::vector<JSAMPLE> pixels(stride * cinfo.output_height);
        while (cinfo.output_scanline < cinfo.output_height) {
            JSAMPROW row = pixels.data() + stride * cinfo.output_scanline;
            jpeg_read_scanlines(&cinfo, &row, 1);
        }
        jpeg_finish_decompress(&cinfo);
        jpeg_destroy_decompress(&cinfo);
        benchmark::DoNotOptimize(pixels.data());
    }
}
BENCHMARK(BM_PlainLibjpeg1080p)->Unit(benchmark::kMillisecond);

}  // namespace
