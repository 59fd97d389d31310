// Widgets of the installer's toolkit, refreshed by their owner's calls, never by themselves:
// - the picture status bar (widget_status.cpp): one bar at a time, an empty and a full picture of
//   the same size, the full one shown left of the position (the install's progress bar);
// - update regions (widget.cpp): up to 32 live values printed where a window says, each time the
//   update regions run;
// - text regions and text input regions (widget_text.cpp, widget_input.cpp): one-line boxes
//   with their own font, colours and justification, and edit fields over them that edit a
//   caller's buffer in place (insert, delete, cursor keys, Enter accepts, Escape undoes,
//   horizontal scrolling, a blinking bar cursor): the one background field fed key by key, and
//   click-to-edit fields with a modal edit loop.
//
// Windows are the window system's ids except in the calls whose names begin with "window", which
// act on the current managed window. Results: 1 success, 0 failure (an index not in use); text
// regions and text input regions have 1-based indices.
#pragma once

#include <cstdint>

// --- the status bar (widget_status.cpp). `name` names the bar for the caller only (there is one
// bar); `file` and `line` name the caller for the allocator's records. ---
// Adds the one status bar in window `window` at (x, y) from two pictures of the same size
// (x -1: centred in the current managed window; y -1: 50 pixels above its bottom), removing any
// bar before; nothing is drawn yet. 1 when the bar exists afterwards; 0 (no bar, a debug line)
// when a picture does not load or their sizes differ.
int real_win_add_status_bar(int window, const char* name, const char* fullFile, const char* emptyFile, int x, int y,
                            const char* file, int line);
// Shows the bar from column `start` with the segment ending at column `end`; draws.
void real_win_set_status_bar(const char* name, int start, int end, const char* file, int line);
// Shows the bar from fraction `from` up to fraction `to`; nothing without a bar.
void real_win_update_status_bar(const char* name, float from, float to, const char* file, int line);
// Shows the bar `fraction` of the way through the segment; draws.
void real_win_increment_status_bar(const char* name, float fraction, const char* file, int line);
// The position, start and end in columns; -1 in all three without a bar.
void real_win_get_status_info(const char* name, int* position, int* start, int* end, const char* file, int line);
// Sets position, start and end without drawing.
void real_win_modify_status_info(const char* name, int position, int start, int end, const char* file, int line);
// Removes the bar and frees its pictures (freeStatusBar is the same call).
void real_win_delete_status_bar(const char* name);
void freeStatusBar(const char* name);

// --- update regions (widget.cpp) ---
constexpr int UPDATE_REGIONS_MAX = 32;
// Input types (bits 0-7) and output types (bits 8-15) of an update region.
enum : int {
  UPDATE_IN_INT = 1,
  UPDATE_IN_FLOAT = 2,
  UPDATE_IN_FIXED = 4,  // signed 16.16
  UPDATE_IN_STRING = 8,
  UPDATE_IN_NONE = 16,
  UPDATE_OUT_INT = 0x100,      // " %d "
  UPDATE_OUT_REAL = 0x200,     // " %f "
  UPDATE_OUT_PERCENT = 0x400,  // " %6.2f%% " of the value times 100
  UPDATE_OUT_FUNC = 0x800,     // the output function prints by itself
};
typedef void (*update_output_fn)(void* value);
// A live value printed at (x, y) of a window in `colour` (a win_print colour word) whenever the
// update regions run; the value stays the caller's. Its index 0-31, or -1 when all are in use.
int win_register_update(int window, int x, int y, update_output_fn output, void* value, int type, int colour);
// Frees one; 1, or 0 for a free or out-of-range index.
int win_delete_update_region(int index);
// Frees those of a window; 1.
int win_delete_all_update_regions(int window);
// Prints every update region in index order (straight to the screen).
void win_do_updateregions(void);
// win_do_updateregions; 1.
int update_widgets(void);
// win_do_updateregions; 0.
int widgetDoInput(void);

// --- the module ---
// Forgets every update region, text region and text input region and removes the status bar;
// from now on deleting a managed window deletes its widgets, and resizing one takes them along.
// Called once at start-up.
void initWidgets(void);
// Frees the text-region and text-input-region tables and removes the status bar.
void widgetsClose(void);
// Deletes a window's text input regions, text regions and update regions, and the status bar
// when it is drawn there; 1.
int win_delete_widgets(int window);
// Takes the widgets of window oldWindow to newWindow (resizeWindow makes a new window), their
// places scaled from oldWidth x oldHeight to newWidth x newHeight: text regions (and the fields
// over them: a click-to-edit field's button is registered again there), update regions and the
// status bar; 1.
int win_move_widgets(int oldWindow, int newWindow, int oldWidth, int oldHeight, int newWidth, int newHeight);
// Prints the text centred across the window at y; 1.
int win_center_str(int window, const char* text, int y, int colour);

