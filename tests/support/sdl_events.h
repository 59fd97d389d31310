// Puts input into SDL's event queue the way its video system would, for tests of the sdl driver
// (SDL's dummy video has no keyboard or mouse of its own).
#pragma once

// Queues a key event for an SDL scancode: down 1 / 0, repeat 1 for the system's own repeat.
// 1 when queued.
int test_sdl_key(int scancode, int down, int repeat);
// Queues pointer motion to the window point (x, y), as an absolute device (or a warp) makes it:
// no relative motion; 1 when queued.
int test_sdl_pointer(int x, int y);
// Queues a press (down 1) or release of button 1 left / 3 right at window point (x, y); 1 when queued.
int test_sdl_button(int button, int down, int x, int y);
