// Timed messages: up to five at once, centred at five places down the screen, each removed by a
// background process once it has been shown for tm_persistence ms, or at once when clicked. Also
// the dialogs' start and stop.
#include "vrk/button.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/intrface_internal.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

struct TimedMsg {
  uint32_t time;  // when it was shown
  int window;
  int place;
};

// Showing messages, oldest first.
TimedMsg tm_queue[TIMED_MSG_MAX];
int tm_count = 0;
struct Place {
  int taken;
  int y;
};
Place tm_places[TIMED_MSG_MAX];
int tm_persistence = 3000;
int tm_text_x = 16, tm_text_y = 16, tm_h = 0, scr_center_x = 0;
int tm_watching = 0;  // the watcher is running (no re-entry)

void tm_watch_msgs();

// Removes queue entry i: its window and its place.
void tm_remove(int i) {
  const TimedMsg m = tm_queue[i];
  for (int j = i; j + 1 < tm_count; ++j) tm_queue[j] = tm_queue[j + 1];
  --tm_count;
  tm_places[m.place].taken = 0;
  win_delete(m.window);
  if (tm_count == 0) remove_bk_process(tm_watch_msgs);
}

void tm_watch_msgs() {
  if (tm_watching) return;
  tm_watching = 1;
  while (tm_count > 0 && elapsed_time(tm_queue[0].time) >= tm_persistence) tm_remove(0);
  if (tm_count == 0) remove_bk_process(tm_watch_msgs);
  tm_watching = 0;
}

// Release routine of a message's button: that message goes, whatever its place in the queue.
void tm_clicked(int id, int) {
  const int win = win_button_winID(id);
  for (int i = 0; i < tm_count; ++i)
    if (tm_queue[i].window == win) {
      tm_remove(i);
      return;
    }
}

}  // namespace

void VRK_intr_init(void) {
  tm_count = 0;
  tm_watching = 0;
  const int lry = scr_size.lry;
  tm_text_x = tm_text_y = lry + 1 < 480 ? 10 : 16;
  tm_h = text_height() + 2 * tm_text_y;
  scr_center_x = scr_size.lrx / 2;
  for (int i = 0; i < TIMED_MSG_MAX; ++i) tm_places[i] = {0, lry / 4 + i * (lry / 8)};
  VRK_intr_menu_exit();
}

void VRK_intr_exit(void) {
  while (tm_count > 0) tm_remove(tm_count - 1);
  remove_bk_process(tm_watch_msgs);
  VRK_intr_debug_exit();
  VRK_intr_menu_exit();
}

void win_timed_msg_defaults(int ms) { tm_persistence = ms; }

int win_timed_msg(const char* text, int colour) {
  if (!VRK_win_init_flag || !text || tm_count >= TIMED_MSG_MAX) return -1;
  int place = 0;
  while (place < TIMED_MSG_MAX && tm_places[place].taken) ++place;
  if (place == TIMED_MSG_MAX) return -1;
  const int width = text_width(text) + 2 * tm_text_x;
  const int id = win_add(scr_center_x - width / 2, tm_places[place].y, width, tm_h, 257, WIN_ON_TOP);
  if (id == -1) return -1;
  win_border(id);
  win_print(id, text, 0, tm_text_x, tm_text_y, colour);
  const int b = win_register_button(id, 0, 0, width, tm_h, -1, -1, -1, -1, nullptr, nullptr, nullptr, 0);
  win_register_button_func(b, nullptr, nullptr, nullptr, tm_clicked);
  win_draw(id);
  tm_places[place].taken = 1;
  tm_queue[tm_count++] = {get_time(), id, place};
  if (tm_count == 1) add_bk_process(tm_watch_msgs);
  return 0;
}
