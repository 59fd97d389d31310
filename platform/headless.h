// The headless driver's controls: a deterministic stage for tests of the window system. The
// screen is a memory framebuffer with a palette; input and system events come from a timeline
// of stamped events; the clock is virtual; failures can be injected; what the program did can be
// read back. These act on the headless driver's state whether or not it is the current driver.
//
// Timeline: every event has a virtual time and is due once the clock has reached it; events of
// one time come in the order they were added. Key and mouse events reach the devices when a read
// of the devices or the clock (or pump, wait, acquire, flush) finds them due, and are dropped when
// the device is not acquired then;
// focus, expose and close events reach the window system only through pump, and a read stops at
// the first such event that pump has not delivered yet, so input never overtakes a focus change.
//
// Clock: it moves only by the timeline, by waiting, or by these controls, never by being read.
// wait_events moves it to the next event's time or by its ms, whichever comes first. A program
// that spins (64 polls in a row of the clock, pump or the reads, with nothing delivered and
// nothing due) sees the clock jump to the next event's time, or by 1 ms when none is left.
#pragma once

#include <cstdint>

// A rectangle with inclusive corners; empty while lrx < ulx.
struct plat_headless_rect {
  int ulx, uly, lrx, lry;
};

// --- timeline: events at a virtual time ---
// A key event (DirectInput key code, 1 down / 0 up).
void plat_headless_at_key(uint32_t time, int code, int down);
// Mouse motion (added to the next read's) and the raw buttons from then on (1 left, 2 right).
void plat_headless_at_mouse(uint32_t time, int dx, int dy, int buttons);
// The program gains (1) or loses (0) the foreground.
void plat_headless_at_focus(uint32_t time, int active);
// The system asks for a part of the screen to be redrawn.
void plat_headless_at_expose(uint32_t time, int ulx, int uly, int lrx, int lry);
// The window is closed.
void plat_headless_at_close(uint32_t time);
// Number of events not delivered yet.
int plat_headless_pending(void);
// Drops every event not delivered yet.
void plat_headless_clear_timeline(void);

// --- the same at the current time ---
void plat_headless_key(int code, int down);
void plat_headless_mouse(int dx, int dy, int buttons);
void plat_headless_focus(int active);
void plat_headless_expose(int ulx, int uly, int lrx, int lry);
void plat_headless_close(void);

// --- clock ---
// Moves the virtual clock forward by ms.
void plat_headless_advance(uint32_t ms);
// Sets the virtual clock.
void plat_headless_set_time(uint32_t ms);

// --- the system's state ---
// Sets the lock-key toggles the system reports: 1 Num Lock, 2 Caps Lock, 4 Scroll Lock.
void plat_headless_set_lock_keys(int flags);

// --- failure injection: operations that fail while their bit is set ---
enum : unsigned {
  PLAT_HEADLESS_FAIL_SET_MODE = 1,      // set_mode returns -1, the mode stays as it was
  PLAT_HEADLESS_FAIL_LOCK = 2,          // lock returns -1 (a lost surface that cannot be restored)
  PLAT_HEADLESS_FAIL_PALETTE_READ = 4,  // get_palette returns -1
  PLAT_HEADLESS_FAIL_TIMER = 8,         // hook_timer returns -1
  PLAT_HEADLESS_FAIL_INPUT_INIT = 16,   // input_init returns 0
  PLAT_HEADLESS_FAIL_KEYBOARD = 32,     // acquire_keyboard(1) returns 0
  PLAT_HEADLESS_FAIL_MOUSE = 64,        // acquire_mouse(1) returns 0
};
// Sets the failing operations (a set of PLAT_HEADLESS_FAIL_* bits; 0: none fails).
void plat_headless_fail(unsigned which);

// --- reading back what happened ---
// The framebuffer (null without a mode), with its size, pitch and depth.
const uint8_t* plat_headless_pixels(int* width, int* height, int* pitch, int* bpp);
// Copies the current palette as 256 6-bit RGB triples into rgb6 (768 bytes).
void plat_headless_palette(uint8_t* rgb6);
// The union of the rectangles unlocked since the last call (empty: lrx < ulx); 1 when not empty.
int plat_headless_take_unlocked(plat_headless_rect* out);
// Number of presents that showed something, and in last (may be null) what the last one showed.
int plat_headless_presents(plat_headless_rect* last);
// 1 while the program has the foreground (as the last delivered focus event left it).
int plat_headless_active(void);
// 1 while the keyboard (mouse) is acquired.
int plat_headless_keyboard_acquired(void);
int plat_headless_mouse_acquired(void);
// 1 while the system cursor is shown.
int plat_headless_cursor_shown(void);
// The last title set.
const char* plat_headless_title(void);
// The text of the last message box ("" when none was shown).
const char* plat_headless_message(void);
// Writes the screen as a BMP file: 8-bit with the palette in 8-bit modes, 24-bit (each 5-6-5
// channel widened) in 16-bit modes; 0 / -1.
int plat_headless_dump(const char* path);
