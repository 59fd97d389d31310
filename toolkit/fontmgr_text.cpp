// Font manager: the fonts as a text manager for font numbers 100-110 — selecting, measuring and
// drawing through the text colour's blend table.
#include <algorithm>
#include <cstring>

#include "color/color.h"
#include "toolkit/fontmgr.h"
#include "vrk/text.h"

int gFMInit = 0;
int gNumFonts = 0;
FMFont* gCurrentFont = nullptr;
int gCurrentFontNum = 0;

namespace {

bool ready() { return gFMInit && gCurrentFont && gCurrentFont->bitmap; }

// The advance of character c without spacing: the space width for a space, else the glyph's.
int advance(const FMFont& f, unsigned char c) { return c == ' ' ? f.spaceWidth : f.glyphs[c].width; }

// Draws the text once in palette index `index` with `flags` (no shadow); characters drawn.
int draw(uint8_t* buffer, const char* text, int maxWidth, int pitch, int index, int flags) {
  const FMFont& f = *gCurrentFont;
  uint8_t* table = getColorBlendTable(index);
  if (!table) return 0;
  const int cell = FMtext_max();
  int x = 0, drawn = 0;
  for (const char* p = text; *p; ++p) {
    const unsigned char c = static_cast<unsigned char>(*p);
    const int w = advance(f, c);
    int at, next;
    if (flags & TEXT_MONO) {
      at = x + (cell - f.spacing - w) / 2;
      next = x + cell;
    } else {
      at = x;
      next = x + w + f.spacing;
    }
    if (next > maxWidth) break;
    const FMGlyph& g = f.glyphs[c];
    const uint8_t* levels = f.bitmap + g.offset;
    uint8_t* row = buffer + ptrdiff_t(f.ascent - g.height) * pitch + at;
    for (int y = 0; y < g.height; ++y, row += pitch, levels += w)
      for (int i = 0; i < w; ++i) row[i] = table[levels[i] * COLOR_NUM + row[i]];
    x = next;
    ++drawn;
  }
  if (flags & TEXT_UNDERLINE) std::memset(buffer + ptrdiff_t(f.ascent - 1) * pitch, index, size_t(x));
  freeColorBlendTable(index);
  return drawn;
}

}  // namespace

int FMInit(void) {
  gNumFonts = 0;
  int first = -1;
  for (int n = 0; n < FM_MAX_FONTS; ++n) {
    if (FMLoadFont(n) != 0) continue;
    ++gNumFonts;
    if (first < 0) first = n;
  }
  if (first < 0) return -1;
  gFMInit = 1;
  FMtext_font(100 + first);
  return 0;
}

void FMExit(void) {
  for (int n = 0; n < FM_MAX_FONTS; ++n) FMFreeFont(n);
  gFMInit = 0;
  gNumFonts = 0;
  gCurrentFont = nullptr;
  gCurrentFontNum = 0;
}

void FMtext_font(int number) {
  const int n = number - 100;
  if (!gFMInit || n < 0 || n >= FM_MAX_FONTS || !gFontCache[n].bitmap) return;
  gCurrentFont = &gFontCache[n];
  gCurrentFontNum = n;
}

int FMtext_curr(void) { return gCurrentFontNum; }

int FMtext_height(void) { return ready() ? gCurrentFont->ascent + gCurrentFont->leading : 0; }

int FMtext_char_width(int c) { return ready() ? advance(*gCurrentFont, static_cast<unsigned char>(c)) : 0; }

int FMtext_space_width(void) { return ready() ? gCurrentFont->spaceWidth : 0; }

int FMtext_width(const char* text) {
  if (!ready() || !text) return 0;
  int w = 0;
  for (const char* p = text; *p; ++p) w += advance(*gCurrentFont, static_cast<unsigned char>(*p)) + gCurrentFont->spacing;
  return w;
}

int FMtext_max(void) {
  return ready() ? std::max<int>(gCurrentFont->spaceWidth, gCurrentFont->maxWidth) + gCurrentFont->spacing : 0;
}

int FMtext_mono_width(const char* text) { return text ? int(std::strlen(text)) * FMtext_max() : 0; }

int FMtext_spacing(void) { return ready() ? gCurrentFont->spacing : 0; }

int FMtext_leading(void) { return ready() ? gCurrentFont->leading : 0; }

int FMtext_size(const char* text) { return FMtext_width(text) * FMtext_height(); }

int FMtext_to_buf(uint8_t* buffer, const char* text, int maxWidth, int pitch, int colour) {
  if (!ready() || !buffer || !text) return 0;
  const int flags = colour & ~0xFF;
  if (flags & TEXT_SHADOW) draw(buffer + pitch + 1, text, maxWidth, pitch, colorTable[0], flags & ~TEXT_SHADOW);
  return draw(buffer, text, maxWidth, pitch, colour & 0xFF, flags);
}

text_manager FMtext_manager(void) {
  return text_manager{100,           110,         FMtext_font,       FMtext_to_buf,  FMtext_height, FMtext_width,
                      FMtext_char_width, FMtext_mono_width, FMtext_spacing, FMtext_size, FMtext_max};
}
