// Display device: modes, palette and screen blits on top of the current platform driver.
#include "vrk/svga.h"

#include <array>
#include <cstring>

#include "color/color.h"
#include "platform/driver.h"
#include "vrk/grasm.h"
#include "vrk/grbuf.h"

Rect scr_size = {0, 0, -1, -1};
scr_blit_fn scr_blit = nullptr;
scr_blit_fn mouse_blit = nullptr;
scr_blit_trans_fn mouse_blit_trans = nullptr;
update_palette_fn update_palette_func = nullptr;
uint32_t w95rmask = 0, w95gmask = 0, w95bmask = 0;
int VRK95_isActive = 0;
int w95rshift = 0, w95gshift = 0, w95bshift = 0;
uint16_t VRK95_Pal16[256];
void (*VRK95_repaint_func)(const Rect* r) = nullptr;

namespace {

plat_driver* drv = nullptr;  // the driver holding the mode; null without a mode
int mode_bpp = 0;
// The palette as last set (6-bit). It answers reads without a mode and in 16-bit mode, where
// the screen pixels keep fewer bits than the palette.
std::array<uint8_t, 768> recorded{};
std::array<uint8_t, 768> read_back{};
int changes = 0;

int shift_of(uint32_t mask) { return VRK95_ffs(mask) - 7; }

uint32_t channel(int v6, uint32_t mask, int shift) {
  uint32_t v = uint32_t(v6 & 63) << 2;
  v = shift >= 0 ? v << shift : v >> -shift;
  return v & mask;
}

int unchannel(uint16_t p, uint32_t mask, int shift) {
  uint32_t v = p & mask;
  v = shift >= 0 ? v >> shift : v << -shift;
  return int((v >> 2) & 63);
}

void repaint_all() {
  if (VRK95_repaint_func) VRK95_repaint_func(&scr_size);
}

// Hands entries [first, first+count) of the recorded palette to the display.
void hand_off(int first, int count) {
  ++changes;
  if (count > 0 && drv) {
    if (mode_bpp == 8) {
      drv->set_palette(&recorded[first * 3], first, count);
    } else if (mode_bpp == 16) {
      for (int i = first; i < first + count; ++i)
        VRK95_Pal16[i] = VRK95_color_to_pixel16(recorded[i * 3], recorded[i * 3 + 1], recorded[i * 3 + 2]);
      // Pixels already on a hi-colour screen do not follow the palette: redraw them.
      repaint_all();
    }
  }
  if (update_palette_func) update_palette_func();
}

// Clips a blit to the locked surface: adjusts the source offset and the size. False when
// nothing of it lies on the screen.
bool clip(const plat_surface& s, int& src_x, int& src_y, int& width, int& height, int& dst_x, int& dst_y) {
  if (dst_x < 0) {
    src_x -= dst_x;
    width += dst_x;
    dst_x = 0;
  }
  if (dst_y < 0) {
    src_y -= dst_y;
    height += dst_y;
    dst_y = 0;
  }
  if (dst_x + width > s.width) width = s.width - dst_x;
  if (dst_y + height > s.height) height = s.height - dst_y;
  return width > 0 && height > 0;
}

template <typename Row>
void blit16(const uint8_t* src, int src_pitch, int src_x, int src_y, int width, int height, int dst_x, int dst_y,
            Row row) {
  if (!VRK95_isActive || !drv || !src) return;
  plat_surface s{};
  if (drv->lock(&s) != 0) return;
  if (s.bpp == 16 && clip(s, src_x, src_y, width, height, dst_x, dst_y)) {
    for (int y = 0; y < height; ++y) {
      uint16_t* d = reinterpret_cast<uint16_t*>(s.pixels + size_t(dst_y + y) * s.pitch) + dst_x;
      row(d, src + size_t(src_y + y) * src_pitch + src_x, width);
    }
    drv->unlock(dst_x, dst_y, dst_x + width - 1, dst_y + height - 1);
  } else {
    drv->unlock(0, 0, -1, -1);
  }
}

}  // namespace

int VRK95_ffs(uint32_t v) {
  int n = 0;
  for (int step = 16; step > 0; step >>= 1)
    if (v >> step) {
      v >>= step;
      n += step;
    }
  return n;
}

uint16_t VRK95_color_to_pixel16(int r, int g, int b) {
  return uint16_t(channel(r, w95rmask, w95rshift) | channel(g, w95gmask, w95gshift) | channel(b, w95bmask, w95bshift));
}

