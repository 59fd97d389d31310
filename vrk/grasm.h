// Row copiers behind buf_to_buf and trans_buf_to_buf. The fast paths (SSE2, chosen by mmxEnabled
// when the processor has it) work each row in three parts: the bytes up to the next 8-byte-aligned
// destination address, whole 8-byte blocks, then the rest; the plain copy moves a row at once and
// the plain transparent copy works in the same three parts. Both paths give identical results.
#pragma once

#include <cstdint>

// 1 when the blitters may use the fast path; set by the display device (only when mmxTest is 1).
extern int mmxEnabled;

// 1 when the processor can run the fast copy path, else 0 (answered from CPUID).
int mmxTest(void);

// Copies a width x height rectangle from src to dst (rows `spitch` / `dpitch` bytes apart).
void srcCopy(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height);
// As srcCopy, but destination bytes under source bytes of value 0 are kept.
void transSrcCopy(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height);

// The two paths by name (for tests and benchmarks); the fast ones fall back to the plain ones
// when mmxTest is 0.
void srcCopy_plain(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height);
void transSrcCopy_plain(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height);
void srcCopy_fast(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height);
void transSrcCopy_fast(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height);
