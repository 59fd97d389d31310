// The platform contract for display, input and clock: what the window system needs from the
// machine it runs on, and the drivers that provide it (win32, sdl, headless).
//
// A driver is one record of function pointers filled by its `create` routine. The window system
// reaches the current driver only through the plat_* calls below; the driver reaches the window
// system back only through the handlers of plat_set_handlers (activation, paint, close). All calls
// run on the program's one thread.
//
// Pixels: the screen is 8-bit palette indices, or 16-bit pixels in the format pixel_format gives.
// Palette components are 6-bit (0..63). Rectangles have inclusive corners.
// Keys: DirectInput key codes, which are the PC scan codes with the grey (0xE0-prefixed) keys at
// 0x80 and above, each with a down (1) / up (0) flag. Mouse: relative motion plus raw buttons.
#pragma once

#include <cstdint>

// One key event as the keyboard device delivers it.
struct plat_key_event {
  uint8_t code;  // DirectInput key code (scan code; grey keys 0x80 + their scan code)
  uint8_t down;  // 1 pressed, 0 released
};

// One mouse reading: motion since the last read and the buttons now.
struct plat_mouse_state {
  int dx;
  int dy;
  uint8_t left;   // 1 while the left button is down
  uint8_t right;  // 1 while the right button is down
};

// A locked view of the screen's pixels.
struct plat_surface {
  uint8_t* pixels;  // first pixel of row 0
  int pitch;        // bytes from one row to the next
  int width;
  int height;
  int bpp;          // 8 or 16
};

// The three channel masks of the 16-bit pixel format.
struct plat_pixel_format {
  uint32_t rmask, gmask, bmask;
};

// The key buffer of the keyboard device holds this many events; plat_read_keys reads in
// batches of this size.
constexpr int PLAT_KEY_BATCH = 32;

struct plat_driver {
  const char* name;

  // --- video ---
  // Sets a width x height mode at 8 or 16 bits (window created on first use; the palette of a
  // new 8-bit mode is a grey ramp, entry i = (i, i, i) in 8-bit components); 0 or -1. Leaves an
  // earlier mode in place when it cannot change.
  int (*set_mode)(int width, int height, int bpp);
  // Releases the mode (surfaces, palette); safe without a mode.
  void (*reset_mode)(void);
  // Locks the whole screen for writing; 0 and the view, or -1 (no mode, or a lost surface that
  // could not be restored: the caller draws nothing).
  int (*lock)(plat_surface* out);
  // Ends a lock; (ulx, uly, lrx, lry) is the rectangle that changed (drivers that present a copy
  // of the screen show that part).
  void (*unlock)(int ulx, int uly, int lrx, int lry);
  // Sets count 8-bit-mode palette entries from 6-bit RGB triples, starting at first; 0 / -1.
  int (*set_palette)(const uint8_t* rgb6, int first, int count);
  // Reads count palette entries back as 6-bit RGB triples; 0, or -1 when it cannot be read.
  int (*get_palette)(uint8_t* rgb6, int first, int count);
  // The 16-bit pixel format of the current mode; 0, or -1 when the mode is not 16-bit.
  int (*pixel_format)(plat_pixel_format* out);
  // Sets the window title (the minimised title).
  void (*set_title)(const char* title);
  // Shows (1) or hides (0) the system's mouse cursor over the program's window.
  void (*show_cursor)(int show);
  // Shows a modal system message box (stop icon, OK); 1, or 0 when the driver has no display.
  int (*message_box)(const char* text, const char* caption);

  // --- input and system messages ---
  // Dispatches every waiting system message (focus, paint, close reach the handlers); never blocks.
  void (*pump)(void);
  // Takes up to max waiting key events in arrival order; the count (0 when none or the keyboard
  // is not acquired).
  int (*read_keys)(plat_key_event* out, int max);
  // Drops every waiting key event.
  void (*flush_keys)(void);
  // Acquires (on 1) or releases (0) the keyboard, with the system key hook; 1 on success.
  int (*acquire_keyboard)(int on);
  // Acquires or releases the mouse; 1 on success.
  int (*acquire_mouse)(int on);
  // Reads the mouse: motion since the last read and the buttons; 1, or 0 when it cannot be read.
  int (*read_mouse)(plat_mouse_state* out);
  // The lock-key toggles of the system: 1 Num Lock, 2 Caps Lock, 4 Scroll Lock.
  int (*lock_keys)(void);

