#include "base/Allocator.h"

#include <malloc.h>

namespace crossmeld {

void TuneAllocatorForFrames() {
    // 32 MiB is the largest mapping threshold the C library accepts on 64-bit
    // systems: buffers up to that size (a 1920 x 1080 frame at 32 bits is
    // 8 MiB) come from the heap and are reused.
    mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
    mallopt(M_TRIM_THRESHOLD, 256 * 1024 * 1024);
}

}  // namespace crossmeld