void VRK95_pixel16_to_color(uint16_t p, int* r, int* g, int* b) {
  if (r) *r = unchannel(p, w95rmask, w95rshift);
  if (g) *g = unchannel(p, w95gmask, w95gshift);
  if (b) *b = unchannel(p, w95bmask, w95bshift);
}

// --- modes ---

int init_mode_320_200(void) { return VRK95_init_mode_ex(320, 200, 8); }
int init_mode_320_240(void) { return VRK95_init_mode_ex(320, 240, 8); }
int init_mode_320_400(void) { return VRK95_init_mode_ex(320, 400, 8); }
int init_mode_640_400(void) { return VRK95_init_mode_ex(640, 400, 8); }
int init_mode_640_480(void) { return VRK95_init_mode_ex(640, 480, 8); }
int init_mode_800_600(void) { return VRK95_init_mode_ex(800, 600, 8); }
int init_mode_1024_768(void) { return VRK95_init_mode_ex(1024, 768, 8); }
int init_mode_1280_1024(void) { return VRK95_init_mode_ex(1280, 1024, 8); }
int init_mode_640_480_hi(void) { return VRK95_init_mode_ex(640, 480, 16); }
int init_mode_640_200(void) { return -1; }
int init_mode_640_240(void) { return -1; }
int init_mode_800_300(void) { return -1; }
int init_mode_1024_384(void) { return -1; }
int init_mode_1280_512(void) { return -1; }
int init_mode_640_480_16(void) { return -1; }

int init_vesa_mode(int, int width, int height, int half) {
  return half == 0 ? VRK95_init_mode_ex(width, height, 8) : -1;
}

void get_start_mode(void) {}

int VRK95_init_mode(int width, int height) { return VRK95_init_mode_ex(width, height, 8); }

int VRK95_init_window(void) { return plat_driver_get() ? 0 : -1; }

int VRK95_init_DirectDraw(int width, int height, int bpp) {
  if (drv) {
    // A mode change: the palette survives it.
    std::array<uint8_t, 768> saved = recorded;
    VRK95_reset_mode();
    int r = VRK95_init_DirectDraw(width, height, bpp);
    if (r == 0) VRK95_SetPalette(saved.data());
    return r;
  }
  plat_driver* d = plat_driver_get();
  if (!d || d->set_mode(width, height, bpp) != 0) return -1;
  drv = d;
  mode_bpp = bpp;
  if (bpp == 8) {
    // A new 8-bit mode starts with the grey ramp (entry i = (i, i, i) in 8-bit components).
    for (int i = 0; i < 256; ++i) recorded[i * 3] = recorded[i * 3 + 1] = recorded[i * 3 + 2] = uint8_t(i >> 2);
    return 0;
  }
  plat_pixel_format pf{};
  if (d->pixel_format(&pf) != 0) {
    VRK95_reset_mode();
    return -1;
  }
  w95rmask = pf.rmask;
  w95gmask = pf.gmask;
  w95bmask = pf.bmask;
  w95rshift = shift_of(w95rmask);
  w95gshift = shift_of(w95gmask);
  w95bshift = shift_of(w95bmask);
  for (int i = 0; i < 256; ++i) VRK95_Pal16[i] = VRK95_color_to_pixel16(recorded[i * 3], recorded[i * 3 + 1], recorded[i * 3 + 2]);
  return 0;
}

int VRK95_init_mode_ex(int width, int height, int bpp) {
  // Refused before anything is touched.
  if ((bpp != 8 && bpp != 16) || width <= 0 || height <= 0) return -1;
  if (VRK95_init_window() != 0) return -1;
  if (VRK95_init_DirectDraw(width, height, bpp) != 0) return -1;
  scr_size = {0, 0, width - 1, height - 1};
  mmxEnable(1);
  if (bpp == 8) {
    scr_blit = mouse_blit = VRK95_ShowRect;
    mouse_blit_trans = nullptr;
  } else {
    scr_blit = VRK95_ShowRect16;
    mouse_blit = VRK95_MouseShowRect16;
    mouse_blit_trans = VRK95_MouseShowTransRect16;
  }
  return 0;
}

void VRK95_reset_mode(void) {
  if (!drv) return;
  drv->reset_mode();
  drv = nullptr;
  mode_bpp = 0;
}

void reset_mode(void) { VRK95_reset_mode(); }

int VRK95_mode_bpp(void) { return mode_bpp; }

// --- palette ---

