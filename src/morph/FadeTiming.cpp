#include "morph/FadeTiming.h"

#include "base/Error.h"
#include "base/Numeric.h"

namespace crossmeld {

float FrameWeight(std::int32_t k, std::int32_t last, Ease ease) {
    if (last == 0) throw Error(ErrorKind::DivisionByZero);
    const float t = ToSingle(static_cast<double>(k) / static_cast<double>(last));
    if (ease == Ease::Linear) return t;
    const double td = t;
    return ToSingle(td * td * (3.0 - 2.0 * td));
}

std::int32_t OutputFrameCount(std::int32_t n, bool bounce) {
    return bounce && n > 1 ? CheckedSub(CheckedMul(2, n), 2) : n;
}

std::int32_t EngineFrameAt(std::int32_t j, std::int32_t n, bool bounce) {
    if (j < 0 || j >= OutputFrameCount(n, bounce)) throw Error(ErrorKind::SubscriptOutOfRange);
    return j < n ? j : 2 * (n - 1) - j;
}

}  // namespace crossmeld
