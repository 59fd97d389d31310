// BMP writers shared by the headless frame dump, the demo and the window system's screen dump.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/bmp.h"

namespace {

void put16(std::vector<uint8_t>& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
}

// The file and info headers of a BMP without compression; bits per pixel 8 (with colours) or 24.
void header(std::vector<uint8_t>& head, int width, int height, int bits, uint32_t image, uint32_t offset) {
  head.push_back('B');
  head.push_back('M');
  put32(head, image + offset);
  put32(head, 0);
  put32(head, offset);
  put32(head, 40);
  put32(head, uint32_t(width));
  put32(head, uint32_t(height));
  put16(head, 1);
  put16(head, unsigned(bits));
  for (int i = 0; i < 6; ++i) put32(head, 0);
}

// One channel of a 16-bit pixel widened to 0-255.
uint8_t widen(unsigned pixel, uint32_t mask) {
  if (!mask) return 0;
  int low = 0;
  while (!((mask >> low) & 1)) ++low;
  uint32_t top = mask >> low;
  return uint8_t(((pixel & mask) >> low) * 255 / top);
}

}  // namespace

int plat_write_bmp8(FILE* f, int width, int height, const uint8_t* pixels, int pitch,
                    const uint8_t* rgb6) {
  if (!f || !pixels || !rgb6 || width <= 0 || height <= 0 || pitch < width) return -1;
  // Rows are stored to a multiple of 4 bytes, as the format requires; for the usual screen
  // widths (multiples of 4) there is no fill and the file is width x height + 1078 bytes.
  const uint32_t row = (uint32_t(width) + 3) & ~3u;
  const uint32_t image = row * uint32_t(height);
  std::vector<uint8_t> head;
  head.reserve(1078);
  header(head, width, height, 8, image, 1078);
  for (int i = 0; i < 256; ++i) {
    head.push_back(uint8_t((rgb6[i * 3 + 2] & 63) << 2));
    head.push_back(uint8_t((rgb6[i * 3 + 1] & 63) << 2));
    head.push_back(uint8_t((rgb6[i * 3] & 63) << 2));
    head.push_back(0);
  }
  if (std::fwrite(head.data(), 1, head.size(), f) != head.size()) return -1;
  std::vector<uint8_t> line(row, 0);
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* src = pixels + size_t(y) * size_t(pitch);
    std::copy(src, src + width, line.begin());
    if (std::fwrite(line.data(), 1, row, f) != row) return -1;
  }
  return std::fflush(f) == 0 ? 0 : -1;
}

int plat_write_bmp16(FILE* f, int width, int height, const uint8_t* pixels, int pitch, uint32_t rmask,
                     uint32_t gmask, uint32_t bmask) {
  if (!f || !pixels || width <= 0 || height <= 0 || pitch < width * 2) return -1;
  const uint32_t row = (uint32_t(width) * 3 + 3) & ~3u;
  std::vector<uint8_t> head;
  header(head, width, height, 24, row * uint32_t(height), 54);
  if (std::fwrite(head.data(), 1, head.size(), f) != head.size()) return -1;
  std::vector<uint8_t> line(row, 0);
  for (int y = height - 1; y >= 0; --y) {
    const uint8_t* src = pixels + size_t(y) * size_t(pitch);
    for (int x = 0; x < width; ++x) {
      unsigned p = unsigned(src[x * 2]) | unsigned(src[x * 2 + 1]) << 8;  // little-endian pixels
      line[x * 3] = widen(p, bmask);
      line[x * 3 + 1] = widen(p, gmask);
      line[x * 3 + 2] = widen(p, rmask);
    }
    if (std::fwrite(line.data(), 1, row, f) != row) return -1;
  }
  return std::fflush(f) == 0 ? 0 : -1;
}
