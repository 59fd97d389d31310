// Debug output channels: diagnostic text goes through debug_printf / debug_puts to one channel
// function chosen at start-up (log file, console, a caller's function, or the window system's
// debug window); with no channel selected the text is discarded.
//
// The 80x25 monochrome text display channel and debug_clear are not provided: the supported
// platforms have no such character-cell display. "mono" in DEBUGACTIVE therefore changes nothing.
#pragma once

typedef int (*debug_func_fn)(const char* text);

// Formats into a 260-byte buffer (longer text is cut) and passes it on; the channel's result, or -1.
int debug_printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Passes `text` to the channel; the channel's result, or -1 when none is selected.
int debug_puts(const char* text);
// Selects a channel from DEBUGACTIVE: "log" (debug.log, "wt"), "screen", "vrk"; anything else: no change.
void debug_register_env(void);
// Selects the console (standard output) channel.
void debug_register_screen(void);
// Selects the log-file channel (`name` as the running system names files, os_fopen_native); mode
// must be "wt"/"at" style ('w' or 'a', then 't'), else no change.
void debug_register_log(const char* name, const char* mode);
// Selects `fn` as the channel (null: no channel).
void debug_register_func(debug_func_fn fn);
// The channel currently selected, or null.
debug_func_fn debug_current(void);
// The window system announces its debug window here (null withdraws it); "vrk" selects it.
void debug_set_window_channel(debug_func_fn fn);
// Arranges for debug_exit to run at program exit.
void VRK_debug_init(void);
// Closes the log file.
void debug_exit(void);
