// Shared by the dialog files (vrk/intrface*.cpp).
#pragma once

// get_input for a dialog's loop: when nothing came, parks in the platform's wait for up to
// 10 ms (the next event wakes it), so that a waiting dialog does not spin.
int VRK_intr_input(void);
// Number of lines of text (broken at '\n') and the widest line's text_width.
int VRK_intr_lines(const char* text, int* widest);
// The size of the box VRK_intr_text_window makes for text with an inner width of at least
// min_inner: the text's lines broken to fit the screen, the widest + 32 wide (at least
// min_inner + 16), the lines + 2 text lines + 16 high.
void VRK_intr_text_size(const char* text, int min_inner, int* width, int* height);
// A dialog's window of that size at (x, y) (moved to stay on the screen) with flags, textured,
// bordered, the broken text drawn at (16, 8); its id, or -1 (before win_init, no text, or a box
// taller than the screen). Lines are broken at '\n', at blanks where the next word would pass
// the screen's width, and inside a word wider than that alone; lines that fit stay as they are.
int VRK_intr_text_window(const char* text, int x, int y, int colour, int min_inner, int flags);
// Draws the lines of text into window win at (x, y), one text_height apart, with text_to_buf.
void VRK_intr_draw_lines(int win, const char* text, int x, int y, int colour);
// Forgets the debug window (win_exit freed it).
void VRK_intr_debug_exit(void);
// Forgets the open menu (win_exit).
void VRK_intr_menu_exit(void);
