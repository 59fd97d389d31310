// Picture loading by extension, palette remapping, whole-file loads and cropping.
#include "base/datafile.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "color/color.h"
#include "db/db.h"
#include "base/memdbg.h"
#include "base/pcx.h"

namespace {

uint8_t pal[768];

const char* sameName(const char* name) { return name; }

datafile_name_fn mangleName = sameName;
datafile_load_fn loadFunc = nullptr;

const char* mangled(const char* name) {
  const char* m = mangleName(name);
  return m ? m : name;
}

bool isPcx(const char* name) {
  const char* dot = std::strrchr(name, '.');
  if (!dot) return false;
  const char* ext = dot + 1;
  static const char want[] = "pcx";
  for (int i = 0; i < 4; ++i) {
    if (std::tolower(static_cast<unsigned char>(ext[i])) != want[i]) return false;
  }
  return true;
}

void convert(uint8_t* pixels, const uint8_t* palette, int width, int height, int shift) {
  if (!pixels || !palette || width <= 0 || height <= 0) return;
  uint8_t map[256];
  map[0] = 0;
  for (int i = 1; i < 256; ++i) {
    const int r = palette[i * 3] >> shift, g = palette[i * 3 + 1] >> shift, b = palette[i * 3 + 2] >> shift;
    map[i] = colorTable[((r & 31) << 10) + ((g & 31) << 5) + (b & 31)];
  }
  const size_t n = size_t(width) * size_t(height);
  for (size_t k = 0; k < n; ++k) pixels[k] = map[pixels[k]];
}

}  // namespace

uint8_t* loadRawDataFile(const char* name, int* width, int* height) {
  if (!name) return nullptr;
  name = mangled(name);
  if (isPcx(name)) return loadPCX(name, width, height, pal);
  if (loadFunc) return loadFunc(name, pal, width, height);
  return nullptr;
}

uint8_t* loadDataFile(const char* name, int* width, int* height) {
  int w = 0, h = 0;
  uint8_t* pixels = loadRawDataFile(name, &w, &h);
  if (pixels) datafileConvertData(pixels, pal, w, h);
  if (width) *width = w;
  if (height) *height = h;
  return pixels;
}

uint8_t* load256Palette(const char* name) {
  int w = 0, h = 0;
  uint8_t* pixels = loadRawDataFile(name, &w, &h);
  if (!pixels) return nullptr;
  MYFREE(pixels, "datafile");
  return pal;
}

uint8_t* datafileGetPalette(void) { return pal; }

void datafileConvertData(uint8_t* pixels, const uint8_t* palette, int width, int height) {
  convert(pixels, palette, width, height, 3);
}

void datafileConvertDataVGA(uint8_t* pixels, const uint8_t* palette, int width, int height) {
  convert(pixels, palette, width, height, 1);
}

uint8_t* datafileLoadBlock(const char* name, int* size) {
  if (size) *size = 0;
  if (!name) return nullptr;
  db_file* f = db_fopen(mangled(name), "rb");
  if (!f) return nullptr;
  const long length = db_filelength(f);
  if (length < 0) {
    db_fclose(f);
    return nullptr;
  }
  auto* buf = static_cast<uint8_t*>(MYMALLOC(length > 0 ? size_t(length) : 1, "datafile"));
  const size_t got = length > 0 ? db_fread(buf, 1, size_t(length), f) : 0;
  db_fclose(f);
  if (got != size_t(length)) {
    MYFREE(buf, "datafile");
    return nullptr;
  }
  if (size) *size = int(length);
  return buf;
}

void trimBuffer(uint8_t* pixels, int* width, int* height) {
  if (!pixels || !width || !height || *width <= 0 || *height <= 0) return;
  const int w = *width, h = *height;
  std::vector<uint8_t> kept;
  kept.reserve(size_t(w) * size_t(h));
  int rows = 0, last = 0;
  for (int y = 0; y < h; ++y) {
    const uint8_t* row = pixels + size_t(y) * size_t(w);
    if (row[0] == 0) break;
    int n = 0;
    while (n < w && row[n] != 0) ++n;
    kept.insert(kept.end(), row, row + n);
    ++rows;
    last = n;
  }
  if (!kept.empty()) std::memcpy(pixels, kept.data(), kept.size());
  *width = last;
  *height = rows;
}

void datafileSetFilenameFunc(datafile_name_fn fn) { mangleName = fn ? fn : sameName; }

void setBitmapLoadFunc(datafile_load_fn fn) { loadFunc = fn; }
