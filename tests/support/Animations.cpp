#include "support/Animations.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace crossmeld::test {

namespace {

std::vector<std::uint8_t> Bgrx(const RgbImage& image) {
    std::vector<std::uint8_t> out(static_cast<std::size_t>(image.width) * image.height * 4);
    for (std::size_t i = 0, n = out.size() / 4; i < n; ++i) {
        out[i * 4 + 0] = image.rgb[i * 3 + 2];
        out[i * 4 + 1] = image.rgb[i * 3 + 1];
        out[i * 4 + 2] = image.rgb[i * 3 + 0];
        out[i * 4 + 3] = static_cast<std::uint8_t>(i * 7);  // unused: noise
    }
    return out;
}

// Frame k of n mixes a into b linearly, rounded to the nearest value.
FrameSet Mix(int width, int height, const std::vector<std::uint8_t>& a, const std::vector<std::uint8_t>& b, int n) {
    FrameSet set{width, height, {}};
    for (int k = 0; k < n; ++k) {
        std::vector<std::uint8_t> frame(a.size());
        for (std::size_t i = 0; i < a.size(); ++i)
            frame[i] = static_cast<std::uint8_t>((a[i] * (n - 1 - k) * 2 + b[i] * k * 2 + (n - 1)) / (2 * (n - 1)));
        set.bgrx.push_back(std::move(frame));
    }
    return set;
}

}  // namespace

FrameSet PhotoFade(int frames) {
    const auto from = DecodeWithPil(SourceDir() / "Samples" / "face2.jpg");
    const auto to = DecodeWithPil(SourceDir() / "Samples" / "face1.jpg");
    if (!from || !to || from->width != to->width || from->height != to->height) return {};
    return Mix(from->width, from->height, Bgrx(*from), Bgrx(*to), frames);
}

FrameSet GradientFade(int width, int height, int frames) {
    RgbImage a{width, height, {}}, b{width, height, {}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const int s = (x + y) * 255 / (width + height - 2);
            for (int v : {s, 255 - s, 128 + s / 4}) a.rgb.push_back(static_cast<std::uint8_t>(v));
            for (int v : {40 + s / 2, s, 255 - s}) b.rgb.push_back(static_cast<std::uint8_t>(v));
        }
    return Mix(width, height, Bgrx(a), Bgrx(b), frames);
}

double Psnr(const std::vector<std::uint8_t>& rgb, const std::vector<std::uint8_t>& bgrx) {
    double sum = 0;
    const std::size_t pixels = bgrx.size() / 4;
    for (std::size_t i = 0; i < pixels; ++i)
        for (int c = 0; c < 3; ++c) {
            const double d = double(rgb[i * 3 + c]) - double(bgrx[i * 4 + 2 - c]);
            sum += d * d;
        }
    const double mse = sum / double(pixels * 3);
    return mse == 0 ? 99.0 : 10 * std::log10(255.0 * 255.0 / mse);
}

std::optional<PilAnimation> ReadAnimationWithPil(const fs::path& file) {
    TempDir tmp;
    const fs::path raw = tmp / "frames.rgb";
    const fs::path py = tmp / "read.py";
    std::ofstream(py) << "import sys\n"
                         "from PIL import Image\n"
                         "im = Image.open(sys.argv[1])\n"
                         "print(im.format, im.size[0], im.size[1], im.info.get('loop', -1), im.n_frames)\n"
                         "with open(sys.argv[2], 'wb') as out:\n"
                         "    for k in range(im.n_frames):\n"
                         "        im.seek(k)\n"
                         "        rgb = im.convert('RGB')  # WebP sets the duration as it loads\n"
                         "        print(im.info.get('duration', -1))\n"
                         "        out.write(rgb.tobytes())\n";
    std::string text;
    if (Run("/usr/bin/python3 " + Quote(py) + " " + Quote(file) + " " + Quote(raw) + " 2>/dev/null", &text) != 0)
        return std::nullopt;
    std::istringstream in(text);
    PilAnimation animation;
    int frames = 0;
    in >> animation.format >> animation.width >> animation.height >> animation.loop >> frames;
    const std::size_t frameBytes = static_cast<std::size_t>(animation.width) * animation.height * 3;
    const auto bytes = ReadBytes(raw);
    if (!in || bytes.size() != frameBytes * frames) return std::nullopt;
    for (int k = 0; k < frames; ++k) {
        double duration = 0;
        in >> duration;
        animation.durations.push_back(duration);
        animation.rgb.emplace_back(bytes.begin() + static_cast<std::ptrdiff_t>(k * frameBytes),
                                   bytes.begin() + static_cast<std::ptrdiff_t>((k + 1) * frameBytes));
    }
    return animation;
}

std::set<std::string> Names(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

}  // namespace crossmeld::test
