// Font manager of the installer: anti-aliased fonts "font0.aaf" ... "font15.aaf" read from the
// archive, served to the window system's text calls as font numbers 100-110 (font n is 100 + n)
// and drawn by blending each glyph pixel between the background and the text colour.
//
// ".aaf" file (big-endian): "AAFF", ascent, spacing, space width, leading (signed 16-bit each),
// 256 glyph entries of (width, height: signed 16-bit; offset: 32-bit), then the bitmap block. A
// glyph is `height` rows of `width` bytes, each a blend level 0-15, drawn with its bottom row
// just above the ascent row.
#pragma once

#include <cstddef>
#include <cstdint>

#include "vrk/text.h"

constexpr int FM_MAX_FONTS = 16;
constexpr uint32_t FM_MAGIC = 0x41414646u;  // "AAFF"
constexpr size_t FM_HEADER_SIZE = 12;
constexpr size_t FM_TABLE_SIZE = 256 * 8;
constexpr size_t FM_BITMAP_START = FM_HEADER_SIZE + FM_TABLE_SIZE;  // 2060
constexpr int FM_LEVELS = 16;

struct FMGlyph {
  int16_t width;
  int16_t height;
  uint32_t offset;  // from the start of the bitmap block
};

struct FMFont {
  int16_t ascent;
  int16_t spacing;
  int16_t spaceWidth;
  int16_t leading;
  int16_t maxWidth;  // widest glyph of the table
  FMGlyph glyphs[256];
  uint8_t* bitmap;   // owned; null for an empty slot
  uint32_t bitmapSize;
};

// The loaded fonts, by slot.
extern FMFont gFontCache[FM_MAX_FONTS];
extern int gFMInit;            // 1 once FMInit loaded a font
extern int gNumFonts;          // fonts loaded
extern FMFont* gCurrentFont;   // the selected font (null before FMInit)
extern int gCurrentFontNum;    // its slot

// Loads fonts 0-15 (a slot that fails stays empty) and selects the first; 0, or -1 with none.
int FMInit(void);
// Frees every font; measuring gives 0 and drawing nothing until the next FMInit.
void FMExit(void);
// The manager record for text_add_manager: font numbers 100-110 and the functions below.
text_manager FMtext_manager(void);

// Selects font number - 100 when it is loaded; otherwise nothing changes.
void FMtext_font(int number);
// The selected slot.
int FMtext_curr(void);
// Measures of the selected font (all 0 before FMInit): line height (ascent + leading), advance
// of a character without spacing (the space width for a space), the space width, a text's
// width (advances plus spacing), the widest cell (widest glyph or space, plus spacing), a
// monospaced text's width, spacing, leading, and width x height.
int FMtext_height(void);
int FMtext_char_width(int c);
int FMtext_space_width(void);
int FMtext_width(const char* text);
int FMtext_max(void);
int FMtext_mono_width(const char* text);
int FMtext_spacing(void);
int FMtext_leading(void);
int FMtext_size(const char* text);
// Draws text with its top-left at buffer (colour: palette index | TEXT_SHADOW, TEXT_UNDERLINE,
// TEXT_MONO), stopping before the first character that would end past maxWidth; each pixel
// becomes the colour's blend of the level over what is there. The characters drawn (0 before
// FMInit).
int FMtext_to_buf(uint8_t* buffer, const char* text, int maxWidth, int pitch, int colour);

// Loads "font<n>.aaf" from the archive into slot n; 0, or -1 (missing, damaged, no memory).
int FMLoadFont(int n);
// Loads the bytes of an ".aaf" file into slot n; 0, or -1 when they do not form a sound font.
int FMLoadFontMem(int n, const void* data, size_t size);
// Releases slot n (nothing when empty).
void FMFreeFont(int n);
// Reverses the byte order of the 16-bit value at p.
void Swap2(void* p);
// Reverses the byte order of the 32-bit value at p.
void Swap4(void* p);
