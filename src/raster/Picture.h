#pragma once
// The picture object: what the picture loader returns and a picture box
// holds. Always a bitmap of definite pixel size (metafiles are rendered to
// one when loaded). A nonzero Handle() means that a picture is present.

#include <cstdint>
#include <memory>

#include "raster/Surface.h"

namespace crossmeld {

class Picture {
public:
    Picture() = default;  // the empty picture
    explicit Picture(std::shared_ptr<Surface> bitmap) : m_bitmap(std::move(bitmap)) {}

    std::uintptr_t Handle() const noexcept { return reinterpret_cast<std::uintptr_t>(m_bitmap.get()); }
    bool empty() const noexcept { return !m_bitmap; }
    explicit operator bool() const noexcept { return static_cast<bool>(m_bitmap); }

    const std::shared_ptr<Surface>& bitmap() const noexcept { return m_bitmap; }
    std::int32_t Width() const noexcept { return m_bitmap ? m_bitmap->width() : 0; }
    std::int32_t Height() const noexcept { return m_bitmap ? m_bitmap->height() : 0; }

private:
    std::shared_ptr<Surface> m_bitmap;
};

}  // namespace crossmeld
