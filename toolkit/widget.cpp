// Update regions, the widgets' start and close, and the clean-up of a window's widgets.
#include <cstdio>
#include <cstring>

#include "base/memdbg.h"
#include "toolkit/widget_internal.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

constexpr const char* kTag = "widget";

struct UpdateRegion {
  int window;
  int x, y;
  int type;
  int colour;
  void* value;
  update_output_fn output;
};

UpdateRegion* updateRegions[UPDATE_REGIONS_MAX];

void showRegion(const UpdateRegion& r) {
  double value = 0.0;
  switch (r.type & 0xFF) {
    case UPDATE_IN_INT:
      value = double(*static_cast<const int32_t*>(r.value));
      break;
    case UPDATE_IN_FLOAT:
      value = double(*static_cast<const float*>(r.value));
      break;
    case UPDATE_IN_FIXED:
      value = double(*static_cast<const int32_t*>(r.value)) / 65536.0;
      break;
    case UPDATE_IN_STRING:
      win_print(r.window, static_cast<const char*>(r.value), 0, r.x, r.y, r.colour);
      return;
    case UPDATE_IN_NONE:
      break;
    default:
      debug_puts("Invalid input type given to win_register_update\n");
      return;
  }
  char text[64];
  switch (r.type & 0xFF00) {
    case UPDATE_OUT_INT:
      std::snprintf(text, sizeof text, " %d ", int(value));
      break;
    case UPDATE_OUT_REAL:
      std::snprintf(text, sizeof text, " %f ", value);
      break;
    case UPDATE_OUT_PERCENT:
      std::snprintf(text, sizeof text, " %6.2f%% ", value * 100.0);
      break;
    case UPDATE_OUT_FUNC:
      if (r.output) r.output(r.value);
      return;
    default:
      debug_puts("Invalid output type given to win_register_update\n");
      return;
  }
  win_print(r.window, text, 0, r.x, r.y, r.colour | WIN_PRINT_REFRESH);
}

}  // namespace

int win_register_update(int window, int x, int y, update_output_fn output, void* value, int type, int colour) {
  // A value the type says is there must be there to be read.
  if (!value && (type & 0xFF) != UPDATE_IN_NONE) return -1;
  for (int i = 0; i < UPDATE_REGIONS_MAX; ++i) {
    if (updateRegions[i]) continue;
    auto* r = static_cast<UpdateRegion*>(MYMALLOC(sizeof(UpdateRegion), kTag));
    *r = UpdateRegion{window, x, y, type, colour, value, output};
    updateRegions[i] = r;
    return i;
  }
  return -1;
}

int win_delete_update_region(int index) {
  if (index < 0 || index >= UPDATE_REGIONS_MAX || !updateRegions[index]) return 0;
  MYFREE(updateRegions[index], kTag);
  updateRegions[index] = nullptr;
  return 1;
}

int win_delete_all_update_regions(int window) {
  for (int i = 0; i < UPDATE_REGIONS_MAX; ++i)
    if (updateRegions[i] && updateRegions[i]->window == window) win_delete_update_region(i);
  return 1;
}

void win_do_updateregions(void) {
  for (const UpdateRegion* r : updateRegions)
    if (r) showRegion(*r);
}

int update_widgets(void) {
  win_do_updateregions();
  return 1;
}

int widgetDoInput(void) {
  win_do_updateregions();
  return 0;
}

void initWidgets(void) {
  for (UpdateRegion*& r : updateRegions) r = nullptr;
  widgetResetBackgroundField(0);
  widgetResetTextRegions(0);
  real_win_delete_status_bar("");
  windowSetWidgetsFunc([](int vrkId) { win_delete_widgets(vrkId); });
  windowSetUpdateWidgetsFunc(update_widgets);
  windowSetMoveWidgetsFunc([](int oldId, int newId, int ow, int oh, int nw, int nh) {
    win_move_widgets(oldId, newId, ow, oh, nw, nh);
  });
}

void widgetsClose(void) {
  widgetResetBackgroundField(1);
  widgetResetTextRegions(1);
  real_win_delete_status_bar("");
  for (int i = 0; i < UPDATE_REGIONS_MAX; ++i) win_delete_update_region(i);
  windowSetWidgetsFunc(nullptr);
  windowSetUpdateWidgetsFunc(nullptr);
  windowSetMoveWidgetsFunc(nullptr);
}

int win_delete_widgets(int window) {
  win_delete_all_text_input_regions(window);
  for (int i = 1; i <= numTextRegions; ++i)
    if (textRegions[i - 1].inUse && textRegions[i - 1].window == window) win_delete_text_region(i);
  win_delete_all_update_regions(window);
  // A bar left behind would draw into whichever window takes the id next.
  if (widgetStatusBarWindow() == window) real_win_delete_status_bar("");
  return 1;
}

int win_move_widgets(int oldWindow, int newWindow, int oldWidth, int oldHeight, int newWidth, int newHeight) {
  if (oldWindow == newWindow) return 1;
  widgetMoveTextRegions(oldWindow, newWindow, oldWidth, oldHeight, newWidth, newHeight);
  widgetMoveInputButtons(oldWindow, newWindow);
  for (UpdateRegion* r : updateRegions)
    if (r && r->window == oldWindow) {
      r->window = newWindow;
      r->x = widgetScale(r->x, oldWidth, newWidth);
      r->y = widgetScale(r->y, oldHeight, newHeight);
    }
  widgetMoveStatusBar(oldWindow, newWindow, oldWidth, oldHeight, newWidth, newHeight);
  return 1;
}

int win_center_str(int window, const char* text, int y, int colour) {
  if (!text) return 1;
  win_print(window, text, 0, (win_width(window) - text_width(text)) / 2, y, colour);
  return 1;
}
