// Event recording and playback through the keyboard's and the mouse's single entries.
#include "vrk/vcr.h"

#include <cstdlib>
#include <cstring>

#include "platform/driver.h"
#include "platform/os.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/kb.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"

namespace {

int vcr_state = VCR_IDLE;
vcr_event* vcr_buffer = nullptr;
int vcr_buffer_index = 0;     // next slot
int vcr_buffer_end = 0;       // slots filled by the last read (playback)
bool vcr_file_ended = false;  // a read failed: nothing after it is trusted
db_file* vcr_file = nullptr;
uint32_t vcr_start_time = 0;
uint32_t vcr_time = 0;
uint32_t vcr_counter = 0;
int vcr_terminate_flags = 0;
int vcr_temp_terminate_flags = 0;
int vcr_terminated_condition = VCR_ENDED;
vcr_notify_fn vcr_notify_callback = nullptr;
int vcr_old_layout = 0;
vcr_event vcr_last_play_event{};

// The pass an event belongs to: a key is stamped before its pass's vcr_update, a mouse change
// after it (see vcr.h).
uint32_t pass_of(const vcr_event& e) { return e.type == VCR_MOUSE && e.counter > 0 ? e.counter - 1 : e.counter; }

// Polls the mouse until no button is down (while there is a cursor to poll).
void wait_for_buttons_up() {
  while (mouse_query_exist() && !mouse_hidden() && !mouse_is_disabled() &&
         (mouse_get_buttons() & (MOUSE_LEFT_PRESSED | MOUSE_RIGHT_PRESSED | MOUSE_LEFT_HELD | MOUSE_RIGHT_HELD))) {
    mouse_info();
    if (mouse_get_buttons() & (MOUSE_LEFT_HELD | MOUSE_RIGHT_HELD)) plat_wait_events(10);
  }
}

bool alloc_buffer() {
  if (!vcr_buffer) vcr_buffer = static_cast<vcr_event*>(mem_malloc(sizeof(vcr_event) * VCR_BUFFER_SIZE));
  return vcr_buffer != nullptr;
}

void free_buffer() {
  mem_free(vcr_buffer);
  vcr_buffer = nullptr;
  vcr_buffer_index = vcr_buffer_end = 0;
}

void close_file() {
  db_fclose(vcr_file);
  vcr_file = nullptr;
}

// Reads up to a buffer of events, stopping for good at the first that fails; 1 when any came.
bool vcr_load_buffer() {
  vcr_buffer_index = vcr_buffer_end = 0;
  while (!vcr_file_ended && vcr_buffer_end < VCR_BUFFER_SIZE) {
    if (!vcr_load_record(&vcr_buffer[vcr_buffer_end], vcr_file)) {
      vcr_file_ended = true;
      break;
    }
    ++vcr_buffer_end;
  }
  return vcr_buffer_end > 0;
}

void append(const vcr_event& e) {
  if (vcr_buffer_index >= VCR_BUFFER_SIZE - 1) vcr_dump_buffer();
  if (vcr_buffer_index < VCR_BUFFER_SIZE - 1) vcr_buffer[vcr_buffer_index++] = e;
}

// --- the hooks in the keyboard and the mouse ---

void record_key(int scan) {
  if (vcr_state == VCR_RECORDING) append({VCR_KEY, vcr_time, vcr_counter, {scan & 0xFFFF, 0, 0}});
}

void record_mouse(int dx, int dy, int buttons) {
  if (vcr_state == VCR_RECORDING) append({VCR_MOUSE, vcr_time, vcr_counter, {dx, dy, buttons}});
}

void interrupt() {
  vcr_terminated_condition = VCR_INTERRUPTED;
  vcr_stop();
}

// A real key during playback never reaches the driver; a press stops a playback that stops on keys.
int real_key(int down) {
  if (vcr_state != VCR_PLAYING) return 0;
  if ((vcr_terminate_flags & VCR_STOP_KEY) && down) interrupt();
  return 1;
}

// The real mouse during playback: stops it when asked to, else the recorded buttons hold.
int real_mouse(int dx, int dy, int buttons) {
  if (vcr_state != VCR_PLAYING) return 0;
  if (((vcr_terminate_flags & VCR_STOP_BUTTON) && buttons) || ((vcr_terminate_flags & VCR_STOP_MOTION) && (dx || dy))) {
    interrupt();
    return 2;
  }
  return 1;
}

// Waits (at most VCR_MAX_WAIT) until `target` ms have passed since the start. The wait is
// measured from its own beginning, so that a start time the recording moved far off (or a clock
// that wrapped) cannot make it endless.
void wait_until(int64_t target) {
  const int64_t wait = target - int64_t(elapsed_time(vcr_start_time));
  if (wait <= 0) return;
  const int ms = wait < VCR_MAX_WAIT ? int(wait) : VCR_MAX_WAIT;
  const uint32_t began = get_time();
  for (int waited = 0; waited < ms; waited = elapsed_time(began)) plat_wait_events(ms - waited);
}

// Waits so that the passes between the last event played and `e` are spread over their interval.
void pace(const vcr_event& e) {
  const vcr_event& last = vcr_last_play_event;
  const uint32_t from = pass_of(last), to = pass_of(e);
  if (from >= to || last.time >= e.time) return;
  uint64_t step = uint64_t(vcr_counter) + 1 - from;
  if (step > to - from) step = to - from;
  wait_until(int64_t(last.time) + int64_t((uint64_t(e.time - last.time) * step) / (to - from)));
}

void play_start(const vcr_event& e) {
  vcr_state = VCR_IDLE;  // the real mouse is read while waiting for its buttons
  kb_set_layout(e.data[2]);
  wait_for_buttons_up();
  vcr_state = VCR_PLAYING;
  const int hidden = mouse_hidden();
  mouse_hide();
  mouse_set_position(e.data[0], e.data[1]);
  if (!hidden) mouse_show();
  kb_clear();
  vcr_terminate_flags = vcr_temp_terminate_flags;
  vcr_start_time = get_time();
  vcr_counter = 0;
}

}  // namespace

