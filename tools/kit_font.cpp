// Font converter of setupkit: renders a TrueType font with FreeType into the window system's
// 1-bit ".fon" format, or with --aaf into the installer's 16-level ".aaf" format.
//
//   setupkit font TTF --size N -o fontN.fon
//   setupkit font TTF --size N --aaf -o fontN.aaf
//
// Character codes 0-255 are taken as Latin-1 (the same numbers in Unicode). Every glyph's cell is
// its advance less the spacing the formats add after each glyph (one pixel, none for a fixed-width
// font, whose cells then keep the font's pitch), widened where the ink reaches further; ink left
// of the pen is moved into the cell. Control codes get an empty
// glyph of width 0, other codes the font does not map an empty glyph as wide as a space.
#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tools/kit_convert.h"

namespace {

constexpr int kMinSize = 4;
constexpr int kMaxSize = 256;

// One rendered glyph in the line's cell: `height` rows (the line height) of `width` coverage
// values 0-255, row 0 the top of the line.
struct Cell {
  int width = 0;
  std::vector<uint8_t> cover;  // width * line height
  bool mapped = false;
};

bool is_control(int c) { return c < 32 || (c >= 127 && c < 160); }

struct Renderer {
  FT_Library lib = nullptr;
  FT_Face face = nullptr;
  int asc = 0, desc = 0;
  int spacing = 1;
  ~Renderer() {
    if (face) FT_Done_Face(face);
    if (lib) FT_Done_FreeType(lib);
  }
};

// Renders code `c` (gray, or 1-bit when `mono`) into a cell of the line height.
bool render(Renderer& r, int c, bool mono, Cell& out, int space_width) {
  out = Cell{};
  const int line = r.asc + r.desc;
  FT_UInt index = FT_Get_Char_Index(r.face, FT_ULong(c));
  if (index == 0 || is_control(c)) {
    out.width = is_control(c) ? 0 : space_width;
    out.cover.assign(size_t(out.width) * size_t(line), 0);
    return true;
  }
  FT_Int32 flags = FT_LOAD_RENDER | (mono ? FT_LOAD_TARGET_MONO : FT_LOAD_TARGET_NORMAL);
  if (FT_Load_Glyph(r.face, index, flags) != 0) return false;
  FT_GlyphSlot g = r.face->glyph;
  const FT_Bitmap& bm = g->bitmap;
  const int advance = int((g->advance.x + 32) >> 6);
  const int shift = g->bitmap_left < 0 ? -g->bitmap_left : 0;
  const int left = g->bitmap_left + shift;
  out.width = std::max({advance - r.spacing + shift, left + int(bm.width), 0});
  out.mapped = true;
  out.cover.assign(size_t(out.width) * size_t(line), 0);
  for (unsigned row = 0; row < bm.rows; ++row) {
    const int y = r.asc - g->bitmap_top + int(row);
    if (y < 0 || y >= line) continue;
    const unsigned char* src = bm.buffer + ptrdiff_t(row) * bm.pitch;
    for (unsigned col = 0; col < bm.width; ++col) {
      uint8_t v;
      if (bm.pixel_mode == FT_PIXEL_MODE_MONO)
        v = (src[col >> 3] & (0x80 >> (col & 7))) ? 255 : 0;
      else if (bm.pixel_mode == FT_PIXEL_MODE_GRAY)
        v = uint8_t(bm.num_grays == 256 ? src[col] : src[col] * 255 / std::max<int>(1, bm.num_grays - 1));
      else
        return false;
      out.cover[size_t(y) * size_t(out.width) + size_t(left) + col] = v;
    }
  }
  return true;
}

void put_le32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
void put_be16(std::vector<uint8_t>& b, int v) {
  b.push_back(uint8_t(uint16_t(v) >> 8));
  b.push_back(uint8_t(v));
}
void put_be32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

// ".fon": glyph count, height, spacing, 8 bytes unused, (width, offset) per glyph, 1-bit rows.
std::vector<uint8_t> make_fon(const std::vector<Cell>& cells, int line, int spacing) {
  std::vector<uint8_t> head, data;
  put_le32(head, uint32_t(cells.size()));
  put_le32(head, uint32_t(line));
  put_le32(head, uint32_t(spacing));
  put_le32(head, 0);
  put_le32(head, 0);
  for (const Cell& c : cells) {
    put_le32(head, uint32_t(c.width));
    put_le32(head, uint32_t(data.size()));
    const int row_bytes = (c.width + 7) / 8;
    for (int y = 0; y < line; ++y) {
      size_t at = data.size();
      data.resize(at + size_t(row_bytes), 0);
      for (int x = 0; x < c.width; ++x)
        if (c.cover[size_t(y) * size_t(c.width) + size_t(x)] >= 128) data[at + size_t(x >> 3)] |= uint8_t(0x80 >> (x & 7));
    }
  }
  head.insert(head.end(), data.begin(), data.end());
  return head;
}

// ".aaf": glyphs stand on the bottom of the line (ascent field = the line's pixel height); each
// glyph keeps the rows from its first inked row down to the line's bottom, coverage as levels 0-7.
std::vector<uint8_t> make_aaf(const std::vector<Cell>& cells, int line, int leading, int spacing, int space_width) {
  std::vector<uint8_t> out, data;
  put_be32(out, 0x41414646u);
  put_be16(out, line);
  put_be16(out, spacing);
  put_be16(out, space_width);
  put_be16(out, leading);
  for (const Cell& c : cells) {
    int top = line;
    for (int y = 0; y < line && top == line; ++y)
      for (int x = 0; x < c.width; ++x)
        if (c.cover[size_t(y) * size_t(c.width) + size_t(x)] * 7 + 127 >= 255) {
          top = y;
          break;
        }
    int h = line - top;
    int w = c.width;
    put_be16(out, w);
    put_be16(out, h);
    put_be32(out, uint32_t(data.size()));
    for (int y = top; y < line; ++y)
      for (int x = 0; x < w; ++x) data.push_back(uint8_t((c.cover[size_t(y) * size_t(w) + size_t(x)] * 7 + 127) / 255));
  }
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

}  // namespace

const KitCommand kit_font_cmd = {
    "font",
    "font TTF --size N [--aaf] -o OUT",
    "Renders a TrueType font at N pixels to a 1-bit .fon font (glyphs 0 to 255, Latin-1), or\n"
    "with --aaf to the 16-level anti-aliased .aaf format.\n",
    {{"-o", "--output", true}, {"--size", nullptr, true}, {"--aaf", nullptr, false}}};

int kit_font(const std::vector<std::string>& args) {
  KitArgs a;
  if (int rc = kit_parse_command(kit_font_cmd, args, a); rc >= 0) return rc;
  if (a.pos.size() > 1) return kit_usage(kit_font_cmd, "font needs one TTF");
  const std::string* out_opt = kit_value(a, "-o");
  const std::string* size_opt = kit_value(a, "--size");
  const std::string ttf = a.pos.empty() ? "" : a.pos[0], out = out_opt ? *out_opt : "",
                    size_text = size_opt ? *size_opt : "";
  const bool aaf = kit_flag(a, "--aaf");
  if (ttf.empty() || out.empty() || size_text.empty())
    return kit_usage(kit_font_cmd, "font needs TTF, --size N and -o OUT");
  char* end = nullptr;
  errno = 0;
  long size = std::strtol(size_text.c_str(), &end, 10);
  if (errno || !end || *end || size < kMinSize || size > kMaxSize)
    return kit_usage(kit_font_cmd, "--size must be a number of pixels from " + std::to_string(kMinSize) + " to " +
                                       std::to_string(kMaxSize));

  Renderer r;
  if (FT_Init_FreeType(&r.lib) != 0) return kit_fail(ttf, "cannot start FreeType");
  if (std::FILE* probe = std::fopen(ttf.c_str(), "rb"))
    std::fclose(probe);
  else
    return kit_fail(ttf, std::string("cannot open: ") + std::strerror(errno));
  if (FT_New_Face(r.lib, ttf.c_str(), 0, &r.face) != 0) return kit_fail(ttf, "not a font FreeType can read");
  if (!FT_IS_SCALABLE(r.face)) return kit_fail(ttf, "not a scalable (TrueType or OpenType) font");
  if (FT_Set_Pixel_Sizes(r.face, 0, FT_UInt(size)) != 0) return kit_fail(ttf, "cannot be set to that size");
  r.spacing = FT_IS_FIXED_WIDTH(r.face) ? 0 : 1;
  const FT_Size_Metrics& m = r.face->size->metrics;
  r.asc = int((m.ascender + 63) >> 6);
  r.desc = int((-m.descender + 63) >> 6);
  const int line = std::max(1, r.asc + r.desc);
  const int leading = std::max(0, int((m.height + 32) >> 6) - line);

  // The space's advance decides the width of unmapped codes and the .aaf space width.
  int space_width = std::max(1, int(size) / 4);
  if (FT_UInt si = FT_Get_Char_Index(r.face, ' '); si && FT_Load_Glyph(r.face, si, FT_LOAD_DEFAULT) == 0)
    space_width = std::max(0, int((r.face->glyph->advance.x + 32) >> 6) - r.spacing);

  std::vector<Cell> cells(256);
  int mapped = 0;
  for (int c = 0; c < 256; ++c) {
    if (!render(r, c, !aaf, cells[size_t(c)], space_width))
      return kit_fail(ttf, "cannot render character " + std::to_string(c));
    mapped += cells[size_t(c)].mapped;
  }
  if (mapped == 0) return kit_fail(ttf, "maps none of the characters 0 to 255");

  std::vector<uint8_t> bytes = aaf ? make_aaf(cells, line, leading, r.spacing, space_width) : make_fon(cells, line, r.spacing);
  std::FILE* f = std::fopen(out.c_str(), "wb");
  if (!f) return kit_fail(out, std::string("cannot create: ") + std::strerror(errno));
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  ok = (std::fclose(f) == 0) && ok;
  if (!ok) {
    std::remove(out.c_str());
    return kit_fail(out, "write failed");
  }
  std::printf("%s: %d of 256 characters mapped, height %d, %zu bytes\n", out.c_str(), mapped, line, bytes.size());
  return kKitExitOk;
}
