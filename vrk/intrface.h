// Dialogs of the window system: message boxes, yes/no questions and menu bars.
#pragma once

struct MenuBar;

// Modal message with a "Done" button at (x, y) (-1: centred) in `colour`; 0, or -1 when the window
// cannot be made.
int win_msg(const char* text, int x, int y, int colour);
// Modal yes/no question; 1 yes, 0 no, -1 when the window cannot be made.
int win_yes_no(const char* question, int x, int y, int colour);

// Starts the dialogs (called by win_init).
void VRK_intr_init(void);
// Stops the dialogs (called by win_exit).
void VRK_intr_exit(void);
// Frees a window's menu bar (null: nothing).
void VRK_menu_free(MenuBar* bar);
// The result of the pull-down of `bar` whose hot key is code, or code when none has it.
int VRK_menu_hot_key(MenuBar* bar, int code);
