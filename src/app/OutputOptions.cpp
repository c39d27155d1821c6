#include "app/OutputOptions.h"

#include <charconv>
#include <cmath>
#include <string>

#include "app/AppRoutines.h"
#include "export/FrameSink.h"

namespace crossmeld {

namespace {

constexpr const char* kSection = "Output Options";
constexpr std::int32_t kLastPaletteMode = static_cast<std::int32_t>(PaletteMode::Fade);

std::string Get(SettingsStore& settings, const char* key) {
    return settings.GetSetting(std::string(kSettingsApp), kSection, key, "");
}

void Put(SettingsStore& settings, const char* key, const std::string& value) {
    settings.SaveSetting(std::string(kSettingsApp), kSection, key, value);
}

// A whole number in low .. high, or the fallback.
std::int32_t Whole(const std::string& text, std::int32_t low, std::int32_t high, std::int32_t fallback) {
    std::int32_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) return fallback;
    return value;
}

// Seconds of a hold, stored in hundredths.
double Hold(const std::string& text) {
    return Whole(text, 0, static_cast<std::int32_t>(kMaxHoldSeconds * 100), 0) / 100.0;
}

std::string Hundredths(double seconds) { return std::to_string(std::lround(seconds * 100)); }

}  // namespace

OutputOptions ReadOutputOptions(SettingsStore& settings) {
    OutputOptions o;
    o.timing.playCount = Whole(Get(settings, "Plays"), 0, 32768, 0);
    o.timing.holdStartSeconds = Hold(Get(settings, "HoldStart"));
    o.timing.holdEndSeconds = Hold(Get(settings, "HoldEnd"));
    o.timing.ease = Whole(Get(settings, "Ease"), 0, 1, 0) == 1 ? Ease::Smooth : Ease::Linear;
    o.timing.bounce = Whole(Get(settings, "Bounce"), 0, 1, 0) == 1;
    o.palette = static_cast<PaletteMode>(Whole(Get(settings, "Palette"), 0, kLastPaletteMode, 0));
    o.dither = static_cast<DitherMethod>(Whole(Get(settings, "Dither"), 0, 2, 1));
    o.optimize = Whole(Get(settings, "Optimize"), 0, 1, 0) == 1;
    o.quality = Whole(Get(settings, "Quality"), -1, 100, -1);
    return o;
}

void SaveOutputOptions(SettingsStore& settings, const OutputOptions& o) {
    Put(settings, "Plays", std::to_string(o.timing.playCount));
    Put(settings, "HoldStart", Hundredths(o.timing.holdStartSeconds));
    Put(settings, "HoldEnd", Hundredths(o.timing.holdEndSeconds));
    Put(settings, "Ease", o.timing.ease == Ease::Smooth ? "1" : "0");
    Put(settings, "Bounce", o.timing.bounce ? "1" : "0");
    Put(settings, "Palette", std::to_string(static_cast<int>(o.palette)));
    Put(settings, "Dither", std::to_string(static_cast<int>(o.dither)));
    Put(settings, "Optimize", o.optimize ? "1" : "0");
    Put(settings, "Quality", std::to_string(o.quality));
}

}  // namespace crossmeld
