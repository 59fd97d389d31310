// Text manager table and the built-in 1-bit fonts.
//
// A ".fon" file (little-endian): glyph count n, height, spacing, 8 ignored bytes, then n entries
// of (width, bitmap offset), then the bitmaps: each glyph is `height` rows of (width + 7) / 8
// bytes, leftmost pixel in the top bit. Files are untrusted: every entry is checked to lie inside
// the bitmap data before the font is accepted, so drawing never reads outside it.
#include "vrk/text.h"

#include <cstdio>
#include <cstring>
#include <vector>

#include "color/color.h"
#include "db/db.h"
#include "vrk/memory.h"

namespace {

constexpr size_t kHeaderSize = 20;
// Bounds that keep every measurement well inside int and every glyph drawn to the right of the
// text's start. Real fonts are far below them.
constexpr int32_t kMaxGlyphs = 65536;
constexpr int32_t kMaxExtent = 1024;  // height, glyph width and spacing
constexpr long kMaxFileSize = 16L << 20;

struct glyph_entry {
  int32_t width;
  uint32_t offset;
};

struct vrk_font {
  int32_t count;    // 0 = not loaded
  int32_t height;
  int32_t spacing;
  int32_t widest;   // largest glyph width
  glyph_entry* glyphs;
  uint8_t* data;
};

vrk_font font[TEXT_BUILTIN_FONTS];
vrk_font* curr_font = nullptr;

text_manager managers[TEXT_MAX_MANAGERS];

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

// Stand-ins for the current set before anything is selected.
int none_to_buf(uint8_t*, const char*, int, int, int) { return 0; }
int none_metric(void) { return 0; }
int none_measure(const char*) { return 0; }
int none_char(int) { return 0; }

void reset_current_set() {
  text_to_buf = none_to_buf;
  text_height = none_metric;
  text_width = none_measure;
  text_char_width = none_char;
  text_mono_width = none_measure;
  text_spacing = none_metric;
  text_size = none_measure;
  text_max = none_metric;
}

int manager_index(int font_num) {
  for (int i = 0; i < total_managers; ++i)
    if (font_num >= managers[i].low && font_num <= managers[i].high) return i;
  return -1;
}

const text_manager kBuiltinManager = {0,
                                      TEXT_BUILTIN_FONTS - 1,
                                      VRK_text_font,
                                      VRK_text_to_buf,
                                      VRK_text_height,
                                      VRK_text_width,
                                      VRK_text_char_width,
                                      VRK_text_mono_width,
                                      VRK_text_spacing,
                                      VRK_text_size,
                                      VRK_text_max};

void draw_glyph(uint8_t* dst, int pitch, const vrk_font& f, const glyph_entry& g, uint8_t color) {
  const int row_bytes = (g.width + 7) / 8;
  const uint8_t* bits = f.data + g.offset;
  for (int y = 0; y < f.height; ++y, bits += row_bytes) {
    uint8_t* d = dst + ptrdiff_t(y) * pitch;
    for (int x = 0; x < g.width; ++x)
      if (bits[x >> 3] & (0x80 >> (x & 7))) d[x] = color;
  }
}

}  // namespace

text_to_buf_fn text_to_buf = none_to_buf;
text_metric_fn text_height = none_metric;
text_measure_fn text_width = none_measure;
text_char_fn text_char_width = none_char;
text_measure_fn text_mono_width = none_measure;
text_metric_fn text_spacing = none_metric;
text_measure_fn text_size = none_measure;
text_metric_fn text_max = none_metric;

int total_managers = 0;
int curr_font_num = -1;

// ---- built-in fonts ----