int vcr_save_record(const vcr_event* e, db_file* f) {
  if (!e || e->type < VCR_START || e->type > VCR_MOUSE) return 0;
  if (db_fwriteLong(f, e->type) != 0 || db_fwriteLong(f, int32_t(e->time)) != 0 ||
      db_fwriteLong(f, int32_t(e->counter)) != 0)
    return 0;
  if (e->type == VCR_KEY) return db_fwriteShort(f, int16_t(e->data[0])) == 0;
  for (int v : e->data)
    if (db_fwriteLong(f, v) != 0) return 0;
  return 1;
}

int vcr_load_record(vcr_event* e, db_file* f) {
  if (!e) return 0;
  int32_t type, time, counter;
  if (db_freadInt(f, &type) != 0 || type < VCR_START || type > VCR_MOUSE) return 0;
  if (db_freadInt(f, &time) != 0 || db_freadInt(f, &counter) != 0) return 0;
  vcr_event r = {type, uint32_t(time), uint32_t(counter), {0, 0, 0}};
  if (type == VCR_KEY) {
    int16_t scan;
    if (db_freadShort(f, &scan) != 0) return 0;
    r.data[0] = uint16_t(scan);
  } else {
    int32_t v[3];
    if (db_freadIntCount(f, v, 3) != 0) return 0;
    for (int i = 0; i < 3; ++i) r.data[i] = v[i];
  }
  *e = r;
  return 1;
}

int vcr_dump_buffer(void) {
  if (!vcr_buffer || !vcr_file) return 0;
  int written = 0;
  while (written < vcr_buffer_index && vcr_save_record(&vcr_buffer[written], vcr_file)) ++written;
  if (written > 0) {
    std::memmove(vcr_buffer, vcr_buffer + written, sizeof(vcr_event) * size_t(vcr_buffer_index - written));
    vcr_buffer_index -= written;
  }
  return vcr_buffer_index == 0;
}

int VRK_vcr_record_file(db_file* f) {
  if (vcr_state != VCR_IDLE || !f || !alloc_buffer()) {
    if (vcr_state == VCR_IDLE) free_buffer();
    db_fclose(f);
    return 0;
  }
  vcr_file = f;
  vcr_buffer[0] = {VCR_START, 0, 0, {0, 0, kb_get_layout()}};
  wait_for_buttons_up();
  mouse_get_position(&vcr_buffer[0].data[0], &vcr_buffer[0].data[1]);
  vcr_counter = 1;
  vcr_time = 0;
  vcr_buffer_index = 1;
  vcr_start_time = get_time();
  kb_clear();
  vcr_state = VCR_RECORDING;
  VRK_kb_hook_vcr(record_key, nullptr);
  VRK_mouse_hook_vcr(record_mouse, nullptr);
  return 1;
}

int vcr_record(const char* name) {
  if (vcr_state != VCR_IDLE || !name) return 0;
  return VRK_vcr_record_file(db_fopen(name, "wb"));
}

