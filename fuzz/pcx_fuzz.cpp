// PCX decoding of arbitrary bytes: a picture or null, within bounds, and nothing left allocated.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/memdbg.h"
#include "base/pcx.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  uint8_t pal[768];
  int w = 0, h = 0;
  uint8_t* px = pcxDecode(data, size, &w, &h, pal);
  if (px) {
    // Touch every pixel so that a buffer smaller than width x height shows.
    unsigned sum = 0;
    for (size_t k = 0; k < size_t(w) * size_t(h); ++k) sum += px[k];
    (void)sum;
    MYFREE(px, "fuzz");
  }
  if (get_current_memory() != 0) std::abort();
  return 0;
}
