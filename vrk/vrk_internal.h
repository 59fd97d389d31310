// Shared between the window system's own files (vrk/vrk*.cpp): the colour-file hooks handed to
// the colour system and the window colours' defaults.
#pragma once

#include <cstdint>

// Colour-file hooks over the archive streams: a handle, or -1; bytes read; close.
int VRK_color_open(const char* name, int flags);
int VRK_color_read(int handle, void* buf, int size);
void VRK_color_close(int handle);
// Sets the six window colours to their defaults.
void VRK_set_default_colors(void);
// Puts the windows of table positions [from, to] back into window_index.
void VRK_reindex(int from, int to);
// Frees what the refresh keeps between calls (win_exit).
void VRK_refresh_exit(void);
// Texture offsets of new windows come from this generator (0..32767), the same on every
// platform, so that a session draws the same picture everywhere; win_init seeds it with 1.
int VRK_rand(void);
void VRK_srand(uint32_t seed);
