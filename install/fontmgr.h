// Font manager of the installer: anti-aliased fonts "font0.aaf" ... "font15.aaf" read from the
// archive. So far: loading, checking and releasing the fonts.
//
// ".aaf" file (big-endian): "AAFF", ascent, spacing, space width, leading (signed 16-bit each),
// 256 glyph entries of (width, height: signed 16-bit; offset: 32-bit), then the bitmap block. A
// glyph is `height` rows of `width` bytes, each a blend level 0-15, drawn with its bottom row
// just above the ascent row.
#pragma once

#include <cstddef>
#include <cstdint>

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
