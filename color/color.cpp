// Colour system: palette, inverse colour table, intensity, mix and blend tables, gamma, fades and
// the palette stack.
#include "color/color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/os.h"

uint8_t cmap[COLOR_NUM * 3];
uint8_t mappedColor[COLOR_NUM];
uint8_t colorTable[COLOR_TABLE_SIZE];
uint8_t intensityColorTable[COLOR_NUM][COLOR_NUM];
uint8_t colorMixAddTable[COLOR_NUM][COLOR_NUM];
uint8_t colorMixMulTable[COLOR_NUM][COLOR_NUM];
uint8_t* blendTable[COLOR_NUM];
uint8_t systemCmap[COLOR_NUM * 3];
uint8_t currentGammaTable[64] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
    22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43,
    44, 45, 46, 47, 48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
double currentGamma = 1.0;
uint8_t* colorPaletteStack[COLOR_PALETTE_STACK];
int tos = 0;
int colorsInited = 0;

namespace {

const char* errorStr = "color: No errors\n";
constexpr const char* kNotFound = "color: color table not found\n";
constexpr const char* kDamaged = "color: color table damaged\n";
constexpr const char* kNoMemory = "color: out of memory\n";
constexpr const char* kOverflow = "color: colorpalettestack overflow\n";
constexpr const char* kUnderflow = "color: colorpalettestack underflow";

// --- default file hooks: plain files through the OS services ---
int std_open(const char* name, int) { return os_open(name, OS_O_RDONLY); }
int std_read(int h, void* buf, int size) {
  if (h < 0 || size < 0) return -1;
  return int(os_read(h, buf, static_cast<unsigned long>(size)));
}
void std_close(int h) {
  if (h >= 0) os_close(h);
}

color_open_fn openFunc = std_open;
color_read_fn readFunc = std_read;
color_close_fn closeFunc = std_close;
color_mangle_fn mangleFunc = nullptr;
color_alloc_fn allocFunc = std::malloc;
color_realloc_fn reallocFunc = std::realloc;
color_free_fn freeFunc = std::free;
// The display's palette calls, registered by the display (nothing is handed over without one).
color_palette_fn paletteFunc = nullptr;
color_palette_entries_fn paletteEntriesFunc = nullptr;

// 5-bit components of palette entry i.
inline int r5(int i) { return cmap[i * 3] >> 1; }
inline int g5(int i) { return cmap[i * 3 + 1] >> 1; }
inline int b5(int i) { return cmap[i * 3 + 2] >> 1; }
inline int lookup(int r, int g, int b) { return colorTable[(r << 10) + (g << 5) + b]; }

// Reference count word in front of a blend table.
inline uint32_t& refcount(uint8_t* table) { return reinterpret_cast<uint32_t*>(table)[-1]; }

void fillBlendTable(int c, uint8_t* t) {
  for (int i = 0; i < COLOR_NUM; ++i) t[i] = uint8_t(i);
  const int cr = r5(c), cg = g5(c), cb = b5(c);
  for (int row = 1; row <= 7; ++row) {
    uint8_t* out = t + row * COLOR_NUM;
    for (int i = 0; i < COLOR_NUM; ++i) {
      out[i] = uint8_t(lookup(((7 - row) * r5(i) + row * cr) / 7, ((7 - row) * g5(i) + row * cg) / 7,
                              ((7 - row) * b5(i) + row * cb) / 7));
    }
  }
  for (int row = 8; row < COLOR_BLEND_ROWS; ++row) {
    std::memset(t + row * COLOR_NUM, calculateColor((row - 8) * 65536 / 7 + 65535, c), COLOR_NUM);
  }
}

void recomputeDerived() {
  setIntensityTables();
  setMixTable();
  rebuildColorBlendTables();
}

// Hands a palette (0-63) to the display through the gamma table.
void handOver(const uint8_t* pal, int first, int count) {
  uint8_t mapped[COLOR_NUM * 3];
  for (int k = 0; k < count * 3; ++k) mapped[k] = currentGammaTable[pal[k] & 63];
  if (first == 0 && count == COLOR_NUM && paletteFunc)
    paletteFunc(mapped);
  else if (paletteEntriesFunc)
    paletteEntriesFunc(mapped, first, count);
}

// --- inverse colour map: incremental walk over a 32x32x32 grid of cells of size 8 ---
struct InverseMap {
  static constexpr int kMax = 32;        // levels per component
  static constexpr int64_t kSq = 64;     // cell size squared
  static constexpr int64_t kStep = 128;  // twice the cell size squared
  static constexpr long kG = 32, kR = 1024;

