// Shared by the dialog files (vrk/intrface*.cpp).
#pragma once

#include <string>

// get_input for a dialog's loop: when nothing came, parks in the platform's wait for up to
// 10 ms (the next event wakes it), so that a waiting dialog does not spin.
int VRK_intr_input(void);
// Number of lines of text (broken at '\n') and the widest line's text_width.
int VRK_intr_lines(const char* text, int* widest);
// The text with its lines broken to be at most max_width wide (text_width): at blanks, and a
// word wider than that alone is broken between characters. Lines that fit are kept as they are.
std::string VRK_intr_wrap(const char* text, int max_width);
// Draws the lines of text into window win at (x, y), one text_height apart, with text_to_buf.
void VRK_intr_draw_lines(int win, const char* text, int x, int y, int colour);
// Forgets the debug window (win_exit freed it).
void VRK_intr_debug_exit(void);
// Forgets the open menu (win_exit).
void VRK_intr_menu_exit(void);
