#pragma once
// The window's custom pointer, made from the cursor file that start-up
// loaded as the model's pointer image.

#include <QCursor>
#include <optional>
#include <string>

#include "raster/Picture.h"

namespace crossmeld::gui {

// The cursor file with its transparency and hot spot. When the file cannot
// be read as a cursor, the loaded picture itself with the hot spot at its
// top-left corner; nothing when no picture was loaded.
std::optional<QCursor> MakeHandCursor(const std::string& cursorFile, const Picture& loaded);

}  // namespace crossmeld::gui