  uint32_t* dist;
  uint8_t* map;
  int index;
  int rcenter, gcenter, bcenter;
  int64_t cdist, crinc, cginc, cbinc;
  long cdp;
  // position of the red walk (modified by the green walk when it moves its start)
  int64_t rdist;
  long rdp;
  // position of the green walk (modified by the blue walk when it moves its start)
  int64_t gdist;
  long gdp;
  // remembered starts
  int ghere, gmin, gmax;
  int64_t ginc;
  int bhere, bmin, bmax;
  int64_t binc;

  bool better(long at, int64_t d) const { return int64_t(dist[at]) > d; }
  void take(long at, int64_t d) {
    dist[at] = uint32_t(d);
    map[at] = uint8_t(index);
  }

  int blueLoop(int restart) {
    if (restart) {
      bhere = bcenter;
      bmin = 0;
      bmax = kMax - 1;
      binc = cbinc;
    }
    int detect = 0;
    int b = bhere;
    int64_t bdist = gdist, bxx = binc;
    long dp = gdp;
    for (; b <= bmax; ++b, ++dp, bdist += bxx, bxx += kStep) {
      if (better(dp, bdist)) {
        if (b > bhere) {
          bhere = b;
          gdp = dp;
          gdist = bdist;
          binc = bxx;
        }
        detect = 1;
        break;
      }
    }
    for (; b <= bmax; ++b, ++dp, bdist += bxx, bxx += kStep) {
      if (!better(dp, bdist)) break;
      take(dp, bdist);
    }
    bxx = binc - kStep;
    bdist = gdist - bxx;
    dp = gdp - 1;
    if (!detect) {
      for (b = bhere - 1; b >= bmin; --b, --dp, bxx -= kStep, bdist -= bxx) {
        if (better(dp, bdist)) {
          bhere = b;
          gdp = dp;
          gdist = bdist;
          binc = bxx;
          detect = 1;
          break;
        }
      }
    } else {
      b = bhere - 1;
    }
    for (; b >= bmin; --b, --dp, bxx -= kStep, bdist -= bxx) {
      if (!better(dp, bdist)) break;
      take(dp, bdist);
    }
    return detect;
  }

  int greenLoop(int restart) {
    if (restart) {
      ghere = gcenter;
      gmin = 0;
      gmax = kMax - 1;
      ginc = cginc;
    }
    int detect = 0;
    int g, first;
    int64_t gxx, gcdist;
    long gcdp;
    for (g = ghere, gcdist = gdist = rdist, gxx = ginc, gcdp = gdp = rdp, first = 1; g <= gmax;
         ++g, gdp += kG, gcdp += kG, gdist += gxx, gcdist += gxx, gxx += kStep, first = 0) {
      if (blueLoop(first)) {
        if (!detect) {
          if (g > ghere) {
            ghere = g;
            rdp = gcdp;
            rdist = gcdist;
            ginc = gxx;
          }
          detect = 1;
        }
      } else if (detect) {
        break;
      }
    }
    for (g = ghere - 1, gxx = ginc - kStep, gcdist = gdist = rdist - gxx, gcdp = gdp = rdp - kG, first = 1;
         g >= gmin; --g, gdp -= kG, gcdp -= kG, gxx -= kStep, gdist -= gxx, gcdist -= gxx, first = 0) {
      if (blueLoop(first)) {
        if (!detect) {
          ghere = g;
          rdp = gcdp;
          rdist = gcdist;
          ginc = gxx;
          detect = 1;
        }
      } else if (detect) {
        break;
      }
    }
    return detect;
  }

