// The input queue and the passes that fill it, the pause and dump keys, and the hold on the
// keyboard, mouse and timer while the program is active.
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "color/color.h"
#include "platform/driver.h"
#include "vrk/button.h"
#include "vrk/dxinput.h"
#include "vrk/input.h"
#include "vrk/input_internal.h"
#include "vrk/kb.h"
#include "vrk/memory.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vcr.h"
#include "vrk/vrk.h"
#include "vrk/winmain.h"

namespace {

struct InputEntry {
  int code, x, y;
};

InputEntry input_buffer[INPUT_QUEUE_SIZE];
int input_put = 0;
int input_get = -1;
int input_mx = -1, input_my = -1;
int pause_key = INPUT_PAUSE_KEY;
pause_win_fn pause_win_func = default_pause_window;
int screendump_key = INPUT_SCREENDUMP_KEY;
screendump_fn screendump_func = default_screendump;
focus_fn focus_func = nullptr;
idle_fn idle_func = nullptr;
int using_msec_timer = 0;
int keyboard_hooked = 0;
int timer_hooked = 0;
int input_up = 0;

// Takes the next code from the queue (-1 when empty).
int take_code() {
  if (input_get == -1) return -1;
  const InputEntry& e = input_buffer[input_get];
  input_mx = e.x;
  input_my = e.y;
  input_get = (input_get + 1) % INPUT_QUEUE_SIZE;
  if (input_get == input_put) {
    input_put = 0;
    input_get = -1;
  }
  return e.code;
}

// Screen-blit routine of the dump: each rectangle lands in the dump buffer at its screen place.
uint8_t* dump_buffer = nullptr;
void dump_blit(const uint8_t* src, int src_pitch, int, int src_x, int src_y, int width, int height, int dst_x,
               int dst_y) {
  const int pitch = scr_size.lrx + 1, rows = scr_size.lry + 1;
  for (int y = 0; y < height; ++y) {
    if (dst_y + y < 0 || dst_y + y >= rows) continue;
    for (int x = 0; x < width; ++x)
      if (dst_x + x >= 0 && dst_x + x < pitch)
        dump_buffer[size_t(dst_y + y) * size_t(pitch) + size_t(dst_x + x)] =
            src[size_t(src_y + y) * size_t(src_pitch) + size_t(src_x + x)];
  }
}

}  // namespace

// --- start and stop ---

int VRK_input_init(int msec_timer) {
  if (!dxinput_init()) return -1;
  if (VRK_kb_set() == -1 || VRK_mouse_init() == -1 || VRK95_hook_timer(1) == -1) {
    VRK_kb_restore();
    VRK_mouse_exit();
    dxinput_exit();
    return -1;
  }
  VRK95_hook_input(1);
  VRK95_build_key_map();
  VRK95_clear_time_stamps();
  input_put = 0;
  input_get = -1;
  input_mx = input_my = -1;
  VRK_free_bk_list();
  pause_key = INPUT_PAUSE_KEY;
  pause_win_func = default_pause_window;
  screendump_key = INPUT_SCREENDUMP_KEY;
  screendump_func = default_screendump;
  using_msec_timer = msec_timer;
  VRK95_hook_input_func = VRK95_hook_input;
  input_up = 1;
  return 0;
}

void VRK_input_exit(void) {
  if (!input_up) return;
  input_up = 0;
  VRK95_hook_input_func = nullptr;
  VRK95_hook_keyboard(0);
  VRK95_hook_timer(0);
  VRK_mouse_exit();
  VRK_kb_restore();
  dxinput_exit();
  VRK_free_bk_list();
}

// --- devices, hook and timer ---

int VRK95_input_init(void) {
  if (VRK95_hook_timer(1) == -1) return -1;
  if (VRK95_hook_keyboard(1) == -1) {
    VRK95_hook_timer(0);
    return -1;
  }
  dxinput_acquire_mouse();
  VRK95_build_key_map();
  return 0;
}

void VRK95_input_exit(void) {
  VRK95_hook_keyboard(0);
  VRK95_hook_timer(0);
}

void VRK95_hook_input(int on) {
  VRK95_hook_keyboard(on);
  if (on) dxinput_acquire_mouse();
  else dxinput_unacquire_mouse();
}

int VRK95_hook_keyboard(int on) {
  on = on ? 1 : 0;
  if (on == keyboard_hooked) return 0;
  if (on && !dxinput_acquire_keyboard()) return -1;
  if (!on) dxinput_unacquire_keyboard();
  kb_clear();
  if (on) VRK_kb_read_locks();  // the lock keys may have been toggled elsewhere meanwhile
  keyboard_hooked = on;
  return 0;
}

int VRK95_hook_timer(int on) {
  on = on ? 1 : 0;
  plat_driver* d = plat_driver_get();
  if (!d) return -1;
  if (on == timer_hooked) return 0;
  if (d->hook_timer(on) != 0 && on) return -1;
  timer_hooked = on;
  return 0;
}

void VRK95_process_message(void) {
  if (VRK95_isActive && !kb_is_disabled()) {
    plat_key_event e;
    while (dxinput_read_keyboard_buffer(&e)) VRK95_process_key(&e);
    VRK95_repeat_keys();
  }
  plat_pump();
}