int VRK_text_load_font_mem(int n, const void* data, size_t size) {
  if (n < 0 || n >= TEXT_BUILTIN_FONTS || (!data && size)) return -1;
  VRK_text_free_font(n);
  const uint8_t* p = static_cast<const uint8_t*>(data);
  if (size < kHeaderSize) return -1;
  const int32_t count = int32_t(le32(p)), height = int32_t(le32(p + 4)), spacing = int32_t(le32(p + 8));
  if (count <= 0 || count > kMaxGlyphs || height <= 0 || height > kMaxExtent || spacing < 0 || spacing > kMaxExtent)
    return -1;
  const size_t table_end = kHeaderSize + size_t(count) * 8;
  if (size < table_end) return -1;
  // The bitmap data ends with the last glyph's bitmap; every glyph must lie inside it.
  const uint8_t* table = p + kHeaderSize;
  const auto glyph_bytes = [&](int32_t w) { return uint64_t((w + 7) / 8) * uint64_t(height); };
  const int32_t last_w = int32_t(le32(table + size_t(count - 1) * 8));
  if (last_w < 0 || last_w > kMaxExtent) return -1;
  const uint64_t data_size = uint64_t(le32(table + size_t(count - 1) * 8 + 4)) + glyph_bytes(last_w);
  if (data_size > size - table_end) return -1;
  int32_t widest = 0;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t w = int32_t(le32(table + size_t(i) * 8));
    const uint32_t off = le32(table + size_t(i) * 8 + 4);
    if (w < 0 || w > kMaxExtent || uint64_t(off) + glyph_bytes(w) > data_size) return -1;
    if (w > widest) widest = w;
  }
  vrk_font f{};
  f.glyphs = static_cast<glyph_entry*>(mem_malloc(size_t(count) * sizeof(glyph_entry)));
  f.data = static_cast<uint8_t*>(mem_malloc(data_size ? size_t(data_size) : 1));
  if (!f.glyphs || !f.data) {
    mem_free(f.glyphs);
    mem_free(f.data);
    return -1;
  }
  for (int32_t i = 0; i < count; ++i) {
    f.glyphs[i].width = int32_t(le32(table + size_t(i) * 8));
    f.glyphs[i].offset = le32(table + size_t(i) * 8 + 4);
  }
  if (data_size) std::memcpy(f.data, p + table_end, size_t(data_size));
  f.count = count;
  f.height = height;
  f.spacing = spacing;
  f.widest = widest;
  font[n] = f;
  return 0;
}

int VRK_text_load_font(int n) {
  if (n < 0 || n >= TEXT_BUILTIN_FONTS) return -1;
  char name[32];
  std::snprintf(name, sizeof name, "font%d.fon", n);
  db_file* f = db_fopen(name, "rb");
  if (!f) return -1;
  long len = db_filelength(f);
  int rc = -1;
  if (len >= long(kHeaderSize) && len <= kMaxFileSize) {
    std::vector<uint8_t> bytes(static_cast<size_t>(len));
    if (db_fread(bytes.data(), 1, bytes.size(), f) == bytes.size())
      rc = VRK_text_load_font_mem(n, bytes.data(), bytes.size());
  }
  db_fclose(f);
  return rc;
}

void VRK_text_free_font(int n) {
  if (n < 0 || n >= TEXT_BUILTIN_FONTS) return;
  if (curr_font == &font[n]) curr_font = nullptr;
  mem_free(font[n].glyphs);
  mem_free(font[n].data);
  font[n] = vrk_font{};
}

int VRK_text_init(void) {
  VRK_text_exit();
  int lowest = -1;
  for (int n = 0; n < TEXT_BUILTIN_FONTS; ++n)
    if (VRK_text_load_font(n) == 0 && lowest < 0) lowest = n;
  if (lowest < 0) return -1;
  if (text_add_manager(&kBuiltinManager) != 0) {
    VRK_text_exit();
    return -1;
  }
  text_font(lowest);
  return 0;
}

void VRK_text_exit(void) {
  for (int n = 0; n < TEXT_BUILTIN_FONTS; ++n) VRK_text_free_font(n);
  curr_font = nullptr;
  total_managers = 0;
  curr_font_num = -1;
  reset_current_set();
}

// ---- manager table ----