  int redLoop() {
    int detect = 0;
    int r, first;
    int64_t rxx;
    for (r = rcenter, rdist = cdist, rxx = crinc, rdp = cdp, first = 1; r < kMax;
         ++r, rdp += kR, rdist += rxx, rxx += kStep, first = 0) {
      if (greenLoop(first))
        detect = 1;
      else if (detect)
        break;
    }
    for (r = rcenter - 1, rxx = crinc - kStep, rdist = cdist - rxx, rdp = cdp - kR, first = 1; r >= 0;
         --r, rdp -= kR, rxx -= kStep, rdist -= rxx, first = 0) {
      if (greenLoop(first))
        detect = 1;
      else if (detect)
        break;
    }
    return detect;
  }

  void addColor(int i, int red, int green, int blue) {
    index = i;
    rcenter = red >> 3;
    gcenter = green >> 3;
    bcenter = blue >> 3;
    const unsigned ro = unsigned((red - (rcenter * 8 + 4)) * (red - (rcenter * 8 + 4)));
    const unsigned go = unsigned((green - (gcenter * 8 + 4)) * (green - (gcenter * 8 + 4)));
    const unsigned bo = unsigned((blue - (bcenter * 8 + 4)) * (blue - (bcenter * 8 + 4)));
    // Red and green offsets are weighted down against blue inside the colour's own cell.
    cdist = int64_t(ro / 9u + go / 36u + bo);
    crinc = 2 * ((rcenter + 1) * kSq - red * 8);
    cginc = 2 * ((gcenter + 1) * kSq - green * 8);
    cbinc = 2 * ((bcenter + 1) * kSq - blue * 8);
    cdp = rcenter * kR + gcenter * kG + bcenter;
    redLoop();
  }
};

}  // namespace

int colorFloat15(float r, float g, float b) {
  auto scale = [](float v) {
    if (!(v > 0.0f)) return 0;
    if (v >= 1.0f) return 31;
    return int(v * 31.0f);
  };
  return colorRGB15(scale(r), scale(g), scale(b));
}

void colorInitIO(color_open_fn open, color_read_fn read, color_close_fn close) {
  if (open && read && close) {
    openFunc = open;
    readFunc = read;
    closeFunc = close;
  } else {
    openFunc = std_open;
    readFunc = std_read;
    closeFunc = std_close;
  }
}

void colorRegisterAlloc(color_alloc_fn alloc, color_realloc_fn realloc, color_free_fn release) {
  if (alloc && realloc && release) {
    allocFunc = alloc;
    reallocFunc = realloc;
    freeFunc = release;
  } else {
    allocFunc = std::malloc;
    reallocFunc = std::realloc;
    freeFunc = std::free;
  }
}

void colorSetPaletteHook(color_palette_fn all, color_palette_entries_fn entries) {
  paletteFunc = all;
  paletteEntriesFunc = entries;
}

void colorSetNameMangler(color_mangle_fn fn) { mangleFunc = fn; }

int initColors(void) {
  if (colorsInited) return 1;
  colorsInited = 1;
  colorGamma(1.0);
  if (!loadColorTable("color.pal")) return 0;
  setSystemPalette(cmap);
  return 1;
}

void colorsClose(void) {
  for (int i = 0; i < COLOR_NUM; ++i) freeColorBlendTable(i);
  for (int i = 0; i < tos; ++i) {
    freeFunc(colorPaletteStack[i]);
    colorPaletteStack[i] = nullptr;
  }
  tos = 0;
}

