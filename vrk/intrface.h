// Dialogs of the window system: ready-made modal interactions built from windows, text buttons
// and the input loop (a message box, a yes/no question, a list chooser, string and number entry,
// a text output box), pull-down menus with menu bars, and self-dismissing timed messages.
//
// Each modal call makes its own window (on top and modal, textured background), runs its own
// get_input loop until it has an answer (background processes keep running meanwhile), deletes
// the window and returns. Every call returns -1 before win_init or when its window cannot be
// made. Colour words are those of win_print (window colours from 257, text flags above).
// Texts given to a dialog or menu are read while it is up; menus keep the caller's item arrays.
#pragma once

#include "vrk/rect.h"

constexpr int MENU_MAX_PULLDOWNS = 15;
constexpr int TIMED_MSG_MAX = 5;

// One pull-down of a menu bar.
struct MenuPullDown {
  Rect title;  // the title in window coordinates
  int hot_key;
  int count;
  const char* const* items;  // the caller's; an empty item is a separator
  int foreground, background;
};

// A window's menu bar.
struct MenuBar {
  int window;
  Rect rect;  // window coordinates
  int count;
  MenuPullDown pulldowns[MENU_MAX_PULLDOWNS];
  int foreground, background;
};

// Routine of a list chooser: called with the items and the chosen index; the list stays open.
typedef void (*win_list_fn)(const char* const* items, int index);

// Message box at (x, y) (moved to stay on the screen) with a "Done" button, which has the focus
// mark; returns 0 once dismissed (the button, Escape, Enter or Space), -1 when the window cannot be made (the box would be taller
// than the screen). Lines of the text are broken at '\n', and between words (or inside a word
// wider than the screen) where they would not fit on the screen.
int win_msg(const char* text, int x, int y, int colour);
// Yes/no question with "Yes" and "No" buttons, its text broken as win_msg's; the focus mark
// starts on "Yes" and Tab, Left and Right move it. 1 for yes (the button, y, Y, Enter or Space on
// "Yes"), 0 for no (the button, Escape, n, N, Enter or Space on "No"), -1 when the window cannot be
// made (the question was not asked).
int win_yes_no(const char* question, int x, int y, int colour);
// The size in *width and *height of the box win_msg (question 0) or win_yes_no (question 1) makes
// for text; 0, or -1 before win_init.
int win_dialog_size(const char* text, int question, int* width, int* height);
// List chooser from the first item: as win_list_select_at with first 0.
int win_list_select(const char* title, const char* const* items, int count, win_list_fn routine, int x, int y,
                    int colour);
// List chooser of up to 10 visible lines starting at item first: the chosen index (Enter or a
// click on a line), or -1 (Escape, "Done"). With a routine, a choice calls it and the list stays.
int win_list_select_at(const char* title, const char* const* items, int count, win_list_fn routine, int x, int y,
                       int colour, int first);
// String entry box with the title, "Done" and "Cancel": 0 confirmed, -1 cancelled; buffer holds
// what was typed (at most max characters, terminated).
int win_get_str(char* buffer, int max, const char* title, int x, int y);
// Edits buffer in place in window win at (x, y) with a "_" cursor: Backspace removes, Enter
// confirms (0), Escape cancels (-1, the buffer keeps what was typed); at most max characters.
int win_input_str(int win, char* buffer, int max, int x, int y, int text_colour, int back_colour);
// Shows the title and count lines with a "Done" button at (x, y); 0 once closed, or -1.
int win_output(const char* title, const char* const* lines, int count, int x, int y, int colour);
// Number entry between min and max (a start value outside is moved to the nearer limit); Up and
// Down change it by step (0: 1). 0 confirmed (*value set), -1 cancelled or max below min.
int win_get_num_i(int* value, int min, int max, int step, const char* title, int x, int y);
// A pull-down at (x, y) on window colour 0: the chosen index, or -1.
int win_pull_down(const char* const* items, int count, int x, int y, int colour);
// A menu bar in window win (window coordinates); 0, or -1 (the window has one, or it does not fit).
int win_register_menu_bar(int win, int x, int y, int width, int height, int foreground, int background);
// Adds a pull-down to win's bar: its title at x_offset in the bar, opened by hot_key (typed, or
// the code of a click on the title); 0, or -1 (no bar, 15 pull-downs, no room, no items).
int win_register_menu_pulldown(int win, int x_offset, const char* title, int hot_key, int count,
                               const char* const* items, int foreground, int background);
// Takes the bar away (its rectangle filled with the window colour; titles' buttons deleted).
void win_delete_menu_bar(int win);
// Opens pull-down index of bar and runs it (Left and Right move to the neighbours): after a
// choice the input queue holds only the chosen index and the pull-down's hot key is returned;
// -1 when nothing was chosen or a menu is open already.
int VRK_process_menu(MenuBar* bar, int index);
// The widest text_width of the strings.
int win_width_needed(const char* const* strings, int count);
// A message centred at one of five places that goes away by itself after the persistence time
// (or when clicked); 0, or -1 (five showing, no place free, window system down).
int win_timed_msg(const char* text, int colour);
// Milliseconds a timed message stays (3000 at first).
void win_timed_msg_defaults(int ms);
// Appends text to a scrolling "Debug" window with a "Close" button (made on first use); 0 or -1.
int win_debug(const char* text);

// --- the window system's calls ---
// Sets up the timed messages for the screen (win_init).
void VRK_intr_init(void);
// Removes every timed message and the debug window's state (win_exit).
void VRK_intr_exit(void);
// Frees a window's menu bar record (null: nothing); its window is going away.
void VRK_menu_free(MenuBar* bar);
