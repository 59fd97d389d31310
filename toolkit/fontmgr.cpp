// Font manager: loading and checking ".aaf" fonts.
//
// A font file is untrusted. Before a font is accepted every glyph must lie inside the bitmap
// block (for the space, also at the space width, which is the width it is drawn at), fit between
// the top of the line and the ascent row, and hold only levels 0-15 (the rows of a blend table);
// the header numbers must not be negative. Drawing can then index without further checks.
#include "toolkit/fontmgr.h"

#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include "db/db.h"
#include "base/memdbg.h"

FMFont gFontCache[FM_MAX_FONTS];

namespace {

constexpr const char* kTag = "fontmgr";
constexpr long kMaxFileSize = 16L << 20;

// The supported hosts are little-endian: a big-endian number read from the file is turned around.
int16_t be16(const uint8_t* p) {
  int16_t v;
  std::memcpy(&v, p, 2);
  Swap2(&v);
  return v;
}

uint32_t be32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, 4);
  Swap4(&v);
  return v;
}

// Bitmap bytes of a glyph drawn `w` pixels wide and `h` rows high from `offset`, inside `size`
// bytes, all levels below 16.
bool glyph_sound(const uint8_t* bitmap, uint32_t size, uint32_t offset, int w, int h) {
  const uint64_t bytes = uint64_t(w) * uint64_t(h);
  if (uint64_t(offset) + bytes > size) return false;
  for (uint64_t i = 0; i < bytes; ++i)
    if (bitmap[offset + i] >= FM_LEVELS) return false;
  return true;
}

}  // namespace

void Swap2(void* p) {
  uint8_t* b = static_cast<uint8_t*>(p);
  std::swap(b[0], b[1]);
}

void Swap4(void* p) {
  uint8_t* b = static_cast<uint8_t*>(p);
  std::swap(b[0], b[3]);
  std::swap(b[1], b[2]);
}

int FMLoadFontMem(int n, const void* data, size_t size) {
  if (n < 0 || n >= FM_MAX_FONTS) return -1;
  FMFreeFont(n);
  if (!data || size < FM_BITMAP_START || size > size_t(kMaxFileSize)) return -1;
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (be32(p) != FM_MAGIC) return -1;
  FMFont f{};
  f.ascent = be16(p + 4);
  f.spacing = be16(p + 6);
  f.spaceWidth = be16(p + 8);
  f.leading = be16(p + 10);
  if (f.ascent < 1 || f.spacing < 0 || f.spaceWidth < 0 || f.leading < 0) return -1;
  const uint8_t* bitmap = p + FM_BITMAP_START;
  const uint32_t bitmap_size = uint32_t(size - FM_BITMAP_START);
  for (int c = 0; c < 256; ++c) {
    const uint8_t* e = p + FM_HEADER_SIZE + size_t(c) * 8;
    FMGlyph g{be16(e), be16(e + 2), be32(e + 4)};
    if (g.width < 0 || g.height < 0 || g.height > f.ascent) return -1;
    if (!glyph_sound(bitmap, bitmap_size, g.offset, g.width, g.height)) return -1;
    if (c == ' ' && !glyph_sound(bitmap, bitmap_size, g.offset, f.spaceWidth, g.height)) return -1;
    if (g.width > f.maxWidth) f.maxWidth = g.width;
    f.glyphs[c] = g;
  }
  f.bitmapSize = bitmap_size;
  f.bitmap = static_cast<uint8_t*>(MYMALLOC(bitmap_size ? bitmap_size : 1, kTag));
  if (bitmap_size) std::memcpy(f.bitmap, bitmap, bitmap_size);
  gFontCache[n] = f;
  return 0;
}

int FMLoadFont(int n) {
  if (n < 0 || n >= FM_MAX_FONTS) return -1;
  FMFreeFont(n);
  char name[32];
  std::snprintf(name, sizeof name, "font%d.aaf", n);
  db_file* f = db_fopen(name, "rb");
  if (!f) return -1;
  const long len = db_filelength(f);
  int rc = -1;
  if (len >= long(FM_BITMAP_START) && len <= kMaxFileSize) {
    std::vector<uint8_t> bytes(static_cast<size_t>(len));
    if (db_fread(bytes.data(), 1, bytes.size(), f) == bytes.size()) rc = FMLoadFontMem(n, bytes.data(), bytes.size());
  }
  db_fclose(f);
  return rc;
}

void FMFreeFont(int n) {
  if (n < 0 || n >= FM_MAX_FONTS) return;
  if (gFontCache[n].bitmap) MYFREE(gFontCache[n].bitmap, kTag);
  gFontCache[n] = FMFont{};
}