int loadColorTable(const char* name) {
  if (!name) {
    errorStr = kNotFound;
    return 0;
  }
  if (mangleFunc) {
    const char* mangled = mangleFunc(name);
    if (mangled) name = mangled;
  }
  const int h = openFunc(name, COLOR_OPEN_BINARY);
  if (h < 0) {
    errorStr = kNotFound;
    return 0;
  }
  // Read the whole file (one byte more than the largest valid size, to see a file that is too long)
  // before anything is changed, so that a damaged file leaves the tables as they were.
  const size_t cap = COLOR_FILE_TAGGED + 1;
  uint8_t* buf = static_cast<uint8_t*>(allocFunc(cap));
  if (!buf) {
    closeFunc(h);
    errorStr = kNoMemory;
    return 0;
  }
  size_t total = 0;
  while (total < cap) {
    const size_t want = std::min<size_t>(cap - total, 65536);
    const int got = readFunc(h, buf + total, int(want));
    if (got <= 0) break;
    total += size_t(std::min<int>(got, int(want)));
  }
  closeFunc(h);

  const bool untagged = total == COLOR_FILE_UNTAGGED;
  const bool tagged = total == COLOR_FILE_TAGGED && std::memcmp(buf + COLOR_FILE_UNTAGGED, COLOR_FILE_TAG, 4) == 0;
  if (!untagged && !tagged) {
    freeFunc(buf);
    errorStr = kDamaged;
    return 0;
  }
  for (int i = 0; i < COLOR_NUM; ++i) {
    const uint8_t* e = buf + i * 3;
    const bool ok = e[0] <= 63 && e[1] <= 63 && e[2] <= 63;
    mappedColor[i] = ok ? 1 : 0;
    for (int c = 0; c < 3; ++c) cmap[i * 3 + c] = ok ? e[c] : 0;
  }
  std::memcpy(colorTable, buf + COLOR_FILE_PALETTE, COLOR_TABLE_SIZE);
  if (tagged) {
    const uint8_t* p = buf + COLOR_FILE_UNTAGGED + 4;
    std::memcpy(intensityColorTable, p, sizeof intensityColorTable);
    std::memcpy(colorMixAddTable, p + 65536, sizeof colorMixAddTable);
    std::memcpy(colorMixMulTable, p + 2 * 65536, sizeof colorMixMulTable);
  } else {
    setIntensityTables();
    setMixTable();
  }
  rebuildColorBlendTables();
  freeFunc(buf);
  return 1;
}

const char* colorError(void) { return errorStr; }

int RGB2Index(int rgb15) { return colorTable[rgb15 & 0x7FFF]; }

int Index2RGB(int index) {
  index &= 255;
  return colorRGB15(r5(index), g5(index), b5(index));
}

int Color2RGB(int index) { return Index2RGB(index); }

int calculateColor(int intensity, int index) {
  intensity = std::clamp(intensity, 0, 131071);
  return intensityColorTable[index & 255][intensity >> 9];
}

int colorMixAdd(int a, int b) { return colorMixAddTable[a & 255][b & 255]; }
int colorMixMul(int a, int b) { return colorMixMulTable[a & 255][b & 255]; }

uint8_t* getColorBlendTable(int index) {
  if (index < 0 || index >= COLOR_NUM) return nullptr;
  if (blendTable[index]) {
    ++refcount(blendTable[index]);
    return blendTable[index];
  }
  uint8_t* block = static_cast<uint8_t*>(allocFunc(sizeof(uint32_t) + COLOR_BLEND_SIZE));
  if (!block) {
    errorStr = kNoMemory;
    return nullptr;
  }
  uint8_t* t = block + sizeof(uint32_t);
  refcount(t) = 1;
  fillBlendTable(index, t);
  blendTable[index] = t;
  return t;
}

void freeColorBlendTable(int index) {
  if (index < 0 || index >= COLOR_NUM || !blendTable[index]) return;
  uint8_t* t = blendTable[index];
  if (--refcount(t) == 0) {
    freeFunc(t - sizeof(uint32_t));
    blendTable[index] = nullptr;
  }
}

int colorMappedColor(int i) { return i >= 0 && i < COLOR_NUM ? mappedColor[i] : 0; }

