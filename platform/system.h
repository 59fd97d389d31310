// System services the window system's entry needs besides the display: the system message box,
// the single-instance guard, the program's path, the requirements check and the system cursor.
#pragma once

#include <cstdint>

// The system message box for fatal start-up problems (stop icon, OK), through the current
// driver; on a driver without a display the text goes to stderr. Returns 1.
int plat_message_box(const char* text, const char* caption);
// Shows (1) or hides (0) the system's own mouse cursor (through the current driver).
void plat_show_cursor(int show);
// Creates the named single-instance guard and holds it; 1 when this program is the first holder,
// 0 when another holder exists (the guard is then not held), -1 on failure.
int plat_guard_acquire(const char* name, intptr_t* handle);
// Releases a guard from plat_guard_acquire (-1: nothing).
void plat_guard_release(intptr_t handle);
// The system-wide name a guard called name gets: "NS_name" while the environment variable
// VRK_GUARD_NS is NS (so that test runs side by side never share a guard), else name itself.
// Its length, or -1 when it does not fit in size.
int plat_guard_name(const char* name, char* buf, int size);
// Full path of the program file into buf; its length, or 0 on failure.
int plat_program_path(char* buf, int size);
// 1 when the running system is new enough for this program; otherwise shows "Wrong Windows
// Version" and returns 0.
int plat_check_requirements(void);
