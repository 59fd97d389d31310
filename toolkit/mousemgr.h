// The installer's mouse cursor: the picture the settings name (key "Mouse" of section "Startup"),
// hot spot at its first non-zero pixel, or a built-in arrow.
#pragma once

#include <cstdint>

// The loaded cursor picture (owned), or null.
extern uint8_t* curMouseBuf;

// Sensitivity 1.0, the named cursor picture (or the built-in arrow when none is named or it
// cannot be loaded), then the cursor shown.
void initMouse(void);
// Makes the built-in arrow (black outline, white fill, hot spot at its tip) the cursor; 1, or 0
// when the window system refused it.
int mouseSetDefaultShape(void);
// Hides the cursor, gives the window system back its own arrow and frees the picture; 1.
int mouseClose(void);