int colorBuildColorTable(const uint8_t* palette, const uint8_t* skip) {
  if (!palette) return 1;
  uint32_t* dist = static_cast<uint32_t*>(allocFunc(sizeof(uint32_t) * COLOR_TABLE_SIZE));
  if (!dist) {
    errorStr = kNoMemory;
    return 1;
  }
  std::fill(dist, dist + COLOR_TABLE_SIZE, UINT32_MAX);
  std::memset(colorTable, 0, sizeof colorTable);
  InverseMap walk{};
  walk.dist = dist;
  walk.map = colorTable;
  for (int i = 0; i < COLOR_NUM; ++i) {
    const uint8_t* e = palette + i * 3;
    if (skip && skip[i]) {
      mappedColor[i] = 0;
      cmap[i * 3] = cmap[i * 3 + 1] = cmap[i * 3 + 2] = 0;
      continue;
    }
    walk.addColor(i, e[0], e[1], e[2]);
    for (int c = 0; c < 3; ++c) cmap[i * 3 + c] = e[c] >> 2;
    mappedColor[i] = 1;
  }
  freeFunc(dist);
  recomputeDerived();
  return 0;
}

int colorSetColorTable(const uint8_t* palette, const uint8_t* skip) {
  if (colorBuildColorTable(palette, skip)) return 1;
  setSystemPalette(cmap);
  return 0;
}

void setColorPalette(const uint8_t* pal) {
  if (!pal) return;
  for (int k = 0; k < COLOR_NUM * 3; ++k) cmap[k] = pal[k] & 63;
  std::memset(mappedColor, 1, sizeof mappedColor);
}

void setColorPaletteEntry(int i, int r, int g, int b) {
  if (i < 0 || i >= COLOR_NUM) return;
  cmap[i * 3] = uint8_t(r & 63);
  cmap[i * 3 + 1] = uint8_t(g & 63);
  cmap[i * 3 + 2] = uint8_t(b & 63);
}

void getColorPaletteEntry(int i, int* r, int* g, int* b) {
  i &= 255;
  if (r) *r = cmap[i * 3];
  if (g) *g = cmap[i * 3 + 1];
  if (b) *b = cmap[i * 3 + 2];
}

uint8_t* getColorPalette(void) { return cmap; }

void setIntensityTableColor(int c) {
  if (c < 0 || c >= COLOR_NUM) return;
  uint8_t* row = intensityColorTable[c];
  if (!mappedColor[c]) {
    std::memset(row, 0, COLOR_NUM);
    return;
  }
  const int r = r5(c), g = g5(c), b = b5(c);
  for (int k = 0; k < 128; ++k) {
    const int f = k * 512;
    row[k] = uint8_t(lookup((r * f) >> 16, (g * f) >> 16, (b * f) >> 16));
    row[128 + k] = uint8_t(lookup(r + (((31 - r) * f) >> 16), g + (((31 - g) * f) >> 16), b + (((31 - b) * f) >> 16)));
  }
}

void setIntensityTables(void) {
  for (int c = 0; c < COLOR_NUM; ++c) setIntensityTableColor(c);
}

void setMixTableColor(int a) {
  if (a < 0 || a >= COLOR_NUM) return;
  for (int b = 0; b < COLOR_NUM; ++b) {
    if (!mappedColor[a] || !mappedColor[b]) {
      const int v = !mappedColor[a] && mappedColor[b] ? b : a;
      colorMixAddTable[a][b] = colorMixMulTable[a][b] = uint8_t(v);
      continue;
    }
    const int sr = r5(a) + r5(b), sg = g5(a) + g5(b), sb = b5(a) + b5(b);
    const int m = std::max({sr, sg, sb});
    if (m <= 31) {
      colorMixAddTable[a][b] = uint8_t(lookup(sr, sg, sb));
    } else {
      const int over = m - 31;
      const int base = lookup(std::max(sr - over, 0), std::max(sg - over, 0), std::max(sb - over, 0));
      colorMixAddTable[a][b] = uint8_t(calculateColor(65536 + over * 512, base));
    }
    colorMixMulTable[a][b] = uint8_t(lookup((r5(a) * r5(b)) >> 5, (g5(a) * g5(b)) >> 5, (b5(a) * b5(b)) >> 5));
  }
}

void setMixTable(void) {
  for (int a = 0; a < COLOR_NUM; ++a) setMixTableColor(a);
}

void rebuildColorBlendTables(void) {
  for (int c = 0; c < COLOR_NUM; ++c)
    if (blendTable[c]) fillBlendTable(c, blendTable[c]);
}

