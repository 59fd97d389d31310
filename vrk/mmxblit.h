// The fast block movers of the row copiers (SSE2 on x86; absent elsewhere). Internal to
// vrk/grasm: callers use srcCopy / transSrcCopy.
#pragma once

#include <cstddef>
#include <cstdint>

// 1 when this build has a fast path and the processor can run it.
int VRK_fast_blit_available(void);
// Copies `blocks` 8-byte blocks from src to dst (dst 8-byte aligned). Needs the fast path.
void VRK_fast_copy_blocks(uint8_t* dst, const uint8_t* src, size_t blocks);
// Merges `blocks` 8-byte blocks of src into dst, keeping dst where src bytes are 0. Needs the fast path.
void VRK_fast_trans_blocks(uint8_t* dst, const uint8_t* src, size_t blocks);
