// Display device palette: the stand-in that records what is handed over (see svga.h).
#include "vrk/svga.h"

#include <cstring>

namespace {
uint8_t device_palette[256 * 3];
uint8_t read_back[256 * 3];
update_palette_fn update_palette_func = nullptr;
int changes = 0;

void changed() {
  ++changes;
  if (update_palette_func) update_palette_func();
}
}  // namespace

void VRK95_SetPaletteEntry(int index, int r, int g, int b) {
  if (index < 0 || index > 255) return;
  device_palette[index * 3] = uint8_t(r & 63);
  device_palette[index * 3 + 1] = uint8_t(g & 63);
  device_palette[index * 3 + 2] = uint8_t(b & 63);
  changed();
}

void VRK95_SetPaletteEntries(const uint8_t* triples, int first, int count) {
  if (!triples) return;
  for (int k = 0; k < count; ++k) {
    int i = first + k;
    if (i < 0 || i > 255) continue;
    for (int c = 0; c < 3; ++c) device_palette[i * 3 + c] = triples[k * 3 + c] & 63;
  }
  changed();
}

void VRK95_SetPalette(const uint8_t* triples) { VRK95_SetPaletteEntries(triples, 0, 256); }

int VRK95_GetPaletteEntry(int index, int* r, int* g, int* b) {
  if (index < 0 || index > 255) return -1;
  if (r) *r = device_palette[index * 3];
  if (g) *g = device_palette[index * 3 + 1];
  if (b) *b = device_palette[index * 3 + 2];
  return 0;
}

const uint8_t* VRK95_GetPalette(void) {
  std::memcpy(read_back, device_palette, sizeof read_back);
  return read_back;
}

void set_update_palette_func(update_palette_fn fn) { update_palette_func = fn; }
update_palette_fn get_update_palette_func(void) { return update_palette_func; }
int VRK95_PaletteChanges(void) { return changes; }
