#pragma once
// Splits row-wise work over both cores: body(first, end) runs for the upper
// half of [0, count) on the calling thread and for the lower half on a
// thread of its own. The halves must not depend on each other, so the result
// is the same as one pass. An error of the upper half is raised before one
// of the lower half (the one a single pass would meet first). Small counts
// run in one pass.

#include <cstdint>
#include <functional>

namespace crossmeld {

void ForTwoHalves(std::int32_t count, const std::function<void(std::int32_t first, std::int32_t end)>& body);

}  // namespace crossmeld
