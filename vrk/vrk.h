// The window system: a stack of rectangular windows, each with an 8-bit buffer of palette
// indices, composed onto the screen by clipping every window against those above it. Start and
// stop (win_init, win_exit), the window table and its z-order, drawing into window buffers, and
// the refresh that copies changed rectangles to the screen.
//
// Ids: 0 is the screen window (no buffer, painted in bk_color); others are the smallest free id
// from 1; at most VRK_MAX_WINDOWS windows including the screen window; -1 is no window. Calls
// with an unknown id, or before win_init, do nothing and return -1, null or 0.
//
// Colour words: bits 8-15 zero: bits 0-7 are a palette index; otherwise (colour & 0xFFFF) - 257
// selects one of the six window colours (VRK_wcolor, through colorTable) and the upper 16 bits
// stay. 256 selects the texture where a call says so.
#pragma once

#include <cstdint>

#include "vrk/rect.h"

constexpr int VRK_MAX_WINDOWS = 50;

// Window flags.
enum : int {
  WIN_INHERIT = 0x01,      // at creation, OR in the flags given to win_init
  WIN_NO_RAISE = 0x02,     // win_show keeps the window's place in the z-order
  WIN_ON_TOP = 0x04,       // stays above every window without this flag
  WIN_HIDDEN = 0x08,       // never drawn, skipped when clipping
  WIN_MODAL = 0x10,        // button checks and menu hot keys stop at this window
  WIN_TRANSPARENT = 0x20,  // with buffering, pixels of value 0 show what lies below
  WIN_NO_CLICK_RAISE = 0x40,
  WIN_DRAGGABLE = 0x80,
  WIN_ALIGN4 = 0x100,      // the left edge stays on a multiple of 4
};

// Flags of win_init.
enum : int {
  WIN_INIT_BUFFER = 0x01,     // allocate screen_buffer (buffering possible)
  WIN_INIT_MSEC_TIMER = 0x200,
};

// win_print flags (bits 16-23 go to the text renderer).
enum : int {
  WIN_PRINT_REFRESH = 0x1000000,  // refresh the printed area at once
  WIN_PRINT_NO_BK = 0x2000000,    // leave the background under the text
  WIN_PRINT_CUT = 0x4000000,      // cut a text that is too wide at the window edge
};

// win_init error codes.
enum : int {
  WIN_OK = 0,
  WIN_ERR_VIDEO = 1,
  WIN_ERR_MEMORY = 2,
  WIN_ERR_FONT = 3,
  WIN_ERR_TWICE = 4,
  WIN_ERR_NOT_INIT = 5,
  WIN_ERR_TOO_BIG = 6,
  WIN_ERR_DATABASE = 7,
  WIN_ERR_MODE8 = 8,
  WIN_ERR_RUNNING = 9,
  WIN_ERR_NO_TITLE = 10,
  WIN_ERR_INPUT = 11,
};

typedef int (*win_mode_fn)(void);
typedef void (*win_reset_fn)(void);
// Same arguments as buf_to_buf: source, width, height, source pitch, destination, destination pitch.
typedef void (*win_b2b_fn)(const uint8_t* src, int width, int height, int spitch, uint8_t* dst, int dpitch);

struct Button;
struct MenuBar;

// The window record.
struct Window {
  int id;
  int flags;
  Rect rect;       // place on the screen, width x height
  int width;       // buffer width (and pitch)
  int height;
  int color;       // background: palette index, or 256 for the texture
  int tx, ty;      // texture offsets (even)
  uint8_t* buffer; // width x height pixels (null for the screen window)
  Button* button_list;
  Button* hover_button;
  Button* pressed_button;
  MenuBar* menu_bar;
  win_b2b_fn trans_b2b;  // copy routine of a transparent window while buffering
};

extern Window* window[VRK_MAX_WINDOWS];   // z-order: 0 the screen window, the last on top
extern int window_index[VRK_MAX_WINDOWS]; // per id: position in window, or -1
extern int num_windows;
extern int VRK_win_init_flag;
extern int window_flags;
extern uint8_t* screen_buffer;  // screen-sized, only with WIN_INIT_BUFFER
extern int buffering;
extern int doing_refresh_all;
extern int bk_color;
extern uint8_t* VRK_texture;   // 16-bit LE width and height, then the pixels; null when none
extern int VRK_wcolor[6];      // the six window colours, RGB555

