// What the processor can do, for code that picks a faster path at run time.
#pragma once

// 1 when the processor runs SSE2 instructions (always on 64-bit x86; asked of the processor on
// 32-bit x86; 0 elsewhere). The answer is computed once.
int plat_cpu_has_sse2(void);
