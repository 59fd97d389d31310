// Display device: palette hand-off.
//
// STAND-IN: until the platform video drivers land, these calls do not reach a screen. They keep
// the 256-entry palette (6-bit components) the colour system hands over, count the hand-offs and
// call update_palette_func like the real device does, so that tests can read the palette back.
#pragma once

#include <cstdint>

typedef void (*update_palette_fn)(void);

// Sets one entry (components 0-63; out-of-range indices are ignored), then update_palette_func.
void VRK95_SetPaletteEntry(int index, int r, int g, int b);
// Sets `count` consecutive entries from triples starting at `first` (clipped to 0-255).
void VRK95_SetPaletteEntries(const uint8_t* triples, int first, int count);
// Sets all 256 entries from 768 bytes of triples.
void VRK95_SetPalette(const uint8_t* triples);
// Reads one entry (components 0-63); 0, or -1 for an index outside 0-255.
int VRK95_GetPaletteEntry(int index, int* r, int* g, int* b);
// A static 768-byte copy of the device palette, overwritten by the next call.
const uint8_t* VRK95_GetPalette(void);
// Sets / reads the routine called after every palette change (null: none).
void set_update_palette_func(update_palette_fn fn);
update_palette_fn get_update_palette_func(void);

// Stand-in only: number of palette hand-offs so far (every Set* call counts one).
int VRK95_PaletteChanges(void);
