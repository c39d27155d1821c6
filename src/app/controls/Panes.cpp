#include "app/controls/Panes.h"

#include "base/Numeric.h"

namespace crossmeld {

namespace {

// The visible extent along one direction: the picture's own size when it
// leaves room for a bar on both sides, otherwise the pane less one bar.
// The comparison is made in single precision.
std::int32_t VisibleExtent(std::int32_t picture, std::int32_t pane) {
    const float p = static_cast<float>(picture);
    const float s = static_cast<float>(pane);
    const float bar = static_cast<float>(kScrollBarThickness);
    return ToInt32(p + bar < s - bar ? p : s - bar);
}

}  // namespace

void LayoutPane(const PreviewPane& pane) {
    const std::int32_t pw = pane.picture.Width();
    const std::int32_t ph = pane.picture.Height();
    const std::int32_t sw = pane.pane.Width();
    const std::int32_t sh = pane.pane.Height();

    pane.horizontal.SetVisible(pw > sw);
    pane.vertical.SetVisible(ph > sh);
    pane.corner.SetVisible(pane.horizontal.Visible() || pane.vertical.Visible());

    const std::int32_t hw = VisibleExtent(pw, sw);
    const std::int32_t vh = VisibleExtent(ph, sh);
    pane.horizontal.Move(0, vh, hw, kScrollBarThickness);
    pane.vertical.Move(hw, 0, kScrollBarThickness, vh);

    pane.horizontal.SetMax(ToInt16(static_cast<double>(pw) - pane.horizontal.Width()));
    pane.horizontal.SetLargeChange(ToInt16(pw));
    pane.vertical.SetMax(ToInt16(static_cast<double>(ph) - pane.vertical.Height()));
    pane.vertical.SetLargeChange(ToInt16(ph));

    pane.corner.Move(pane.horizontal.Width(), pane.vertical.Height(), kScrollBarThickness, kScrollBarThickness);

    pane.horizontal.SetValue(0);
    pane.vertical.SetValue(0);
}

}  // namespace crossmeld