// --- start and stop ---
// Starts the window system (text, mode, colours, debug, input, dialogs, screen window); 0 or a
// WIN_ERR_* code. The reset routine is not used (VRK95_reset_mode always restores).
int win_init(win_mode_fn mode, win_reset_fn reset, int flags);
// Sets a new mode; 0, 1 (mode failed), 2 (no memory), 5 (not up), 6 (a window is too big): on
// an error the old mode is set again.
int win_reinit(win_mode_fn mode);
// 1 while the window system is up.
int win_active(void);
// Frees every window and stops everything win_init started; safe to call again and from itself.
void win_exit(void);
// Sets the title and takes the single-instance guard named after it (first call); null: nothing.
void win_set_minimized_title(const char* title);

// --- windows ---
// A new window (not drawn; show it with win_draw or win_show); its id, or -1 (not up, table
// full, larger than the screen, no memory).
int win_add(int x, int y, int width, int height, int color, int flags);
// Frees the window and redraws what it covered.
void win_delete(int id);
// Un-hides and (without WIN_NO_RAISE) raises the window, then draws it.
void win_show(int id);
// Hides the window and redraws what it covered.
void win_hide(int id);
// Moves the window (kept on the screen; WIN_ALIGN4 rounds x to a multiple of 4) and redraws.
void win_move(int id, int x, int y);
// Lets the user drag the window with the mouse until a button is released.
void win_drag(int id);
// Copies the whole window to the screen.
void win_draw(int id);
// Copies the window-relative rectangle of the window to the screen.
void win_draw_rect(int id, const Rect* r);
// The refresh primitive: copies the part of w inside screen rectangle r to the screen (dest
// null) or into dest, a buffer standing for r (pitch = r's width).
void VRK_win_refresh(Window* w, const Rect* r, uint8_t* dest);
// Redraws every window over the screen rectangle r; nothing before win_init.
void win_refresh_all(const Rect* r);
// win_refresh_all without the start test, into dest (a buffer standing for r) when not null.
void refresh_all(const Rect* r, uint8_t* dest);
// Composes every window under the cursor's rectangle into buf (pitch = the rectangle's width).
void win_get_mouse_buf(uint8_t* buf);
// Sets buffering (0 / 1) when screen_buffer exists.
void win_buffering(int flag);
// The window record of id, or null.
Window* VRK_find(int id);
// The window's buffer, or null.
uint8_t* win_get_buf(int id);
// Width / height of the window, or -1.
int win_width(int id);
int win_height(int id);
// Copies the window's screen rectangle into r; 0, or -1.
int win_get_rect(int id, Rect* r);
// Id of the highest window (hidden ones included) whose rectangle holds (x, y); 0 when none.
int win_get_top_win(int x, int y);
// The mouse's button event from the windows' buttons, top down to window 1, stopping at a
// window that took the mouse or a modal one; -1 when none.
int win_check_all_buttons(void);
// Button record of button id (and its window in *w when w is not null), bottom up; null when none.
Button* VRK_find_button(int id, Window** w);
// The input code, or the result of the menu whose pull-down hot key it is.
int VRK_check_menu_bars(int code);
// Transparent windows only: sets their copy routine (null: trans_buf_to_buf).
void win_set_trans_b2b(int id, win_b2b_fn fn);

// --- drawing into a window's buffer (window coordinates; nothing reaches the screen until a
// refresh, except WIN_PRINT_REFRESH). Rectangles outside the buffer are cut to it. ---
// Prints text at (x, y) in a field `width` wide (0: the text's width); see the WIN_PRINT_* flags.
void win_print(int id, const char* text, int width, int x, int y, int color);
// Prints count lines one text height apart; an empty line with a field width draws an etched line.
void win_text(int id, const char* const* strings, int count, int width, int x, int y, int color);
// A line (draw_line).
void win_line(int id, int x1, int y1, int x2, int y2, int color);
// The outline of a box (corners put in order).
void win_box(int id, int ulx, int uly, int lrx, int lry, int color);
// A box with upper-left and lower-right edges in two colours.
void win_shaded_box(int id, int ulx, int uly, int lrx, int lry, int ul_color, int lr_color);
// Fills a rectangle: 256 the texture (or window colour 0 without one), below 256 a palette index.
void win_fill(int id, int x, int y, int width, int height, int color);
// The standard 5-pixel frame: lightened bands, an outer box and two bevels.
void win_border(int id);
// Sets bk_color and redraws the screen window.
void win_set_bk_color(int color);
// Loads a texture description file through the archive (image name, six window colours in percent).
void win_texture(const char* name);
// Drops the texture and restores the default window colours.
void win_no_texture(void);
// The palette index a colour word stands for (window colours translated), upper bits kept.
int VRK_translate_color(int color);
// Loads an IFF texture image through the archive; 0, or -1 leaving no texture.
int load_texture(const char* name);

// How many window refreshes have run (any drawing that reached the screen moves it).
extern unsigned VRK_refresh_count;
