// Fast block movers: SSE2 loads and stores of 16 bytes (two 8-byte blocks) at a time, then one
// 8-byte block for an odd count. On 32-bit x86 the instructions are enabled per function and used
// only after the platform said the processor has SSE2; 64-bit x86 always has them.
#include "vrk/mmxblit.h"

#include "platform/cpu.h"

#if defined(__i386__) || defined(__x86_64__) || defined(_M_IX86) || defined(_M_X64)
#define VRK_HAVE_SSE2_PATH 1
#include <emmintrin.h>
#define VRK_SSE2 __attribute__((target("sse2")))
#else
#define VRK_HAVE_SSE2_PATH 0
#endif

#if VRK_HAVE_SSE2_PATH

int VRK_fast_blit_available(void) { return plat_cpu_has_sse2(); }

VRK_SSE2 void VRK_fast_copy_blocks(uint8_t* dst, const uint8_t* src, size_t blocks) {
  // Eight blocks (64 bytes) per round: four loads before four stores.
  for (; blocks >= 8; blocks -= 8, src += 64, dst += 64) {
    const __m128i* s = reinterpret_cast<const __m128i*>(src);
    __m128i* d = reinterpret_cast<__m128i*>(dst);
    __m128i a = _mm_loadu_si128(s), b = _mm_loadu_si128(s + 1), c = _mm_loadu_si128(s + 2), e = _mm_loadu_si128(s + 3);
    _mm_storeu_si128(d, a);
    _mm_storeu_si128(d + 1, b);
    _mm_storeu_si128(d + 2, c);
    _mm_storeu_si128(d + 3, e);
  }
  for (; blocks >= 2; blocks -= 2, src += 16, dst += 16)
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_loadu_si128(reinterpret_cast<const __m128i*>(src)));
  if (blocks) _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src)));
}

VRK_SSE2 void VRK_fast_trans_blocks(uint8_t* dst, const uint8_t* src, size_t blocks) {
  const __m128i zero = _mm_setzero_si128();
  for (; blocks >= 4; blocks -= 4, src += 32, dst += 32) {
    const __m128i* sp = reinterpret_cast<const __m128i*>(src);
    __m128i* dp = reinterpret_cast<__m128i*>(dst);
    __m128i s0 = _mm_loadu_si128(sp), s1 = _mm_loadu_si128(sp + 1);
    __m128i k0 = _mm_cmpeq_epi8(s0, zero), k1 = _mm_cmpeq_epi8(s1, zero);
    __m128i d0 = _mm_loadu_si128(dp), d1 = _mm_loadu_si128(dp + 1);
    _mm_storeu_si128(dp, _mm_or_si128(_mm_and_si128(k0, d0), _mm_andnot_si128(k0, s0)));
    _mm_storeu_si128(dp + 1, _mm_or_si128(_mm_and_si128(k1, d1), _mm_andnot_si128(k1, s1)));
  }
  size_t pairs = blocks / 2;
  for (size_t i = 0; i < pairs; ++i) {
    __m128i s = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src));
    __m128i d = _mm_loadu_si128(reinterpret_cast<const __m128i*>(dst));
    __m128i keep = _mm_cmpeq_epi8(s, zero);  // 0xFF where the destination stays
    _mm_storeu_si128(reinterpret_cast<__m128i*>(dst), _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, s)));
    src += 16;
    dst += 16;
  }
  if (blocks & 1) {
    __m128i s = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(src));
    __m128i d = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(dst));
    __m128i keep = _mm_cmpeq_epi8(s, zero);
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_or_si128(_mm_and_si128(keep, d), _mm_andnot_si128(keep, s)));
  }
}

#else

int VRK_fast_blit_available(void) { return 0; }
void VRK_fast_copy_blocks(uint8_t*, const uint8_t*, size_t) {}
void VRK_fast_trans_blocks(uint8_t*, const uint8_t*, size_t) {}

#endif
