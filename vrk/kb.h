// The keyboard driver: DirectInput key events become PC scan codes (0xE0 prefix for the grey
// keys), which kb_simulate_key, the one entry of every key, turns into key state, lock keys and
// buffered key records; kb_getch converts the oldest record through the current layout into a
// key code (characters, or 256 + the PC extended code).
#pragma once

#include <cstdint>

#include "platform/driver.h"

constexpr int KB_BUFFER_SIZE = 64;  // holds 63 records
enum : int { KB_NUM_LOCK = 1, KB_CAPS_LOCK = 2, KB_SCROLL_LOCK = 4 };
enum : int { KB_ENGLISH_US = 0, KB_FRENCH = 1, KB_GERMAN = 2, KB_ITALIAN = 3, KB_SPANISH = 4 };

// The state of every key by key number (scan code, plus 128 for the grey keys): 0 up, 1 pressed,
// 2 held (repeating).
extern uint8_t keys[256];

// Installs the driver (keys up, buffer empty, lock keys from the system, layout 0); 0, or -1
// when installed already.
int VRK_kb_set(void);
// Marks the driver uninstalled.
void VRK_kb_restore(void);
// Takes Caps, Num and Scroll Lock as the system has them now (they may have been toggled in
// another program while this one was in the background); nothing while not installed.
void VRK_kb_read_locks(void);
// The next key code, or -1 (also when not installed).
int kb_getch(void);
// The current layout's conversion of the oldest key record into a key code (-1 none); set by
// kb_set_layout.
extern int (*kb_scan_to_ascii)(void);
// Forgets every key, record and repeat, and flushes the device.
void kb_clear(void);
// Clears, waits until a key is down, clears again.
void kb_wait(void);
void kb_disable(void);
void kb_enable(void);
int kb_is_disabled(void);
void kb_disable_numpad(void);
void kb_enable_numpad(void);
int kb_numpad_is_disabled(void);
// Selects layout 0-4 (others: no change).
void kb_set_layout(int layout);
int kb_get_layout(void);
// The first key number whose table has code in any column, or -1.
int kb_ascii_to_scan(int code);
// Milliseconds since the last key event.
int kb_elapsed_time(void);
void kb_reset_elapsed_time(void);
// The driver's single entry: one make, break or 0xE0 prefix byte.
void kb_simulate_key(int scan);
// The event recorder's hooks (null: none): `record` sees every byte kb_simulate_key takes;
// `device` is asked (down: 1 a press, 0 a release) before a key from the device reaches the
// driver and keeps it out by returning 1.
void VRK_kb_hook_vcr(void (*record)(int scan), int (*device)(int down));
// One DirectInput key event into scan codes.
void VRK95_process_key(const plat_key_event* e);
// Fills the DirectInput-to-scan-code map; the same for every layout, since key codes and the
// layouts' tables both name places on the keyboard.
void VRK95_build_key_map(void);
// Forgets every key's press time (no key repeats).
void VRK95_clear_time_stamps(void);
// Repeats held keys whose delay or rate has passed.
void VRK95_repeat_keys(void);
