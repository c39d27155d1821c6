#include "morph/ControlMesh.h"

#include "base/Error.h"

namespace crossmeld {

ControlTriangle& TriangleList::operator()(std::int32_t i) {
    if (i < 1 || i > UpperIndex()) throw Error(ErrorKind::SubscriptOutOfRange);
    return m_items[static_cast<std::size_t>(i - 1)];
}

const ControlTriangle& TriangleList::operator()(std::int32_t i) const {
    return const_cast<TriangleList&>(*this)(i);
}

Point& ControlMesh::Points(std::int32_t c, std::int32_t r) {
    const std::int64_t across = static_cast<std::int64_t>(Columns) + 1;
    if (c < 1 || r < 1 || c > across || r > static_cast<std::int64_t>(Rows) + 1)
        throw Error(ErrorKind::SubscriptOutOfRange);
    const std::size_t index = static_cast<std::size_t>((r - 1) * across + (c - 1));
    if (index >= PointStore.size()) throw Error(ErrorKind::SubscriptOutOfRange);
    return PointStore[index];
}

const Point& ControlMesh::Points(std::int32_t c, std::int32_t r) const {
    return const_cast<ControlMesh&>(*this).Points(c, r);
}

}  // namespace crossmeld