void VRK95_SetPaletteEntry(int index, int r, int g, int b) {
  if (index < 0 || index > 255) return;
  recorded[index * 3] = uint8_t(r & 63);
  recorded[index * 3 + 1] = uint8_t(g & 63);
  recorded[index * 3 + 2] = uint8_t(b & 63);
  hand_off(index, 1);
}

void VRK95_SetPaletteEntries(const uint8_t* triples, int first, int count) {
  if (!triples) return;
  int lo = 256, hi = -1;
  for (int k = 0; k < count; ++k) {
    int i = first + k;
    if (i < 0 || i > 255) continue;
    for (int c = 0; c < 3; ++c) recorded[i * 3 + c] = triples[k * 3 + c] & 63;
    if (i < lo) lo = i;
    hi = i;
  }
  hand_off(lo, hi >= lo ? hi - lo + 1 : 0);
}

void VRK95_SetPalette(const uint8_t* triples) { VRK95_SetPaletteEntries(triples, 0, 256); }

int VRK95_GetPaletteEntry(int index, int* r, int* g, int* b) {
  if (index < 0 || index > 255) return -1;
  uint8_t e[3] = {recorded[index * 3], recorded[index * 3 + 1], recorded[index * 3 + 2]};
  if (drv && mode_bpp == 8 && drv->get_palette(e, index, 1) != 0) return -1;
  if (r) *r = e[0];
  if (g) *g = e[1];
  if (b) *b = e[2];
  return 0;
}

const uint8_t* VRK95_GetPalette(void) {
  if (drv && mode_bpp == 8) {
    if (drv->get_palette(read_back.data(), 0, 256) != 0) return nullptr;
  } else {
    read_back = recorded;
  }
  return read_back.data();
}

void set_update_palette_func(update_palette_fn fn) { update_palette_func = fn; }
update_palette_fn get_update_palette_func(void) { return update_palette_func; }
int VRK95_PaletteChanges(void) { return changes; }

// --- fast copies ---

void mmxEnable(int flag) {
  static int has_fast = -1;
  if (has_fast < 0) has_fast = mmxTest() ? 1 : 0;
  if (has_fast) mmxEnabled = flag;
}

// --- screen blits ---

void VRK95_ShowRect(const uint8_t* src, int src_pitch, int, int src_x, int src_y, int width, int height, int dst_x,
                    int dst_y) {
  // A program in the background never writes to the screen; it is repainted on return.
  if (!VRK95_isActive || !drv || !src) return;
  plat_surface s{};
  if (drv->lock(&s) != 0) return;
  if (s.bpp == 8 && clip(s, src_x, src_y, width, height, dst_x, dst_y)) {
    buf_to_buf(src + size_t(src_y) * src_pitch + src_x, width, height, src_pitch,
               s.pixels + size_t(dst_y) * s.pitch + dst_x, s.pitch);
    drv->unlock(dst_x, dst_y, dst_x + width - 1, dst_y + height - 1);
  } else {
    drv->unlock(0, 0, -1, -1);
  }
}

void VRK95_MouseShowRect16(const uint8_t* src, int src_pitch, int, int src_x, int src_y, int width, int height,
                           int dst_x, int dst_y) {
  blit16(src, src_pitch, src_x, src_y, width, height, dst_x, dst_y,
         [](uint16_t* d, const uint8_t* s, int n) { palcpy(d, s, n); });
}

void VRK95_ShowRect16(const uint8_t* src, int src_pitch, int src_height, int src_x, int src_y, int width, int height,
                      int dst_x, int dst_y) {
  VRK95_MouseShowRect16(src, src_pitch, src_height, src_x, src_y, width, height, dst_x, dst_y);
}

void VRK95_MouseShowTransRect16(const uint8_t* src, int src_pitch, int, int src_x, int src_y, int width, int height,
                                int dst_x, int dst_y, uint8_t trans) {
  blit16(src, src_pitch, src_x, src_y, width, height, dst_x, dst_y,
         [trans](uint16_t* d, const uint8_t* s, int n) { trans_palcpy(d, s, n, trans); });
}

void palcpy(uint16_t* dst, const uint8_t* src, int count) {
  for (int i = 0; i < count; ++i) dst[i] = VRK95_Pal16[src[i]];
}

void trans_palcpy(uint16_t* dst, const uint8_t* src, int count, uint8_t trans) {
  for (int i = 0; i < count; ++i)
    if (src[i] != trans) dst[i] = VRK95_Pal16[src[i]];
}

void VRK95_hook_color(void) { colorSetPaletteHook(VRK95_SetPalette, VRK95_SetPaletteEntries); }
