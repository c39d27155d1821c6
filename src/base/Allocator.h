#pragma once
// Allocator settings for the front ends.
//
// A fade run allocates and frees buffers of a frame's size (several MB) for
// every frame. With the C library's defaults each of them is a fresh memory
// mapping whose pages fault in again and again; keeping such buffers on the
// heap and not returning freed memory at once halves the time of a full-HD
// run without raising its peak.

namespace crossmeld {

void TuneAllocatorForFrames();

}  // namespace crossmeld
