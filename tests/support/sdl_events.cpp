// SDL event injection for the sdl driver's tests.
#include "tests/support/sdl_events.h"

#include <SDL.h>

int test_sdl_key(int scancode, int down, int repeat) {
  SDL_Event e{};
  e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
  e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.key.repeat = Uint8(repeat ? 1 : 0);
  e.key.keysym.scancode = SDL_Scancode(scancode);
  return SDL_PushEvent(&e) == 1;
}

int test_sdl_motion(int xrel, int yrel) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.xrel = xrel;
  e.motion.yrel = yrel;
  return SDL_PushEvent(&e) == 1;
}