  // --- clock ---
  // Milliseconds of a clock that only moves forward (wraps after 2^32).
  uint32_t (*time_ms)(void);
  // Raises (1) or restores (0) the system timer resolution; 0, or -1 when it cannot be read.
  int (*hook_timer)(int on);

  // --- end ---
  // Frees everything the driver holds (after reset_mode).
  void (*destroy)(void);
};

// One entry of the driver table.
struct plat_driver_entry {
  const char* name;
  int (*available)(void);            // 1 when the driver can run here
  int (*create)(plat_driver* out);   // fills the record; 0 / -1
};

// Calls from the driver up into the window system. Any slot may be null.
struct plat_handlers {
  void (*activate)(int active);                          // the program gained (1) / lost (0) the foreground
  void (*paint)(int ulx, int uly, int lrx, int lry);     // the system asks for this part to be redrawn
  void (*close)(void);                                   // the window was closed (default: exit(0))
};

// --- driver selection ---
// The driver table, ending with a null name.
const plat_driver_entry* plat_driver_table(void);
// The current driver, created on first use: VRK_VIDEO names it; otherwise the first available of
// win32, sdl, headless. Null when the named or every driver fails to start.
plat_driver* plat_driver_get(void);
// Name of the driver plat_driver_get would pick, without starting it.
const char* plat_driver_choice(void);
// Replaces the current driver by the named one (tests; null: the default choice); 0 / -1.
int plat_driver_select(const char* name);
// Ends the current driver (reset_mode, destroy).
void plat_driver_shutdown(void);
// Registers the window system's handlers (null: none).
void plat_set_handlers(const plat_handlers* handlers);
// The registered handlers (never null; slots may be).
const plat_handlers* plat_get_handlers(void);
// For drivers: the program gained or lost the foreground; calls the activate handler.
void plat_notify_activate(int active);
// For drivers: a part of the screen must be redrawn; calls the paint handler.
void plat_notify_paint(int ulx, int uly, int lrx, int lry);
// For drivers: the window was closed; calls the close handler, or exit(0) without one.
void plat_notify_close(void);

// --- clock and input through the current driver ---
// Milliseconds (timeGetTime semantics); 0 when no driver runs.
uint32_t plat_time_ms(void);
// One key event from a 32-entry batch buffer refilled from the driver; 1, or 0 when none waits.
int plat_read_key(plat_key_event* out);
// Drops the batch buffer and the driver's waiting key events.
void plat_flush_keys(void);

// --- system services ---
// The system message box for fatal start-up problems (stop icon, OK); on a driver without a
// display the text goes to stderr. Returns 1.
int plat_message_box(const char* text, const char* caption);
// Creates the named single-instance guard and holds it; 1 when this program is the first holder,
// 0 when another holder exists (the guard is then not held), -1 on failure.
int plat_guard_acquire(const char* name, intptr_t* handle);
// Releases a guard from plat_guard_acquire (-1: nothing).
void plat_guard_release(intptr_t handle);
// Full path of the program file into buf; its length, or 0 on failure.
int plat_program_path(char* buf, int size);
// Shows (1) or hides (0) the system's own mouse cursor (through the current driver).
void plat_show_cursor(int show);
// 1 when the running system is new enough for this program; otherwise shows "Wrong Windows
// Version" and returns 0.
int plat_check_requirements(void);

// --- per-driver entry points for the table (null on builds without them) ---
int plat_headless_available(void);
int plat_headless_create(plat_driver* out);
int plat_sdl_available(void);
int plat_sdl_create(plat_driver* out);
int plat_win32_available(void);
int plat_win32_create(plat_driver* out);

// --- sdl key mapping (portable: SDL scancodes are USB HID usage numbers) ---
// The DirectInput key code for an SDL scancode, or 0 when the key has none.
int plat_sdl_scancode_to_dik(int scancode);
