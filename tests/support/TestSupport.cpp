#include "support/TestSupport.h"

#include "raster/Surface.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <stdexcept>

namespace crossmeld::test {

fs::path SourceDir() { return fs::path(CROSSMELD_SOURCE_DIR); }
fs::path TestDataDir() { return fs::path(CROSSMELD_TESTDATA_DIR); }
bool HaveTestData() { return fs::is_directory(TestDataDir()); }

std::vector<std::uint8_t> ReadBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

TempDir::TempDir() {
    std::string tmpl = (fs::temp_directory_path() / "crossmeld-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    m_path = tmpl;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

int Run(const std::string& command, std::string* output) {
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return -1;
    std::array<char, 4096> buf{};
    std::string text;
    std::size_t n;
    while ((n = fread(buf.data(), 1, buf.size(), pipe)) > 0) text.append(buf.data(), n);
    int status = pclose(pipe);
    if (output) *output = std::move(text);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& path) { return access(path.c_str(), X_OK) == 0; }

fs::path StreamFixtures() { return fs::path(CROSSMELD_SOURCE_DIR) / "tests/data/stream"; }

int CreateFromFixtures(const std::string& options, std::string* output) {
    return Run(Quote(fs::path(CROSSMELD_BIN_DIR) / "crossmeld-cli") + " --quiet --start " +
                   Quote(StreamFixtures() / "start.png") + " --end " + Quote(StreamFixtures() / "end.png") + " " +
                   options + " 2>&1",
               output);
}

std::string Quote(const fs::path& path) {
    std::string s = "'";
    for (char c : path.string()) {
        if (c == '\'') s += "'\\''";
        else s += c;
    }
    return s + "'";
}

namespace {

std::optional<RgbImage> ReadRawWithSize(const std::string& sizeLine, const fs::path& raw) {
    RgbImage img;
    std::istringstream in(sizeLine);
    if (!(in >> img.width >> img.height)) return std::nullopt;
    img.rgb = ReadBytes(raw);
    if (img.rgb.size() != static_cast<std::size_t>(img.width) * img.height * 3) return std::nullopt;
    return img;
}

}  // namespace

std::optional<RgbImage> DecodeWithPil(const fs::path& file) {
    TempDir tmp;
    fs::path raw = tmp / "out.rgb";
    std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "im = Image.open(sys.argv[1]); im.load()\n"
        "if im.mode in ('RGBA','LA','PA') or (im.mode == 'P' and 'transparency' in im.info):\n"
        "    im = im.convert('RGBA'); bg = Image.new('RGBA', im.size, (0,0,0,255)); bg.alpha_composite(im); im = bg\n"
        "im = im.convert('RGB')\n"
        "open(sys.argv[2],'wb').write(im.tobytes())\n"
        "print(im.size[0], im.size[1])\n";
    fs::path py = tmp / "decode.py";
    std::ofstream(py) << script;
    std::string out;
    if (Run("/usr/bin/python3 " + Quote(py) + " " + Quote(file) + " " + Quote(raw) + " 2>/dev/null", &out) != 0)
        return std::nullopt;
    return ReadRawWithSize(out, raw);
}

std::optional<RgbImage> DecodeWithPil(const fs::path& file, Background background) {
    TempDir tmp;
    fs::path raw = tmp / "out.rgb";
    std::string script =
        "import sys\n"
        "from PIL import Image\n"
        "bg = tuple(int(v) for v in sys.argv[3].split(','))\n"
        "im = Image.open(sys.argv[1]); im.load()\n"
        "if im.mode.startswith('I') and im.mode != 'I;16S':\n"
        "    values = list(im.getdata()); key = im.info.get('transparency')\n"
        "    grey = Image.frombytes('L', im.size, bytes(v >> 8 for v in values))\n"
        "    if key is not None:\n"
        "        grey = grey.convert('RGBA')\n"
        "        grey.putalpha(Image.frombytes('L', im.size, bytes(0 if v == key else 255 for v in values)))\n"
        "    im = grey\n"
        "if 'A' in im.mode or 'transparency' in im.info:\n"
        "    im = im.convert('RGBA'); base = Image.new('RGBA', im.size, bg + (255,)); base.alpha_composite(im); im = base\n"
        "im = im.convert('RGB')\n"
        "open(sys.argv[2],'wb').write(im.tobytes())\n"
        "print(im.size[0], im.size[1])\n";
    fs::path py = tmp / "decode.py";
    std::ofstream(py) << script;
    std::string colour = std::to_string(background.r) + "," + std::to_string(background.g) + "," +
                         std::to_string(background.b);
    std::string out;
    if (Run("/usr/bin/python3 " + Quote(py) + " " + Quote(file) + " " + Quote(raw) + " " + colour + " 2>/dev/null",
            &out) != 0)
        return std::nullopt;
    return ReadRawWithSize(out, raw);
}

std::optional<RgbImage> DecodeWithImageMagick(const fs::path& file) {
    TempDir tmp;
    fs::path raw = tmp / "out.rgb";
    std::string out;
    if (Run("/usr/bin/identify -format '%w %h' " + Quote(file.string() + "[0]") + " 2>/dev/null", &out) != 0)
        return std::nullopt;
    if (Run("/usr/bin/convert " + Quote(file.string() + "[0]") + " -depth 8 rgb:" + Quote(raw) + " 2>/dev/null") != 0)
        return std::nullopt;
    return ReadRawWithSize(out, raw);
}

RgbImage RgbFromSurface(const Surface& surface) {
    RgbImage img;
    img.width = surface.width();
    img.height = surface.height();
    img.rgb.reserve(static_cast<std::size_t>(img.width) * static_cast<std::size_t>(img.height) * 3);
    for (int y = 0; y < img.height; ++y) {
        for (int x = 0; x < img.width; ++x) {
            ColorRef c = surface.GetPixel(x, y);
            img.rgb.push_back(RedOf(c));
            img.rgb.push_back(GreenOf(c));
            img.rgb.push_back(BlueOf(c));
        }
    }
    return img;
}

Difference Compare(const RgbImage& a, const RgbImage& b, int tolerance) {
    Difference d;
    if (a.width != b.width || a.height != b.height || a.rgb.size() != b.rgb.size()) {
        d.maxDelta = 256;
        d.over = a.rgb.size() > b.rgb.size() ? a.rgb.size() : b.rgb.size();
        return d;
    }
    for (std::size_t i = 0; i < a.rgb.size(); ++i) {
        int delta = std::abs(int(a.rgb[i]) - int(b.rgb[i]));
        if (delta > d.maxDelta) d.maxDelta = delta;
        if (delta > tolerance) ++d.over;
    }
    return d;
}

std::vector<std::vector<std::uint8_t>> DecodeFramesWithFfmpeg(const fs::path& file, const std::string& pixelFormat,
                                                             std::size_t frameBytes) {
    std::string raw;
    if (frameBytes == 0 ||
        Run("/usr/bin/ffmpeg -v error -nostdin -i " + Quote(file) + " -fps_mode passthrough -f rawvideo -pix_fmt " +
                pixelFormat + " -",
            &raw) != 0 ||
        raw.size() % frameBytes != 0)
        return {};
    std::vector<std::vector<std::uint8_t>> frames;
    for (std::size_t at = 0; at < raw.size(); at += frameBytes)
        frames.emplace_back(raw.begin() + static_cast<std::ptrdiff_t>(at),
                            raw.begin() + static_cast<std::ptrdiff_t>(at + frameBytes));
    return frames;
}

}  // namespace crossmeld::test
