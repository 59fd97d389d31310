// 8-bit BMP writer shared by the headless frame dump and the demo.
#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/headless.h"

namespace {

void put16(std::vector<uint8_t>& b, unsigned v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& b, uint32_t v) {
  put16(b, v & 0xFFFF);
  put16(b, v >> 16);
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
  head.push_back('B');
  head.push_back('M');
  put32(head, image + 1078);
  put32(head, 0);
  put32(head, 1078);
  put32(head, 40);
  put32(head, uint32_t(width));
  put32(head, uint32_t(height));
  put16(head, 1);
  put16(head, 8);
  for (int i = 0; i < 6; ++i) put32(head, 0);
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
