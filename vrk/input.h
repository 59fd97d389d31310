// The input queue of the window system and its clock: get_input collects one button event or key
// per call into a 40-entry queue and returns one code, never waiting; background processes run
// inside it; the pause (Alt-P) and screen-dump (Alt-C) keys act before codes are queued. While
// the program is in the background get_input parks until it is active again. Times are
// milliseconds ("tocks") of the platform clock.
#pragma once

#include <cstdint>

#include "platform/driver.h"

constexpr int INPUT_QUEUE_SIZE = 40;
constexpr int INPUT_PAUSE_KEY = 281;       // Alt-P
constexpr int INPUT_SCREENDUMP_KEY = 302;  // Alt-C

typedef void (*bk_process_fn)(void);
typedef int (*pause_win_fn)(void);
typedef int (*screendump_fn)(int width, int height, const uint8_t* pixels, const uint8_t* palette);
typedef void (*focus_fn)(int gained);
typedef void (*idle_fn)(void);

// Devices, keyboard driver, mouse, timer period and hook; the queue and lists at their start
// values; 0, or -1 (called by win_init).
int VRK_input_init(int msec_timer);
// Gives back the hook, timer, devices and background list (called by win_exit).
void VRK_input_exit(void);
// The next input code, never waiting: -1 nothing, -2 a mouse button event no button claimed,
// 0..255 characters and button codes, 256 + extended code for other keys.
int get_input(void);
// The mouse position of the last code returned (-1, -1 before any).
void get_input_position(int* x, int* y);
// One pass of background work: processes, mouse poll, one button event or one key queued.
void process_bk(void);
// Queues a code with the mouse position (-1 ignored; the pause and dump keys act instead; a
// full queue drops it).
void VRK_add_input_buffer(int code);
// Empties the queue.
void flush_input_buffer(void);
// Runs the background processes once (not while paused or disabled).
void VRK_do_bk_process(void);
// Adds a background process (a listed one that was removed comes back).
void add_bk_process(bk_process_fn fn);
// Marks it removed; its node is freed at the next run.
void remove_bk_process(bk_process_fn fn);
void enable_bk(void);
void disable_bk(void);
// The pause key and the routine that builds the pause window (null: the default window).
void register_pause(int key, pause_win_fn fn);
// The dump key and the routine that stores a dump (null: the default BMP writer).
void register_screendump(int key, screendump_fn fn);
// Renders the screen into memory and hands it to the dump routine.
void dump_screen(void);
// Opens the pause window and waits for Escape (or its Done button); background processes stop meanwhile.
void pause_game(void);
// The default pause window ("Paused", a Done button giving 27); its id, or -1.
int default_pause_window(void);
// Writes the first free "scr%.5d.bmp" in the current directory; 0, or -1.
int default_screendump(int width, int height, const uint8_t* pixels, const uint8_t* palette);
// Milliseconds of the platform clock.
uint32_t get_time(void);
// Waits ms, running process_bk all the while.
void pause_for_tocks(int ms);
// Waits ms doing nothing else (parked in the platform's wait, not spinning).
void block_for_tocks(int ms);
// Milliseconds since start; 0x7FFFFFFF when start lies after now (a wrapped clock).
int elapsed_time(uint32_t start);
// later - earlier, with the same rule.
int elapsed_tocks(uint32_t later, uint32_t earlier);
// The time of the last run of the background processes.
uint32_t get_bk_time(void);
void set_repeat_rate(int ms);
int get_repeat_rate(void);
void set_repeat_delay(int ms);
int get_repeat_delay(void);
void set_focus_func(focus_fn fn);
focus_fn get_focus_func(void);
void set_idle_func(idle_fn fn);
idle_fn get_idle_func(void);
// The lighter start of input for programs that run their own loop: timer period, keyboard and
// mouse taken, key map rebuilt; 0, or -1 when a device cannot be taken (nothing left hooked).
int VRK95_input_init(void);
// Gives back the keyboard and the timer period taken by VRK95_input_init.
void VRK95_input_exit(void);
// Keyboard (hook and device) and mouse device on (1) or off (0), with the foreground.
void VRK95_hook_input(int on);
// Keyboard device and hook; 0, or -1 when it cannot be acquired.
int VRK95_hook_keyboard(int on);
// Finest timer period on (1) or back (0); 0, or -1.
int VRK95_hook_timer(int on);
// Reads the keyboard's events, repeats held keys, dispatches the system's messages.
void VRK95_process_message(void);
// Parks the program until it is active again (focus and idle routines called).
void VRK95_lost_focus(void);

extern int VRK95_repeat_rate;   // ms between repeats of a held key
extern int VRK95_repeat_delay;  // ms before a held key repeats

// 1 in a program started through the program entry (not in a test that drives the window system
// itself): such a program on a display nobody can type into (the headless driver with no recorded
// session playing) ends with status 1 and says why on stderr once it has polled for input, with
// nothing delivered and nothing drawn, for a second of the display's clock, instead of waiting for
// ever.
extern int VRK_program_running;
