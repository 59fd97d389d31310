// ".aaf" font loader: any bytes either load as a font whose glyphs all lie inside its bitmap
// block with levels 0-15, or are refused; a loaded font is drawn into a bounded buffer.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "toolkit/fontmgr.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (FMLoadFontMem(0, data, size) != 0) return 0;
  const FMFont& f = gFontCache[0];
  const unsigned char text[] = "Setup \x01\xE9\xFF AW";
  int width = 0;
  for (const unsigned char* s = text; *s; ++s) width += (*s == ' ' ? f.spaceWidth : f.glyphs[*s].width) + f.spacing;
  const int pitch = width + 1, rows = f.ascent + f.leading;
  if (size_t(pitch) * size_t(rows) > (size_t(8) << 20)) {  // sound but too big to draw here
    FMFreeFont(0);
    return 0;
  }
  std::vector<uint8_t> buf(size_t(pitch) * size_t(rows));
  int x = 0;
  unsigned sum = 0;
  for (const unsigned char* s = text; *s; ++s) {
    const FMGlyph& g = f.glyphs[*s];
    const int w = *s == ' ' ? f.spaceWidth : g.width;
    for (int y = 0; y < g.height; ++y)
      for (int i = 0; i < w; ++i) {
        const uint8_t level = f.bitmap[g.offset + size_t(y) * size_t(w) + size_t(i)];
        if (level >= FM_LEVELS) std::abort();
        buf[size_t(f.ascent - g.height + y) * size_t(pitch) + size_t(x + i)] = level;
        sum += level;
      }
    x += w + f.spacing;
  }
  (void)sum;
  FMFreeFont(0);
  return 0;
}
