// Managed windows of the installer's toolkit: named windows over the window system, one of them
// current.
#pragma once

// Shows picture file `name` with its own palette in the current managed window (flag 1: fade);
// 1, or 0 when the picture cannot be loaded.
int windowDisplayWithPalette(const char* name, int flag);
// The window-system id of the current managed window.
int windowGetVRKID(void);
