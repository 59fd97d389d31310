// Text of the window system: one set of replaceable text functions. Font numbers 0-9 are the
// built-in 1-bit fonts "font0.fon" ... "font9.fon" read through the archive streams; other
// numbers are served by font managers a program registers. Selecting a font number copies its
// manager's functions into the current set, through which every caller measures and draws.
#pragma once

#include <cstddef>
#include <cstdint>

// Flags of the colour word of text_to_buf (bits 0-7: palette index).
constexpr int TEXT_SHADOW = 0x10000;
constexpr int TEXT_UNDERLINE = 0x20000;
constexpr int TEXT_MONO = 0x40000;

constexpr int TEXT_MAX_MANAGERS = 10;
constexpr int TEXT_BUILTIN_FONTS = 10;

typedef void (*text_select_fn)(int font_num);
// Draws `text` at the top-left pixel `buf` within `limit` pixels; the number of characters drawn.
typedef int (*text_to_buf_fn)(uint8_t* buf, const char* text, int limit, int pitch, int color);
typedef int (*text_metric_fn)(void);
typedef int (*text_measure_fn)(const char* text);
typedef int (*text_char_fn)(int c);

// A font manager: the font numbers it serves (low < high, inclusive) and its functions.
struct text_manager {
  int low;
  int high;
  text_select_fn select;
  text_to_buf_fn text_to_buf;
  text_metric_fn text_height;
  text_measure_fn text_width;
  text_char_fn text_char_width;
  text_measure_fn text_mono_width;
  text_metric_fn text_spacing;
  text_measure_fn text_size;
  text_metric_fn text_max;
};

// The functions of the current font (before any selection they measure 0 and draw nothing).
extern text_to_buf_fn text_to_buf;
extern text_metric_fn text_height;
extern text_measure_fn text_width;
extern text_char_fn text_char_width;
extern text_measure_fn text_mono_width;
extern text_metric_fn text_spacing;
extern text_measure_fn text_size;
extern text_metric_fn text_max;

// Number of registered managers.
extern int total_managers;
// The selected font number, -1 until one is selected.
extern int curr_font_num;

// Loads fonts 0-9, registers the built-in manager and selects the lowest loaded font; 0, or -1
// when no font could be loaded or the manager not registered.
int VRK_text_init(void);
// Releases every built-in font and forgets every manager and the selection.
void VRK_text_exit(void);
// Loads built-in font n (0-9) from the archive member "font<n>.fon"; 0 / -1 (slot left unloaded).
int VRK_text_load_font(int n);
// Loads built-in font n (0-9) from the bytes of a ".fon" file; 0 / -1 (slot left unloaded).
int VRK_text_load_font_mem(int n, const void* data, size_t size);
// Releases built-in font n (the current built-in font is deselected when it is n).
void VRK_text_free_font(int n);

// Registers a copy of `manager`; 0, or -1 (null, table full, low not below high, range in use).
int text_add_manager(const text_manager* manager);
// Removes the manager serving `font_num`; 0, or -1 (none serves it, or the current font is its).
int text_remove_manager(int font_num);
// Selects `font_num` when a manager serves it; otherwise nothing changes.
void text_font(int font_num);
// The selected font number (-1 before any).
int text_curr(void);
// 1 and the manager (when `manager` is not null) when `font_num` is served, else 0.
int text_font_exists(int font_num, text_manager* manager);

// The built-in manager's functions.
void VRK_text_font(int n);
int VRK_text_to_buf(uint8_t* buf, const char* text, int limit, int pitch, int color);
int VRK_text_height(void);
int VRK_text_width(const char* text);
int VRK_text_char_width(int c);
int VRK_text_mono_width(const char* text);
int VRK_text_spacing(void);
int VRK_text_size(const char* text);
int VRK_text_max(void);