void VRK95_lost_focus(void) {
  if (focus_func) focus_func(0);
  while (!VRK95_isActive) {
    VRK95_process_message();
    if (VRK95_isActive) break;
    if (idle_func) idle_func();
    // Parked: the platform wakes the program for the next event.
    plat_wait_events(100);
  }
  if (focus_func) focus_func(1);
}

// --- the queue ---

int VRK_program_running = 0;

namespace {

// A program waiting for input no one can give: on the headless display only a recorded session
// types. Polls that deliver nothing and draw nothing for a second of the display's clock end it.
void endWhenNoInputCanCome() {
  static bool idle = false;
  static uint32_t since = 0;
  static unsigned drawn = 0;
  const plat_driver* d = plat_driver_get();
  if (!VRK_program_running || vcr_status() == VCR_PLAYING || !d || std::strcmp(d->name, "headless") != 0) {
    idle = false;
    return;
  }
  if (!idle || drawn != VRK_refresh_count) {
    idle = true;
    since = plat_time_ms();
    drawn = VRK_refresh_count;
    return;
  }
  if (plat_time_ms() - since < 1000) return;
  std::fprintf(stderr, "no display and no recorded session: use VRK_PLAY, or /S\n");
  std::fflush(stderr);
  std::exit(1);
}

}  // namespace

int get_input(void) {
  VRK95_process_message();
  if (!VRK95_isActive) VRK95_lost_focus();
  process_bk();
  int code = take_code();
  if (code == -1) {
    if (mouse_get_buttons() & 0x33) {
      mouse_get_position(&input_mx, &input_my);
      return -2;
    }
    endWhenNoInputCanCome();
    return -1;
  }
  return VRK_check_menu_bars(code);
}

void get_input_position(int* x, int* y) {
  if (x) *x = input_mx;
  if (y) *y = input_my;
}

void process_bk(void) {
  VRK_do_bk_process();
  // A pass in which a playback moved the mouse does not read the real one.
  if (vcr_update() != 3) mouse_info();
  int e = win_check_all_buttons();
  if (e != -1) {
    VRK_add_input_buffer(e);
    return;
  }
  int k = kb_getch();
  if (k != -1) VRK_add_input_buffer(k);
}

void VRK95_close(void) { VRK_add_input_buffer(27); }

void VRK_add_input_buffer(int code) {
  if (code == -1) return;
  if (code == pause_key) {
    pause_game();
    return;
  }
  if (code == screendump_key) {
    dump_screen();
    return;
  }
  if (input_get == input_put) return;  // full
  int x, y;
  mouse_get_position(&x, &y);
  input_buffer[input_put] = {code, x, y};
  input_put = (input_put + 1) % INPUT_QUEUE_SIZE;
  if (input_get == -1) input_get = 0;
}

void flush_input_buffer(void) {
  input_put = 0;
  input_get = -1;
}

// --- pause and dump ---

void register_pause(int key, pause_win_fn fn) {
  pause_key = key;
  pause_win_func = fn ? fn : default_pause_window;
}

void register_screendump(int key, screendump_fn fn) {
  screendump_key = key;
  screendump_func = fn ? fn : default_screendump;
}

void pause_game(void) {
  if (game_paused) return;
  game_paused = 1;
  int w = pause_win_func();
  while (get_input() != 27) {
    // Parked between polls: nothing but the pause window's input matters.
    plat_wait_events(10);
  }
  game_paused = 0;
  win_delete(w);
}

int default_pause_window(void) {
  const int width = text_width("Paused") + 32, height = 3 * text_height() + 16;
  const int x = (scr_size.lrx + 1 - width) / 2, y = (scr_size.lry + 1 - height) / 2;
  int id = win_add(x, y, width, height, 256, WIN_ON_TOP | WIN_MODAL);
  if (id == -1) return -1;
  win_border(id);
  text_to_buf(win_get_buf(id) + 8 * width + 16, "Paused", width - 16, width, colorTable[0x7C00]);
  // "Done" ends the pause like Escape.
  win_register_text_button(id, (width - text_width("Done") - 16) / 2, height - 8 - text_height() - 6, -1, -1, -1, 27,
                           "Done", 0);
  win_draw(id);
  return id;
}

void dump_screen(void) {
  if (!VRK_win_init_flag) return;
  const int width = scr_size.lrx + 1, height = scr_size.lry + 1;
  dump_buffer = static_cast<uint8_t*>(mem_malloc(size_t(width) * size_t(height)));
  if (!dump_buffer) return;
  std::memset(dump_buffer, 0, size_t(width) * size_t(height));
  scr_blit_fn saved_scr = scr_blit, saved_mouse = mouse_blit;
  scr_blit_trans_fn saved_trans = mouse_blit_trans;
  scr_blit = mouse_blit = dump_blit;
  mouse_blit_trans = nullptr;
  // Every rectangle counts, also while the program is in the background.
  int active = VRK95_isActive;
  VRK95_isActive = 1;
  win_refresh_all(&scr_size);
  VRK95_isActive = active;
  scr_blit = saved_scr;
  mouse_blit = saved_mouse;
  mouse_blit_trans = saved_trans;
  screendump_func(width, height, dump_buffer, getSystemPalette());
  mem_free(dump_buffer);
  dump_buffer = nullptr;
}


void set_focus_func(focus_fn fn) { focus_func = fn; }
focus_fn get_focus_func(void) { return focus_func; }
void set_idle_func(idle_fn fn) { idle_func = fn; }
idle_fn get_idle_func(void) { return idle_func; }
