// Puts input into SDL's event queue the way its video system would, for tests of the sdl driver
// (SDL's dummy video has no keyboard or mouse of its own).
#pragma once

// Queues a key event for an SDL scancode: down 1 / 0, repeat 1 for the system's own repeat.
// 1 when queued.
int test_sdl_key(int scancode, int down, int repeat);
// Queues pointer motion of (xrel, yrel) window pixels; 1 when queued.
int test_sdl_motion(int xrel, int yrel);