int text_add_manager(const text_manager* manager) {
  if (!manager || total_managers >= TEXT_MAX_MANAGERS || manager->low >= manager->high) return -1;
  for (int i = 0; i < total_managers; ++i)
    if (manager->low <= managers[i].high && managers[i].low <= manager->high) return -1;
  managers[total_managers++] = *manager;
  return 0;
}

int text_remove_manager(int font_num) {
  int i = manager_index(font_num);
  if (i < 0) return -1;
  if (curr_font_num >= managers[i].low && curr_font_num <= managers[i].high) return -1;
  for (; i + 1 < total_managers; ++i) managers[i] = managers[i + 1];
  --total_managers;
  return 0;
}

void text_font(int font_num) {
  int i = manager_index(font_num);
  if (i < 0) return;
  const text_manager& m = managers[i];
  text_to_buf = m.text_to_buf ? m.text_to_buf : none_to_buf;
  text_height = m.text_height ? m.text_height : none_metric;
  text_width = m.text_width ? m.text_width : none_measure;
  text_char_width = m.text_char_width ? m.text_char_width : none_char;
  text_mono_width = m.text_mono_width ? m.text_mono_width : none_measure;
  text_spacing = m.text_spacing ? m.text_spacing : none_metric;
  text_size = m.text_size ? m.text_size : none_measure;
  text_max = m.text_max ? m.text_max : none_metric;
  curr_font_num = font_num;
  if (m.select) m.select(font_num);
}

int text_curr(void) { return curr_font_num; }

int text_font_exists(int font_num, text_manager* manager) {
  int i = manager_index(font_num);
  if (i < 0) return 0;
  if (manager) *manager = managers[i];
  return 1;
}

// ---- the built-in manager ----

void VRK_text_font(int n) {
  if (n >= 0 && n < TEXT_BUILTIN_FONTS && font[n].count > 0) curr_font = &font[n];
}

int VRK_text_to_buf(uint8_t* buf, const char* text, int limit, int pitch, int color) {
  const vrk_font* f = curr_font;
  if (!f || !text || !buf) return 0;
  if (color & TEXT_SHADOW) {
    VRK_text_to_buf(buf + pitch + 1, text, limit, pitch, (color & ~(TEXT_SHADOW | 0xFF)) | colorTable[0]);
  }
  const bool mono = color & TEXT_MONO;
  const int cell = VRK_text_max();
  const uint8_t ink = uint8_t(color);
  int x = 0, drawn = 0;
  for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s; ++s) {
    if (*s >= f->count) continue;
    const glyph_entry& g = f->glyphs[*s];
    int gx = x, end;
    if (mono) {
      gx = x + (cell - f->spacing - g.width) / 2;
      end = x + cell;
    } else {
      end = x + g.width + f->spacing;
    }
    if (end > limit) break;
    draw_glyph(buf + gx, pitch, *f, g, ink);
    x = end;
    ++drawn;
  }
  if ((color & TEXT_UNDERLINE) && x > 0) std::memset(buf + ptrdiff_t(f->height - 1) * pitch, ink, size_t(x));
  return drawn;
}

int VRK_text_height(void) { return curr_font ? curr_font->height : 0; }

int VRK_text_width(const char* text) {
  const vrk_font* f = curr_font;
  if (!f || !text) return 0;
  int w = 0;
  for (const unsigned char* s = reinterpret_cast<const unsigned char*>(text); *s; ++s)
    if (*s < f->count) w += f->glyphs[*s].width + f->spacing;
  return w;
}

int VRK_text_char_width(int c) {
  const vrk_font* f = curr_font;
  c &= 0xFF;
  return f && c < f->count ? f->glyphs[c].width : 0;
}

int VRK_text_mono_width(const char* text) { return text ? VRK_text_max() * int(std::strlen(text)) : 0; }

int VRK_text_spacing(void) { return curr_font ? curr_font->spacing : 0; }

int VRK_text_size(const char* text) { return VRK_text_width(text) * VRK_text_height(); }

int VRK_text_max(void) { return curr_font ? curr_font->widest + curr_font->spacing : 0; }
