#include "gui/HandCursor.h"

#include <QPixmap>

#include "base/Error.h"
#include "formats/PictureFile.h"
#include "formats/ico/IconDecoder.h"
#include "gui/SurfaceImage.h"

namespace crossmeld::gui {

std::optional<QCursor> MakeHandCursor(const std::string& cursorFile, const Picture& loaded) {
    if (loaded.empty()) return std::nullopt;
    try {
        const IconImage icon = DecodeIconFile(ReadPictureFile(cursorFile));
        return QCursor(QPixmap::fromImage(ImageWithAlpha(*icon.image)), icon.hotspotX, icon.hotspotY);
    } catch (const Error&) {
        return QCursor(QPixmap::fromImage(ImageFromSurface(*loaded.bitmap())), 0, 0);
    }
}

}  // namespace crossmeld::gui