void setSystemPalette(const uint8_t* pal) {
  if (!pal) return;
  if (pal != systemCmap) std::memmove(systemCmap, pal, sizeof systemCmap);
  handOver(systemCmap, 0, COLOR_NUM);
}

void setSystemPaletteEntries(const uint8_t* pal, int first, int last) {
  if (!pal) return;
  // Entries outside 0-255 are dropped, keeping the triples of the ones inside in line.
  int lo = std::max(first, 0), hi = std::min(last, COLOR_NUM - 1);
  if (lo > hi) return;
  const uint8_t* src = pal + (lo - first) * 3;
  std::memmove(systemCmap + lo * 3, src, size_t(hi - lo + 1) * 3);
  handOver(systemCmap + lo * 3, lo, hi - lo + 1);
}

void setSystemPaletteEntry(int i, int r, int g, int b) {
  const uint8_t e[3] = {uint8_t(r & 63), uint8_t(g & 63), uint8_t(b & 63)};
  setSystemPaletteEntries(e, i, i);
}

uint8_t* getSystemPalette(void) { return systemCmap; }

void getSystemPaletteEntry(int i, int* r, int* g, int* b) {
  i &= 255;
  if (r) *r = systemCmap[i * 3];
  if (g) *g = systemCmap[i * 3 + 1];
  if (b) *b = systemCmap[i * 3 + 2];
}

void setBlackSystemPalette(void) {
  static const uint8_t black[COLOR_NUM * 3] = {};
  setSystemPalette(black);
}

void fadeSystemPalette(const uint8_t* from, const uint8_t* to, int steps) {
  if (!to) return;
  // Either end may be systemCmap itself, which every step overwrites: fade between copies.
  uint8_t start[COLOR_NUM * 3], last[COLOR_NUM * 3];
  std::memcpy(last, to, sizeof last);
  if (from) {
    std::memcpy(start, from, sizeof start);
    uint8_t step[COLOR_NUM * 3];
    for (int s = 0; s < steps; ++s) {
      for (int k = 0; k < COLOR_NUM * 3; ++k) {
        const int f = start[k], t = last[k];
        step[k] = uint8_t(f - ((f - t) * s) / steps);
      }
      setSystemPalette(step);
    }
  }
  setSystemPalette(last);
}

void colorGamma(double gamma) {
  if (!(gamma > 0.0) || !std::isfinite(gamma)) return;
  currentGamma = gamma;
  // Each 6-bit level is scaled to 0-1, raised to the gamma and scaled back, so that 0 and 63 stay put.
  for (int v = 0; v < 64; ++v) {
    double g = 63.0 * std::pow(v / 63.0, gamma) + 1e-9;
    currentGammaTable[v] = uint8_t(std::clamp(int(g), 0, 63));
  }
  handOver(systemCmap, 0, COLOR_NUM);
}

double colorGetGamma(void) { return currentGamma; }

int colorPushColorPalette(void) {
  if (tos >= COLOR_PALETTE_STACK) {
    errorStr = kOverflow;
    return 0;
  }
  uint8_t* state = static_cast<uint8_t*>(allocFunc(COLOR_NUM + COLOR_NUM * 3 + COLOR_TABLE_SIZE));
  if (!state) {
    errorStr = kNoMemory;
    return 0;
  }
  std::memcpy(state, mappedColor, COLOR_NUM);
  std::memcpy(state + COLOR_NUM, cmap, COLOR_NUM * 3);
  std::memcpy(state + COLOR_NUM * 4, colorTable, COLOR_TABLE_SIZE);
  colorPaletteStack[tos++] = state;
  return 1;
}

int colorPopColorPalette(void) {
  if (tos <= 0) {
    errorStr = kUnderflow;
    return 0;
  }
  uint8_t* state = colorPaletteStack[--tos];
  colorPaletteStack[tos] = nullptr;
  std::memcpy(mappedColor, state, COLOR_NUM);
  std::memcpy(cmap, state + COLOR_NUM, COLOR_NUM * 3);
  std::memcpy(colorTable, state + COLOR_NUM * 4, COLOR_TABLE_SIZE);
  freeFunc(state);
  recomputeDerived();
  return 1;
}
