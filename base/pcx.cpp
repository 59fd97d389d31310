// PCX picture loader.
#include "base/pcx.h"

#include <cstring>

#include "db/db.h"
#include "base/memdbg.h"

namespace {

inline unsigned le16(const uint8_t* p) { return unsigned(p[0]) | unsigned(p[1]) << 8; }

}  // namespace

uint8_t* pcxDecode(const uint8_t* data, size_t size, int* width, int* height, uint8_t* palette) {
  if (width) *width = 0;
  if (height) *height = 0;
  if (!data || size < PCX_HEADER_SIZE) return nullptr;
  const unsigned version = data[1];
  const unsigned xmin = le16(data + 4), ymin = le16(data + 6), xmax = le16(data + 8), ymax = le16(data + 10);
  const unsigned planes = data[65], bpl = le16(data + 66);
  if (xmax < xmin || ymax < ymin) return nullptr;
  const uint64_t w = xmax - xmin + 1, h = ymax - ymin + 1;
  const uint64_t line = uint64_t(bpl) * planes;
  // Every line is decoded in full at y * width, so its padding must lie beyond the width.
  if (line < w) return nullptr;
  // A run of two bytes gives at most 63 pixels: a picture needing more than that from the bytes
  // after the header cannot be complete, so it is refused before anything is allocated.
  const uint64_t total = h * line;
  const uint64_t avail = uint64_t(size - PCX_HEADER_SIZE);
  if (total > avail * 32 || total > 0x7FFFFFFFu) return nullptr;

  auto* pixels = static_cast<uint8_t*>(MYMALLOC(size_t(total), "pcx"));
  const uint8_t* in = data + PCX_HEADER_SIZE;
  const uint8_t* end = data + size;
  unsigned count = 0;  // pixels left in the current run; carried from one line into the next
  uint8_t value = 0;
  for (uint64_t y = 0; y < h; ++y) {
    uint8_t* out = pixels + size_t(y * w);
    uint64_t x = 0;
    while (x < line) {
      if (count == 0) {
        if (in >= end) {
          MYFREE(pixels, "pcx");
          return nullptr;
        }
        const uint8_t b = *in++;
        if ((b & 0xC0) == 0xC0) {
          if (in >= end) {
            MYFREE(pixels, "pcx");
            return nullptr;
          }
          count = b & 0x3F;  // an empty run (C0) writes nothing
          value = *in++;
          continue;
        }
        count = 1;
        value = b;
      }
      out[x++] = value;
      --count;
    }
  }

  if (version == 5 && palette && size >= PCX_HEADER_SIZE + PCX_PALETTE_SIZE + 1 &&
      data[size - PCX_PALETTE_SIZE - 1] == PCX_PALETTE_MARK) {
    std::memcpy(palette, data + size - PCX_PALETTE_SIZE, PCX_PALETTE_SIZE);
  }
  if (width) *width = int(w);
  if (height) *height = int(h);
  return pixels;
}

uint8_t* loadPCX(const char* name, int* width, int* height, uint8_t* palette) {
  if (width) *width = 0;
  if (height) *height = 0;
  if (!name) return nullptr;
  db_file* f = db_fopen(name, "rb");
  if (!f) return nullptr;
  const long length = db_filelength(f);
  if (length < long(PCX_HEADER_SIZE)) {
    db_fclose(f);
    return nullptr;
  }
  auto* data = static_cast<uint8_t*>(MYMALLOC(size_t(length), "pcx"));
  const size_t got = db_fread(data, 1, size_t(length), f);
  db_fclose(f);
  uint8_t* pixels = got == size_t(length) ? pcxDecode(data, got, width, height, palette) : nullptr;
  MYFREE(data, "pcx");
  return pixels;
}
