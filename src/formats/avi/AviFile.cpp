#include "formats/avi/AviFile.h"

#include <atomic>

namespace crossmeld::avi {

namespace {

std::atomic<int> g_useCount{0};

}  // namespace

void AVIFileInit() noexcept {
    ++g_useCount;
}

void AVIFileExit() noexcept {
    int count = g_useCount.load();
    while (count > 0 && !g_useCount.compare_exchange_weak(count, count - 1)) {
    }
}

int AviLibraryUseCount() noexcept {
    return g_useCount.load();
}

AviStatus AVIStreamRelease(AviStreamHandle& stream) noexcept {
    if (!stream) return AVIERR_BADHANDLE;
    stream = AviStreamHandle{};
    return AVIERR_OK;
}

}  // namespace crossmeld::avi
