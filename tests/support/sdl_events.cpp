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

int test_sdl_pointer(int x, int y) {
  SDL_Event e{};
  e.type = SDL_MOUSEMOTION;
  e.motion.x = x;
  e.motion.y = y;
  return SDL_PushEvent(&e) == 1;
}

int test_sdl_button(int button, int down, int x, int y) {
  SDL_Event e{};
  e.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
  e.button.button = Uint8(button);
  e.button.state = down ? SDL_PRESSED : SDL_RELEASED;
  e.button.clicks = 1;
  e.button.x = x;
  e.button.y = y;
  return SDL_PushEvent(&e) == 1;
}
