// Drawing into window buffers, the window colours and the texture.
#include <algorithm>
#include <iterator>
#include <cstdio>
#include <cstring>

#include "color/color.h"
#include "db/db.h"
#include "vrk/grbuf.h"
#include "vrk/memory.h"
#include "vrk/text.h"
#include "vrk/vrk.h"
#include "vrk/vrk_internal.h"

uint8_t* VRK_texture = nullptr;
int VRK_wcolor[6];

namespace {

constexpr int kDefaultColors[6] = {0x294A, 0x3DEF, 0x2108, 0x5294, 0x7FEB, 0x7C00};

// A drawable window (not the screen window): its record, or null.
Window* drawable(int id) {
  Window* w = VRK_find(id);
  return w && w->buffer ? w : nullptr;
}

bool inside(const Window* w, int x, int y) { return x >= 0 && y >= 0 && x < w->width && y < w->height; }

uint8_t* at(Window* w, int x, int y) { return w->buffer + size_t(y) * size_t(w->width) + size_t(x); }

// A colour as a palette index, or -1 when it names none (texture, out of range).
int index_of(int color) {
  int c = VRK_translate_color(color) & 0xFFFF;
  return c < 256 ? c : -1;
}

// Streams of the colour-file hooks.
constexpr int kColorFiles = 8;
db_file* color_files[kColorFiles];

}  // namespace

void VRK_set_default_colors(void) { std::copy(std::begin(kDefaultColors), std::end(kDefaultColors), VRK_wcolor); }

int VRK_translate_color(int color) {
  if ((color & 0xFF00) == 0) return color;
  int i = (color & 0xFFFF) - 257;
  if (i < 0 || i >= 6) return color;
  return (color & ~0xFFFF) | colorTable[VRK_wcolor[i] & 0x7FFF];
}

void win_fill(int id, int x, int y, int width, int height, int color) {
  Window* w = drawable(id);
  if (!w) return;
  // Cut to the buffer.
  int x0 = std::max(x, 0), y0 = std::max(y, 0);
  int x1 = std::min(x + width, w->width), y1 = std::min(y + height, w->height);
  if (x1 <= x0 || y1 <= y0) return;
  if ((color & 0xFFFF) == 256) {
    if (VRK_texture) {
      buf_texture(at(w, x0, y0), x1 - x0, y1 - y0, w->width, VRK_texture, w->tx + x0, w->ty + y0);
      return;
    }
    color = 257;
  }
  int c = index_of(color);
  if (c < 0) return;
  buf_fill(at(w, x0, y0), x1 - x0, y1 - y0, w->width, c);
}

void win_line(int id, int x1, int y1, int x2, int y2, int color) {
  Window* w = drawable(id);
  int c = index_of(color);
  if (!w || c < 0 || !inside(w, x1, y1) || !inside(w, x2, y2)) return;
  draw_line(w->buffer, w->width, x1, y1, x2, y2, c);
}

void win_box(int id, int ulx, int uly, int lrx, int lry, int color) {
  Window* w = drawable(id);
  int c = index_of(color);
  if (ulx > lrx) std::swap(ulx, lrx);
  if (uly > lry) std::swap(uly, lry);
  if (!w || c < 0 || !inside(w, ulx, uly) || !inside(w, lrx, lry)) return;
  draw_box(w->buffer, w->width, ulx, uly, lrx, lry, c);
}

void win_shaded_box(int id, int ulx, int uly, int lrx, int lry, int ul_color, int lr_color) {
  Window* w = drawable(id);
  int a = index_of(ul_color), b = index_of(lr_color);
  if (!w || a < 0 || b < 0 || ulx > lrx || uly > lry || !inside(w, ulx, uly) || !inside(w, lrx, lry)) return;
  draw_shaded_box(w->buffer, w->width, ulx, uly, lrx, lry, a, b);
}

