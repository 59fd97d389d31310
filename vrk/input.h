// The input queue of the window system: one call reads the next input code. The engine calls it
// in its loops; the module itself lands with the window system's input loop.
#pragma once

// The next input code, never waiting: -1 nothing, -2 a mouse event no button claimed, 0..255
// characters and button codes, 256 + extended code for other keys.
int get_input(void);
