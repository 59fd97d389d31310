// Row copiers: the head up to an 8-byte-aligned destination, whole 8-byte blocks, the tail.
#include "vrk/grasm.h"

#include <cstddef>
#include <cstring>

#include "vrk/mmxblit.h"

int mmxEnabled = 0;

int mmxTest(void) { return VRK_fast_blit_available(); }

namespace {

// Bytes before the next 8-byte-aligned destination address, at most `width`.
inline size_t head_bytes(const uint8_t* dst, size_t width) {
  size_t mis = reinterpret_cast<uintptr_t>(dst) & 7u;
  size_t head = mis ? 8 - mis : 0;
  return head < width ? head : width;
}

inline void trans_bytes(uint8_t* dst, const uint8_t* src, size_t n) {
  for (size_t i = 0; i < n; ++i)
    if (src[i]) dst[i] = src[i];
}

// The plain block merge: written as a select so that the compiler may vectorise it; the result is
// the same as storing only the nonzero bytes.
inline void trans_blocks_plain(uint8_t* __restrict dst, const uint8_t* __restrict src, size_t n) {
  for (size_t i = 0; i < n; ++i) dst[i] = src[i] ? src[i] : dst[i];
}

// One opaque row. Rows up to 512 bytes are copied inline, by fixed-size moves with an overlapping
// last one: the refresh copies many short rows (the uncovered strips of stacked windows), where a
// library call per row costs more than the copy itself. Longer rows go to the C library.
inline void copy_row(uint8_t* dst, const uint8_t* src, size_t n) {
  if (n > 512) {
    std::memcpy(dst, src, n);
  } else if (n >= 32) {
    size_t i = 0;
    for (; i + 32 <= n; i += 32) std::memcpy(dst + i, src + i, 32);
    if (i < n) std::memcpy(dst + n - 32, src + n - 32, 32);
  } else if (n >= 16) {
    std::memcpy(dst, src, 16);
    std::memcpy(dst + n - 16, src + n - 16, 16);
  } else if (n >= 8) {
    std::memcpy(dst, src, 8);
    std::memcpy(dst + n - 8, src + n - 8, 8);
  } else if (n >= 4) {
    std::memcpy(dst, src, 4);
    std::memcpy(dst + n - 4, src + n - 4, 4);
  } else {
    for (size_t i = 0; i < n; ++i) dst[i] = src[i];
  }
}

template <bool Fast>
void copy_rows(uint8_t* dst0, int dpitch, const uint8_t* src0, int spitch, int width, int height) {
  if (width <= 0 || height <= 0) return;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = dst0 + ptrdiff_t(y) * dpitch;
    const uint8_t* src = src0 + ptrdiff_t(y) * spitch;
    size_t w = size_t(width);
    if (!Fast) {
      // The three parts of a plain row are one copy.
      copy_row(dst, src, w);
      continue;
    }
    size_t head = head_bytes(dst, w);
    std::memcpy(dst, src, head);
    size_t blocks = (w - head) / 8;
    if (Fast)
      VRK_fast_copy_blocks(dst + head, src + head, blocks);
    else
      std::memcpy(dst + head, src + head, blocks * 8);
    size_t done = head + blocks * 8;
    std::memcpy(dst + done, src + done, w - done);
  }
}

template <bool Fast>
void trans_rows(uint8_t* dst0, int dpitch, const uint8_t* src0, int spitch, int width, int height) {
  if (width <= 0 || height <= 0) return;
  for (int y = 0; y < height; ++y) {
    uint8_t* dst = dst0 + ptrdiff_t(y) * dpitch;
    const uint8_t* src = src0 + ptrdiff_t(y) * spitch;
    size_t w = size_t(width);
    size_t head = head_bytes(dst, w);
    trans_bytes(dst, src, head);
    size_t blocks = (w - head) / 8;
    if (Fast)
      VRK_fast_trans_blocks(dst + head, src + head, blocks);
    else
      trans_blocks_plain(dst + head, src + head, blocks * 8);
    size_t done = head + blocks * 8;
    trans_bytes(dst + done, src + done, w - done);
  }
}

}  // namespace

void srcCopy_plain(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height) {
  copy_rows<false>(dst, dpitch, src, spitch, width, height);
}

void transSrcCopy_plain(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height) {
  trans_rows<false>(dst, dpitch, src, spitch, width, height);
}

void srcCopy_fast(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height) {
  if (VRK_fast_blit_available())
    copy_rows<true>(dst, dpitch, src, spitch, width, height);
  else
    copy_rows<false>(dst, dpitch, src, spitch, width, height);
}

void transSrcCopy_fast(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height) {
  if (VRK_fast_blit_available())
    trans_rows<true>(dst, dpitch, src, spitch, width, height);
  else
    trans_rows<false>(dst, dpitch, src, spitch, width, height);
}

// An opaque row is one memcpy whatever mmxEnabled says: the C library's copy is at least as fast
// as the block mover on every processor measured (about 1.6 times on x86-64), while the merge of a
// transparent copy gains from the block mover.
void srcCopy(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height) {
  srcCopy_plain(dst, dpitch, src, spitch, width, height);
}

void transSrcCopy(uint8_t* dst, int dpitch, const uint8_t* src, int spitch, int width, int height) {
  if (mmxEnabled)
    transSrcCopy_fast(dst, dpitch, src, spitch, width, height);
  else
    transSrcCopy_plain(dst, dpitch, src, spitch, width, height);
}
