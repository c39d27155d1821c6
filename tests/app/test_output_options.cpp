// The output options as the window stores them: every value comes back as it
// was saved, and stored text that cannot be read takes the default.
#include <gtest/gtest.h>

#include "app/AppRoutines.h"
#include "app/OutputOptions.h"

using namespace crossmeld;

TEST(OutputOptions, RoundTripAndDefaults) {
    MemorySettingsStore store;
    EXPECT_EQ(ReadOutputOptions(store), OutputOptions{}) << "nothing stored: the first start's options";

    OutputOptions o;
    o.timing = {Ease::Smooth, true, 1.25, 60, 3};
    o.palette = PaletteMode::Adaptive;
    o.dither = DitherMethod::Diffusion;
    o.optimize = true;
    SaveOutputOptions(store, o);
    EXPECT_EQ(ReadOutputOptions(store), o);

    const std::string app(kSettingsApp);
    for (const char* key : {"Plays", "HoldStart", "HoldEnd", "Ease", "Palette", "Dither"})
        for (const char* bad : {"-1", "x", "99999", "1.5", ""}) {
            MemorySettingsStore broken;
            SaveOutputOptions(broken, OutputOptions{});
            broken.SaveSetting(app, "Output Options", key, bad);
            EXPECT_EQ(ReadOutputOptions(broken), OutputOptions{}) << key << " = " << bad;
        }
}