void win_print(int id, const char* text, int width, int x, int y, int color) {
  Window* w = drawable(id);
  if (!w || !text || x < 0 || y < 0 || x >= w->width) return;
  if (width == 0) width = (color & TEXT_MONO) ? text_mono_width(text) : text_width(text);
  if (width <= 0) return;
  if (x + width > w->width) {
    if (!(color & WIN_PRINT_CUT)) return;
    width = w->width - x;
  }
  const int h = text_height();
  if (h <= 0 || y + h > w->height) return;
  if (!(color & WIN_PRINT_NO_BK)) {
    if (w->color == 256 && VRK_texture) buf_texture(at(w, x, y), width, h, w->width, VRK_texture, w->tx + x, w->ty + y);
    else buf_fill(at(w, x, y), width, h, w->width, w->color & 0xFF);
  }
  int c = VRK_translate_color(color);
  text_to_buf(at(w, x, y), text, width, w->width, c & 0xFFFFFF);
  if (color & WIN_PRINT_REFRESH) {
    // The printed box, cut to the window.
    Rect r = {w->rect.ulx + x, w->rect.uly + y, std::min(w->rect.ulx + x + width, w->rect.lrx),
              std::min(w->rect.uly + y + h, w->rect.lry)};
    VRK_win_refresh(w, &r, nullptr);
  }
}

void win_text(int id, const char* const* strings, int count, int width, int x, int y, int color) {
  Window* w = drawable(id);
  if (!w || !strings) return;
  const int h = text_height();
  for (int i = 0; i < count; ++i) {
    const char* s = strings[i];
    int ly = y + i * h;
    if (s && *s) {
      win_print(id, s, width, x, ly, color);
    } else if (s && width > 0) {
      // Two rows, ly + h / 2 and the one below it: both must lie in the buffer.
      int x2 = x + width - 1;
      if (!inside(w, x, ly + h / 2) || !inside(w, x2, ly + h / 2 + 1)) continue;
      int dark = index_of(259), light = index_of(258);
      std::memset(at(w, x, ly + h / 2), dark, size_t(width));
      std::memset(at(w, x, ly + h / 2 + 1), light, size_t(width));
    }
  }
}

void win_border(int id) {
  Window* w = drawable(id);
  if (!w || w->width < 12 || w->height < 12) return;
  const int W = w->width, H = w->height;
  lighten_buf(at(w, 5, 0), W - 10, 5, W);
  lighten_buf(at(w, 5, H - 5), W - 10, 5, W);
  lighten_buf(at(w, 0, 0), 5, H, W);
  lighten_buf(at(w, W - 5, 0), 5, H, W);
  draw_box(w->buffer, W, 0, 0, W - 1, H - 1, colorTable[0]);
  int light = index_of(258), dark = index_of(259);
  draw_shaded_box(w->buffer, W, 1, 1, W - 2, H - 2, light, dark);
  draw_shaded_box(w->buffer, W, 5, 5, W - 6, H - 6, dark, light);
}

void win_set_bk_color(int color) {
  bk_color = color & 0xFF;
  if (VRK_win_init_flag) VRK_win_refresh(window[0], &window[0]->rect, nullptr);
}

// --- texture ---

void win_no_texture(void) {
  mem_free(VRK_texture);
  VRK_texture = nullptr;
  VRK_set_default_colors();
}

