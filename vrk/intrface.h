// Dialogs of the window system: message boxes and yes/no questions.
#pragma once

// Modal message with a "Done" button at (x, y) (-1: centred) in `colour`; 0, or -1 when the window
// cannot be made.
int win_msg(const char* text, int x, int y, int colour);
// Modal yes/no question; 1 yes, 0 no, -1 when the window cannot be made.
int win_yes_no(const char* question, int x, int y, int colour);