int VRK_vcr_play_file(db_file* f, int conditions, vcr_notify_fn fn) {
  if (vcr_state != VCR_IDLE || !f || !alloc_buffer()) {
    if (vcr_state == VCR_IDLE) free_buffer();
    db_fclose(f);
    return 0;
  }
  vcr_file = f;
  vcr_file_ended = false;
  if (!vcr_load_buffer() || vcr_buffer[0].type != VCR_START) {
    close_file();
    free_buffer();
    return 0;
  }
  wait_for_buttons_up();
  kb_clear();
  vcr_temp_terminate_flags = conditions;
  vcr_notify_callback = fn;
  vcr_terminated_condition = VCR_ENDED;
  vcr_terminate_flags = 0;
  vcr_counter = 0;
  vcr_time = 0;
  vcr_start_time = get_time();
  vcr_old_layout = kb_get_layout();
  vcr_last_play_event = {};
  vcr_state = VCR_PLAYING;
  VRK_kb_hook_vcr(nullptr, real_key);
  VRK_mouse_hook_vcr(nullptr, real_mouse);
  return 1;
}

int vcr_play(const char* name, int conditions, vcr_notify_fn fn) {
  if (vcr_state != VCR_IDLE || !name) return 0;
  return VRK_vcr_play_file(db_fopen(name, "rb"), conditions, fn);
}

int vcr_stop(void) {
  const int was = vcr_state;
  vcr_state = VCR_IDLE;
  VRK_kb_hook_vcr(nullptr, nullptr);
  VRK_mouse_hook_vcr(nullptr, nullptr);
  if (was == VCR_RECORDING) {
    vcr_dump_buffer();
    close_file();
    free_buffer();
  } else if (was == VCR_PLAYING) {
    close_file();
    free_buffer();
    kb_set_layout(vcr_old_layout);
    vcr_notify_fn fn = vcr_notify_callback;
    vcr_notify_callback = nullptr;
    if (fn) fn(vcr_terminated_condition);
  }
  kb_clear();
  return 1;
}

int vcr_status(void) { return vcr_state; }

int vcr_update(void) {
  if (vcr_state == VCR_RECORDING) {
    ++vcr_counter;
    vcr_time = uint32_t(elapsed_time(vcr_start_time));
    if (vcr_buffer_index >= VCR_BUFFER_SIZE - 1) vcr_dump_buffer();
    return 0;
  }
  if (vcr_state != VCR_PLAYING) return 0;
  if (vcr_buffer_index >= vcr_buffer_end && !vcr_load_buffer()) {
    vcr_stop();
    return 0;
  }
  pace(vcr_buffer[vcr_buffer_index]);
  ++vcr_counter;
  int result = 0;
  while (vcr_state == VCR_PLAYING) {
    // The end of the file is noticed by the next call, after this pass has used what came.
    if (vcr_buffer_index >= vcr_buffer_end && !vcr_load_buffer()) break;
    const vcr_event e = vcr_buffer[vcr_buffer_index];
    if (vcr_counter < pass_of(e)) break;
    vcr_time = uint32_t(elapsed_time(vcr_start_time));
    const int64_t drift = int64_t(vcr_time) - int64_t(e.time);
    if (drift > 5 || drift < -5) {
      vcr_start_time += uint32_t(drift);
      vcr_time = e.time;
    }
    switch (e.type) {
      case VCR_START:
        play_start(e);
        break;
      case VCR_KEY:
        kb_simulate_key(e.data[0]);
        break;
      case VCR_MOUSE:
        mouse_simulate_input(e.data[0], e.data[1], e.data[2]);
        result = 3;
        break;
    }
    vcr_last_play_event = e;
    if (e.type == VCR_START) vcr_last_play_event.counter = vcr_last_play_event.time = 0;
    ++vcr_buffer_index;
  }
  return result;
}

void VRK_vcr_start_from_env(void) {
  // Only the first start of the window system: a program that starts it again must neither
  // replay the file from its beginning nor record over what it recorded.
  static bool started = false;
  if (started) return;
  started = true;
  const char* play = std::getenv("VRK_PLAY");
  const char* record = std::getenv("VRK_RECORD");
  const bool playing = play && *play;
  const char* name = playing ? play : record;
  if (!name || !*name) return;
  FILE* fp = os_fopen_native(name, playing ? "rb" : "wb");
  db_file* f = fp ? db_fopen_file(fp, playing ? "rb" : "wb") : nullptr;
  if (fp && !f) std::fclose(fp);
  const int ok = playing ? VRK_vcr_play_file(f, 0, nullptr) : VRK_vcr_record_file(f);
  if (!ok) debug_printf("cannot %s events %s\n", playing ? "play" : "record", name);
}