void win_texture(const char* name) {
  if (!name) return;
  db_file* f = db_fopen(name, "rt");
  if (!f) return;
  char line[82];
  if (db_fgets(line, 81, f)) {
    size_t n = std::strlen(line);
    if (n > 0 && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (n > 0 && line[n - 1] == '\r') line[--n] = 0;
    load_texture(line);
    for (int i = 0; i < 6; ++i) {
      char buf[82];
      int r, g, b;
      if (!db_fgets(buf, sizeof buf, f) || std::sscanf(buf, "%d %d %d", &r, &g, &b) != 3) break;
      auto five = [](int v) { return std::clamp((std::clamp(v, 0, 100) * 32 - 1) / 100, 0, 31); };
      VRK_wcolor[i] = (five(r) << 10) | (five(g) << 5) | five(b);
    }
  }
  db_fclose(f);
}

namespace {

// Scans the stream for a four-character chunk name; true when found.
bool find_chunk(db_file* f, const char* tag) {
  int matched = 0;
  for (int c; (c = db_fgetc(f)) != -1;) {
    if (c == tag[matched]) {
      if (++matched == 4) return true;
    } else {
      matched = c == tag[0] ? 1 : 0;
    }
  }
  return false;
}

int read_be16(db_file* f) {
  int a = db_fgetc(f), b = db_fgetc(f);
  return a < 0 || b < 0 ? -1 : (a << 8) | b;
}

bool skip(db_file* f, int n) {
  for (int i = 0; i < n; ++i)
    if (db_fgetc(f) < 0) return false;
  return true;
}

}  // namespace

int load_texture(const char* name) {
  mem_free(VRK_texture);
  VRK_texture = nullptr;
  if (!name) return -1;
  db_file* f = db_fopen(name, "rb");
  if (!f) return -1;
  uint8_t* tex = nullptr;
  auto fail = [&] {
    mem_free(tex);
    db_fclose(f);
    return -1;
  };
  if (!find_chunk(f, "BMHD") || !skip(f, 4)) return fail();
  int width = read_be16(f), height = read_be16(f);
  if (width <= 0 || height <= 0 || !skip(f, 6)) return fail();
  int compression = db_fgetc(f);
  if (compression < 0) return fail();
  const size_t pixels = size_t(width) * size_t(height);
  tex = static_cast<uint8_t*>(mem_malloc(pixels + 4));
  if (!tex) return fail();
  tex[0] = uint8_t(width);
  tex[1] = uint8_t(width >> 8);
  tex[2] = uint8_t(height);
  tex[3] = uint8_t(height >> 8);
  std::memset(tex + 4, 0, pixels);
  if (!find_chunk(f, "CMAP") || !skip(f, 4)) return fail();
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) {
    uint8_t rgb[3];
    if (db_fread(rgb, 1, 3, f) != 3) return fail();
    map[i] = colorTable[((rgb[0] >> 3) << 10) | ((rgb[1] >> 3) << 5) | (rgb[2] >> 3)];
  }
  if (!find_chunk(f, "BODY") || !skip(f, 4)) return fail();
  size_t pos = 0;
  if (compression == 0) {
    for (; pos < pixels; ++pos) {
      int c = db_fgetc(f);
      if (c < 0) break;
      tex[4 + pos] = map[c];
    }
  } else {
    for (int n; pos < pixels && (n = db_fgetc(f)) != -1;) {
      if (n < 128) {
        for (int k = 0; k <= n; ++k) {
          int c = db_fgetc(f);
          if (c < 0) break;
          if (pos < pixels) tex[4 + pos++] = map[c];
        }
      } else {
        int c = db_fgetc(f);
        if (c < 0) break;
        for (int k = 0; k < 257 - n && pos < pixels; ++k) tex[4 + pos++] = map[c];
      }
    }
  }
  db_fclose(f);
  VRK_texture = tex;
  return 0;
}

// --- colour-file hooks ---

int VRK_color_open(const char* name, int flags) {
  char mode[4] = {flags & 0x1 ? 'w' : flags & 0x10 ? 'a' : 'r', flags & 0x100 ? 't' : 'b', 0};
  for (int h = 0; h < kColorFiles; ++h)
    if (!color_files[h]) {
      color_files[h] = db_fopen(name, mode);
      return color_files[h] ? h : -1;
    }
  return -1;
}

int VRK_color_read(int handle, void* buf, int size) {
  if (handle < 0 || handle >= kColorFiles || !color_files[handle] || size < 0) return -1;
  return int(db_fread(buf, 1, size_t(size), color_files[handle]));
}

void VRK_color_close(int handle) {
  if (handle < 0 || handle >= kColorFiles || !color_files[handle]) return;
  db_fclose(color_files[handle]);
  color_files[handle] = nullptr;
}
