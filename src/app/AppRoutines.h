#pragma once
// Names, settings keys and file names of the main window, and the shared
// routines that need no window: the application title.

#include <string>
#include <string_view>

namespace crossmeld {

// The product's display name: the window's caption, and what the
// application title is made from.
inline constexpr std::string_view kDisplayName = "Crossmeld";

// Where the user's choices are kept.
inline constexpr std::string_view kSettingsApp = "Kestrovan";
inline constexpr std::string_view kSettingsSection = "Crossmeld";
inline constexpr std::string_view kKeyOption1 = "Option1";
inline constexpr std::string_view kKeyOption2 = "Option2";
inline constexpr std::string_view kKeyImageCount = "Number Of Images";
inline constexpr std::string_view kKeyFps = "FPS";

// Files under the program folder (appended to it as they are).
inline constexpr std::string_view kCursorFile = "/HAND-M.CUR";
inline constexpr std::string_view kSkinFile = "/x/o.cjs";
inline constexpr std::string_view kSampleStart = "/Samples/face2.jpg";
inline constexpr std::string_view kSampleEnd = "/Samples/face1.jpg";
inline constexpr std::string_view kSampleBlank = "/Samples/none.gif";

// The system colour of button faces, as a colour value with the top bit set.
inline constexpr unsigned kButtonFaceColor = 0x8000000F;

// The application title for a display name: the text before the last space,
// cut again while it is longer than 40 characters. A name without a space
// (such as the display name itself) is kept whole, and the cutting stops at
// the first word: the title always holds at least one word.
std::string AppTitleFromDisplayName(std::string_view name);

}  // namespace crossmeld
