// Colour-file loading of arbitrary bytes through the file hooks: refused or loaded, the derived
// tables consistent, blend tables built from whatever was loaded, nothing leaked.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "color/color.h"

namespace {
const uint8_t* g_data;
size_t g_size, g_pos;

int fopen_mem(const char*, int) {
  g_pos = 0;
  return 1;
}
int fread_mem(int, void* buf, int size) {
  size_t n = g_size - g_pos < size_t(size) ? g_size - g_pos : size_t(size);
  std::memcpy(buf, g_data + g_pos, n);
  g_pos += n;
  return int(n);
}
void fclose_mem(int) {}

int live = 0;
void* counted_alloc(size_t n) {
  ++live;
  return std::malloc(n);
}
void* counted_realloc(void* p, size_t n) { return std::realloc(p, n); }
void counted_free(void* p) {
  if (p) --live;
  std::free(p);
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  g_data = data;
  g_size = size;
  colorInitIO(fopen_mem, fread_mem, fclose_mem);
  colorRegisterAlloc(counted_alloc, counted_realloc, counted_free);
  if (loadColorTable("color.pal")) {
    for (int i = 0; i < 256; ++i)
      if (!colorMappedColor(i))
        for (int k = 0; k < 3; ++k)
          if (cmap[i * 3 + k] != 0) std::abort();
    uint8_t* t = getColorBlendTable(data[0]);
    if (!t) std::abort();
    freeColorBlendTable(data[0]);
    colorPushColorPalette();
    colorPopColorPalette();
  }
  colorsClose();
  if (live != 0) std::abort();
  return 0;
}
