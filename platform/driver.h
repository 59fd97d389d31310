// The platform contract for display, input and clock: what the window system needs from the
// machine it runs on, and the table of drivers that provide it (win32, sdl, headless).
//
// A driver is one record of function pointers filled slot by slot by its `create` routine. The
// window system reaches the current driver only through the plat_* calls below (or the slots of
// plat_driver_get()); the driver reaches the window system back only through the handlers of
// plat_set_handlers (activation, paint, close), from inside pump (on win32 also from system calls
// that send the window messages themselves). All calls run on the program's one thread.
//
// Pixels: the screen is 8-bit palette indices, or 16-bit pixels in the format pixel_format gives.
// Palette components are 6-bit (0..63). Rectangles have inclusive corners.
//
// Presentation: unlock only marks the changed rectangle; the driver keeps the union of what was
// marked and shows it at present. plat_pump, plat_wait_events and plat_read_mouse present, so
// every loop that polls input shows its drawing once per pass: a cursor erased and drawn again in
// one pass appears as one frame. (win32 draws on the visible surface itself: present does nothing.)
//
// Input: keys are DirectInput key codes, which are the PC scan codes with the grey
// (0xE0-prefixed) keys at 0x80 and above, each with a down (1) / up (0) flag; the mouse is
// relative motion plus raw buttons. input_init makes the devices; acquire_* take them while the
// program has the foreground. The reads refresh the devices themselves (no pump is needed to see
// new keys or motion), never deliver the system's own key repeat, and drop everything that
// happens while a device is not acquired.
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

// The key buffer of the keyboard device holds this many events; plat_read_key reads in
// batches of this size.
constexpr int PLAT_KEY_BATCH = 32;

struct plat_driver {
  const char* name;

  // --- video ---
  // Sets a width x height mode at 8 or 16 bits (window created on first use; the palette of a
  // new 8-bit mode is a grey ramp, entry i = (i, i, i) in 8-bit components); 0 or -1.
  int (*set_mode)(int width, int height, int bpp);
  // Releases the mode (surfaces, palette); safe without a mode.
  void (*reset_mode)(void);
  // Locks the whole screen for writing; 0 and the view, or -1 (no mode, or a lost surface that
  // could not be restored: the caller draws nothing and does not unlock).
  int (*lock)(plat_surface* out);
  // Ends a lock and marks (ulx, uly, lrx, lry) as changed (empty when lrx < ulx); shows nothing.
  void (*unlock)(int ulx, int uly, int lrx, int lry);
  // Shows the union of what was marked since the last present, then forgets it.
  void (*present)(void);
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

  // --- system messages ---
  // Dispatches every waiting system message (focus, paint, close reach the handlers); never blocks.
  void (*pump)(void);
  // Sleeps until a system or input event arrives or ms have passed; 1 on an event, 0 on time-out.
  int (*wait_events)(int ms);

  // --- input ---
  // Makes the keyboard and mouse devices (after the first mode); 1, or 0 when they cannot be made.
  int (*input_init)(void);
  // Releases and frees both devices; safe when they were never made.
  void (*input_exit)(void);
  // Acquires (1) or releases (0) the keyboard, with the system key hook; 1, or 0 when it cannot
  // be acquired (no devices, or the program is not in the foreground).
  int (*acquire_keyboard)(int on);
  // Acquires (1) or releases (0) the mouse; 1, or 0 when it cannot be acquired.
  int (*acquire_mouse)(int on);
  // Takes up to max waiting key events in arrival order; the count (0 when none or not acquired).
  int (*read_keys)(plat_key_event* out, int max);
  // Drops every waiting key event.
  void (*flush_keys)(void);
  // Reads the mouse: motion since the last read and the buttons; 1, or 0 when it cannot be read
  // (not acquired, or lost and not acquired again).
  int (*read_mouse)(plat_mouse_state* out);
  // The lock-key toggles of the system: 1 Num Lock, 2 Caps Lock, 4 Scroll Lock.
  int (*lock_keys)(void);

  // --- clock ---
  // Milliseconds of a clock that only moves forward (wraps after 2^32).
  uint32_t (*time_ms)(void);
  // Raises (1) or restores (0) the system timer resolution; 0, or -1 when it cannot be changed.
  int (*hook_timer)(int on);

  // --- end ---
  // Frees everything the driver holds (input devices, mode, window).
  void (*destroy)(void);
};

// One entry of the driver table.
struct plat_driver_entry {
  const char* name;
  // 1 when the driver can run here, 0 when not, -1 when the system's display is there but the
  // driver cannot reach it (the default choice then fails rather than fall back to a driver that
  // shows nothing)
  int (*available)(void);
  int (*create)(plat_driver* out);   // fills every slot of the record; 0 / -1
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
// win32, sdl, headless. Null when the named or every driver fails to start, or when a driver
// before the first available one found the system's display but could not reach it.
plat_driver* plat_driver_get(void);
// Name of the driver plat_driver_get would pick, without starting it.
const char* plat_driver_choice(void);
// Replaces the current driver by the named one (tests; null: the default choice); 0 / -1.
int plat_driver_select(const char* name);
// Ends the current driver (destroy).
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

// --- one pass of an input loop, through the current driver (nothing without one) ---
// Shows what changed since the last present.
void plat_present(void);
// Dispatches waiting system messages, then presents.
void plat_pump(void);
// Presents, then sleeps until an event arrives or ms passed; 1 on an event, 0 on time-out.
int plat_wait_events(int ms);
// Presents, then reads the mouse (motion since the last read, buttons); 1, or 0 when unread.
int plat_read_mouse(plat_mouse_state* out);
// One key event from a 32-entry batch buffer refilled from the driver; 1, or 0 when none waits.
int plat_read_key(plat_key_event* out);
// Drops the batch buffer and the driver's waiting key events.
void plat_flush_keys(void);
// Milliseconds (timeGetTime semantics); 0 when no driver runs.
uint32_t plat_time_ms(void);
