#include "base/TwoHalves.h"

#include <exception>
#include <thread>

namespace crossmeld {

namespace {

// Below this many rows a second thread costs more than it saves.
constexpr std::int32_t kMinRows = 64;

}  // namespace

void ForTwoHalves(std::int32_t count, const std::function<void(std::int32_t, std::int32_t)>& body) {
    if (count < kMinRows) {
        if (count > 0) body(0, count);
        return;
    }
    const std::int32_t middle = count / 2;
    std::exception_ptr lowerFailure;
    std::thread lower([&] {
        try {
            body(middle, count);
        } catch (...) {
            lowerFailure = std::current_exception();
        }
    });
    std::exception_ptr upperFailure;
    try {
        body(0, middle);
    } catch (...) {
        upperFailure = std::current_exception();
    }
    lower.join();
    if (upperFailure) std::rethrow_exception(upperFailure);
    if (lowerFailure) std::rethrow_exception(lowerFailure);
}

}  // namespace crossmeld