// --- text regions (widget_text.cpp) ---
struct TextRegion {
  int window;  // window-system id
  int inUse;
  int x, y;
  int width;          // one more than asked with the shadow flag
  int height;         // the font's text height, one more with the shadow flag
  int justification;  // 0 left, 1 right, 2 centred
  int colour;         // palette index and text flags
  int background;     // palette index the box is filled with
  int font;
};
// The table (records 1..numTextRegions are textRegions[0..numTextRegions-1]).
extern TextRegion* textRegions;
extern int numTextRegions;

// A box in window `window`; its index (a free record, or a new one).
int win_add_text_region(int window, int x, int y, int width, int font, int justification, int colour, int background);
// The same in the current managed window; -1 when none is current.
int windowAddTextRegion(int x, int y, int width, int font, int justification, int colour, int background);
// Fills the box with its background and prints the text (the first `length` characters) in its
// font, colour and justification, cut to the box; nothing reaches the screen. 1, or 0.
int win_print_text_region(int index, const char* text);
int win_print_substr_region(int index, const char* text, int length);
int windowPrintTextRegion(int index, const char* text);
// Shows the box on the screen; 1, or 0.
int win_update_text_region(int index);
int windowUpdateTextRegion(int index);
// Frees the record; 1, or 0.
int win_delete_text_region(int index);
int windowDeleteTextRegion(int index);
// New font, justification, colours; the height follows the font and the shadow flag. 1, or 0.
int win_text_region_style(int index, int font, int justification, int colour, int background);
int windowTextRegionStyle(int index, int font, int justification, int colour, int background);

// --- text input regions (widget_input.cpp) ---
typedef void (*text_idle_fn)(void);
typedef void (*text_delete_fn)(char* buffer, void* data);
struct TextInputRegion {
  int textRegion;  // index of the text region it edits
  int inUse;
  int maximumLength;  // the buffer holds maximumLength + 1 bytes
  int cursor;         // 0..length
  int length;
  char* buffer;        // the caller's, kept zero-terminated
  char* displayStart;  // first character shown
  int displayedLength;
  int button;  // window-system button over the box (click-to-edit)
  text_delete_fn deleteCallback;
  text_idle_fn idle;
  void* deleteData;
};
// The click-to-edit table (records 1..numTextInputRegions) and the background field.
extern TextInputRegion* textInputRegions;
extern int numTextInputRegions;
extern TextInputRegion BTIR;
extern int BTIRactive;

// Makes a click-to-edit field over text region `textRegion` editing `buffer` (room for
// maximumLength + 1 bytes); a click on the box starts a modal edit. Its index, or 0 when the text
// region is not in use or its box does not lie wholly inside its window (it could not be clicked).
int win_add_text_input_region(int textRegion, char* buffer, int maximumLength, text_idle_fn idle);
int windowAddTextInputRegion(int textRegion, char* buffer, int maximumLength, text_idle_fn idle);
// Starts the modal edit of a field as a click would; returns when Enter or Escape ends it. 1, or
// 0 when the index is not in use or an edit is running.
int windowSelectTextInputRegion(int index);
// The release routine of a field's button: runs the modal edit of field code - 0x400.
void textInputRegionDispatch(int button, int code);
// Calls the field's delete callback, frees the field, its button and its text region; 1, or 0.
int win_delete_text_input_region(int index);
// Deletes every field whose box is in window `window`; 1.
int win_delete_all_text_input_regions(int window);
// -1: every field of the current managed window; otherwise that one. 1, or 0.
int windowDeleteTextInputRegion(int index);
// Sets the callback the field's deletion calls with its buffer and data; 1, or 0.
int win_set_text_input_delete_func(int index, text_delete_fn callback, void* data);
int windowSetTextInputDeleteFunc(int index, text_delete_fn callback, void* data);

// Makes the background field (one at a time: ignored while one exists) over text region
// `textRegion`, the cursor at the end of the text; with autoUpdate it reads the keyboard itself
// as a background process of the input poll.
void winSetupBackgroundTextInputRegion(int textRegion, char* buffer, int maximumLength, text_idle_fn idle,
                                       int autoUpdate);
// Feeds one input code to the background field (-1 and -2 only blink the cursor): editing keys,
// Enter keeps the text as the point Escape returns to, Escape returns to it.
void winManualUpdateTextInputRegion(int key);
void winAutoUpdateTextInputRegion(int key);
// winManualUpdateTextInputRegion with the next key of the keyboard.
void winDoBackgroundTextInputRegion(void);
// Redraws an edit field, scrolled so that its cursor stays in the box, and shows it.
void winUpdateBackgroundTextInputRegion(int textRegion, TextInputRegion* record);
// Redraws and removes the background field.
void winDeleteBackgroundTextInputRegion(void);
