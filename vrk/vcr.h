// Event recording and playback. Recording takes every scan code kb_simulate_key sees and every
// change mouse_simulate_input sees, stamped with the milliseconds since the start and the number
// of vcr_update calls (one per pass of the input loop); playback feeds them back through the same
// two entries from vcr_update, paced by that count and by the recorded times. While a playback
// runs, the real keyboard and mouse are kept out; chosen kinds of user input stop it instead.
//
// The file is a plain sequence of big-endian events, no header and no count:
//   type (4: 1 start, 2 key, 3 mouse), time in ms (4), counter (4), then
//   start: mouse x, mouse y, keyboard layout (4 each)   24 bytes
//   key:   scan code (2)                                 14 bytes
//   mouse: dx, dy, raw buttons (4 each)                  24 bytes
// and begins with the start record. A key is stamped with the count of its own pass (it is read
// before that pass's vcr_update), a mouse change with the count after it, so playback hands a key
// of counter c and a mouse change of counter c + 1 to the same pass; in a file written by hand
// with every time 0 playback never waits and events come by their counters alone.
//
// vcr_* calls answer 1 for success and 0 for failure.
#pragma once

#include <cstdint>

#include "db/db.h"

enum : int { VCR_RECORDING = 0, VCR_PLAYING = 1, VCR_IDLE = 2 };
// Stop conditions of a playback (bits).
enum : int { VCR_STOP_KEY = 1, VCR_STOP_MOTION = 2, VCR_STOP_BUTTON = 4 };
// How a playback ended, as the end routine is told.
enum : int { VCR_ENDED = 1, VCR_INTERRUPTED = 2 };
enum : int { VCR_START = 1, VCR_KEY = 2, VCR_MOUSE = 3 };
constexpr int VCR_BUFFER_SIZE = 4096;
// Longest wait of one vcr_update for the recorded pace (ms); a longer recorded gap is cut short.
constexpr int VCR_MAX_WAIT = 1000;

struct vcr_event {
  int type;          // VCR_START, VCR_KEY or VCR_MOUSE
  uint32_t time;     // ms since the start of the recording
  uint32_t counter;  // vcr_update calls since the start (recording counts from 1)
  int data[3];       // start: x, y, layout; key: scan code; mouse: dx, dy, buttons
};

typedef void (*vcr_notify_fn)(int condition);

// Starts recording into file `name` (db_fopen "wb"), when idle; 1, or 0.
int vcr_record(const char* name);
// Starts playing file `name` (db_fopen "rb") when idle; `conditions` (VCR_STOP_* bits) take effect
// once the start record is played; `fn` (may be null) is called with VCR_ENDED or
// VCR_INTERRUPTED at the end. 1, or 0 when the file cannot be opened or does not begin with a
// start record.
int vcr_play(const char* name, int conditions, vcr_notify_fn fn);
// Ends recording (the buffer written out, the file closed) or playback (the file closed, the
// keyboard layout of before restored, the end routine called); forgets all keys. 1.
int vcr_stop(void);
// VCR_RECORDING, VCR_PLAYING or VCR_IDLE.
int vcr_status(void);
// One pass of the input loop: counts it; while playing, waits for the recorded pace and plays
// the events due. 3 when a mouse event was played in this call, else 0.
int vcr_update(void);
// Writes the buffered events out; 1 when all were written (the buffer is empty), else 0 (those
// not written stay buffered).
int vcr_dump_buffer(void);
// Writes one event; 1, or 0 on a write error or a type other than 1-3.
int vcr_save_record(const vcr_event* e, db_file* f);
// Reads one event; 1, or 0 on a short read or a type other than 1-3.
int vcr_load_record(vcr_event* e, db_file* f);

// Records into an open stream (which the recorder owns from then on, also on failure); 1 or 0.
int VRK_vcr_record_file(db_file* f);
// Plays an open stream (owned as above), like vcr_play; 1 or 0.
int VRK_vcr_play_file(db_file* f, int conditions, vcr_notify_fn fn);
// The window system's first start in a program: VRK_PLAY=FILE plays FILE with no stop conditions
// (live input follows), else VRK_RECORD=FILE records into FILE until the end; FILE is a name in
// the running system's own terms (os_fopen_native). Later starts do nothing.
void VRK_vcr_start_from_env(void);
