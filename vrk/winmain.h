// The program entry of the window system: single-instance guard, requirements check, command
// line, signal handlers that restore the display, then the application's entry. Also the
// activation and paint handling the display driver calls back into, and the system error box.
#pragma once

#include <cstdint>

#include "vrk/rect.h"

extern intptr_t VRK95_mutex;        // the start-up guard "VRK95MUTEX"; -1 once released
extern char VRK95_title[256];       // the window (minimised) title, always terminated
extern const char* VRK95_lpszCmdLine;  // the raw command line given to the entry
extern int VRK95_nCmdShow;          // the show flag given to the entry (kept, not used)
extern int VRK95_app_status;        // what the application's entry returned (0 until it has)

typedef int (*vrk_app_fn)(int argc, char** argv);

// Start-up: guard, hidden system cursor, requirements, command line, signal handlers, active
// flag, handlers to the driver, then app(argc, argv), whose value goes into VRK95_app_status. 1
// when app ran, 0 when start-up stopped early (another copy runs: silently; old system: after its
// message box).
int VRK95_WinMain(const char* cmdline, int show, vrk_app_fn app);
// Restores the display after a fatal signal, then lets the signal take its normal course.
void SignalHandler(int sig);
// Activation change from the driver: sets VRK95_isActive, takes (1) or gives back (0) the input
// devices, and repaints the whole screen on return.
void VRK95_activate(int active);
// The system asks for a part of the screen to be redrawn.
void VRK95_paint(const Rect* r);
// The driver's close call-back: the user closed the program's window, which the program takes as
// Escape (27, queued for get_input), so that it ends, asks or goes on as Escape does where it is.
void VRK95_close(void);
// Shows the system cursor and a system message box with the message; returns 1.
int VRKSystemError(const char* message);
// Sets the window title (at most 255 characters kept) and passes it to the driver.
void VRK95_set_title(const char* title);

// Input hand-over used on activation changes (the input module's VRK95_hook_input; null:
// acquire or release both devices directly).
extern void (*VRK95_hook_input_func)(int on);
// The window system's exit (win_exit; null: VRK95_reset_mode), called from SignalHandler.
extern void (*VRK95_exit_func)(void);
