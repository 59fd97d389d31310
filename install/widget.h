// Widgets of the installer's toolkit: the picture status bar (the install's progress bar).
#pragma once

// Adds the one status bar `name` in window `window` at (x, y) from two pictures of the same size
// (either -1: placed from the window's size); 1 when the bar exists afterwards. file and line
// name the caller for the allocator's records.
int real_win_add_status_bar(int window, const char* name, const char* fullFile, const char* emptyFile, int x, int y,
                            const char* file, int line);
// Shows the bar from fraction `from` up to fraction `to`; nothing without a bar.
void real_win_update_status_bar(const char* name, float from, float to, const char* file, int line);
// Removes the bar and frees its pictures.
void freeStatusBar(const char* name);
