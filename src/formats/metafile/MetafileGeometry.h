#pragma once
// Points and affine maps of the metafile player, in doubles. Metafile
// coordinates go through the world transform (enhanced metafiles), the page
// mapping (window and viewport) and the map from the recording device to the
// picture; the player composes them into one Affine.

#include <cmath>

namespace crossmeld::metafile {

struct PointF {
    double x = 0;
    double y = 0;
};

// x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy (the layout of the
// enhanced metafile's XFORM).
struct Affine {
    double m11 = 1, m12 = 0, m21 = 0, m22 = 1, dx = 0, dy = 0;

    PointF operator()(PointF p) const noexcept { return {m11 * p.x + m21 * p.y + dx, m12 * p.x + m22 * p.y + dy}; }
    PointF operator()(double x, double y) const noexcept { return (*this)({x, y}); }
    // A vector: the linear part only.
    PointF Linear(double x, double y) const noexcept { return {m11 * x + m21 * y, m12 * x + m22 * y}; }

    // First this, then `after`.
    Affine Then(const Affine& after) const noexcept {
        return {m11 * after.m11 + m12 * after.m21, m11 * after.m12 + m12 * after.m22,
                m21 * after.m11 + m22 * after.m21, m21 * after.m12 + m22 * after.m22,
                dx * after.m11 + dy * after.m21 + after.dx, dx * after.m12 + dy * after.m22 + after.dy};
    }
    double Determinant() const noexcept { return m11 * m22 - m12 * m21; }
    bool Finite() const noexcept {
        return std::isfinite(m11) && std::isfinite(m12) && std::isfinite(m21) && std::isfinite(m22) &&
               std::isfinite(dx) && std::isfinite(dy);
    }
    // Scale of lengths (the square root of the area scale), for pen widths and
    // font heights.
    double Scale() const noexcept { return std::sqrt(std::fabs(Determinant())); }
};

// How many pieces a curve of this measure is cut into: ceil(measure),
// limited to lo .. hi; lo for a measure that is not a finite number.
inline int PiecesFor(double measure, int lo, int hi) noexcept {
    if (!std::isfinite(measure)) return lo;
    const double n = std::ceil(measure);
    return n <= lo ? lo : n >= hi ? hi : static_cast<int>(n);
}

}  // namespace crossmeld::metafile
