// The toolkit's widgets on the headless driver: the status bar as the copy engine drives it
// (golden pictures at 0, a half and full), update regions printing the caller's values, edit
// fields against a model of their text and cursor over random keys, the modal edit loop fed
// through the keyboard, and the widgets going with their window.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "toolkit/widget.h"
#include "toolkit/window.h"
#include "tests/support/golden.h"
#include "tests/vrk_util.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/mouse.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

using archive_util::Bytes;

namespace {

// A version-5 PCX of w x h (w even) with literal pixels below 0xC0 and a grey palette.
Bytes pcxFile(int w, int h, const std::vector<uint8_t>& pixels) {
  Bytes f(128, 0);
  f[0] = 10;
  f[1] = 5;
  f[2] = 1;
  f[3] = 8;
  f[8] = uint8_t((w - 1) & 0xFF);
  f[9] = uint8_t((w - 1) >> 8);
  f[10] = uint8_t(h - 1);
  f[65] = 1;
  f[66] = uint8_t(w & 0xFF);
  f[67] = uint8_t(w >> 8);
  for (uint8_t p : pixels) f.push_back(p);
  f.push_back(12);
  for (int i = 0; i < 3 * 256; ++i) f.push_back(uint8_t(i / 3));
  return f;
}

// EMPTY.PCX and FULL.PCX: 200 x 6 bars (the full one striped every 10 columns, shaded by row);
// WIDE.PCX: one column wider than both.
std::vector<kit_member> barPictures() {
  std::vector<uint8_t> empty(200 * 6), full(200 * 6), wide(202 * 6, 5);
  for (int y = 0; y < 6; ++y)
    for (int x = 0; x < 200; ++x) {
      empty[size_t(y * 200 + x)] = uint8_t(y == 0 || y == 5 ? 30 : 10);
      full[size_t(y * 200 + x)] = uint8_t(x % 10 == 0 ? 180 : 120 + 8 * y);
    }
  return {{"EMPTY.PCX", pcxFile(200, 6, empty), kit_pack_method::stored},
          {"FULL.PCX", pcxFile(200, 6, full), kit_pack_method::stored},
          {"WIDE.PCX", pcxFile(202, 6, wide), kit_pack_method::stored}};
}

std::string debugText;
int captureDebug(const char* text) {
  debugText += text;
  return 0;
}

class Widgets : public vrk_util::Stage {
 protected:
  std::unique_ptr<vrk_util::FontArchive> archive;
  void SetUp() override {
    Stage::SetUp();
    archive = std::make_unique<vrk_util::FontArchive>(barPictures());
    win_set_minimized_title("widget test");
    initWindow(1, 1);
    ASSERT_EQ(createWindow("Main", 0, 0, 320, 240, 0, 0), 0);
    selectWindow("Main");
    windowShow();
    initWidgets();
    text_font(0);
    debugText.clear();
    debug_register_func(captureDebug);
  }
  void TearDown() override {
    debug_register_func(nullptr);
    widgetsClose();
    windowClose();
    archive.reset();
    Stage::TearDown();
  }
  // The screen's pixels of a rectangle, row after row.
  static std::vector<uint8_t> screenRect(int x, int y, int w, int h) {
    int sw = 0, sh = 0, pitch = 0, bpp = 0;
    const uint8_t* p = plat_headless_pixels(&sw, &sh, &pitch, &bpp);
    std::vector<uint8_t> out;
    for (int row = y; row < y + h; ++row) out.insert(out.end(), p + row * pitch + x, p + row * pitch + x + w);
    return out;
  }
};

// The progress bar as the copy engine drives it: added at (-1, -1) (centred, 50 pixels above the
// window's bottom), set to 0, then advanced from the previous fraction to the next; the screen
// shows the empty bar, the left half full, and all full.
TEST_F(Widgets, StatusBarAsTheCopyEngineDrivesIt) {
  ASSERT_EQ(real_win_add_status_bar(windowGetVRKID(), "Progress", "FULL.PCX", "EMPTY.PCX", -1, -1, "test", 1), 1);
  int position = 0, start = 0, end = 0;
  real_win_get_status_info("Progress", &position, &start, &end, "test", 1);
  EXPECT_EQ(position, 0);
  const int x = (319 - 200) / 2, y = 239 - 6 - 50;
  std::vector<uint8_t> shots;
  real_win_update_status_bar("Progress", 0.0f, 0.0f, "test", 1);
  std::vector<uint8_t> s = screenRect(x, y, 200, 6);
  shots.insert(shots.end(), s.begin(), s.end());
  real_win_update_status_bar("Progress", 0.5f, 0.8f, "test", 1);
  s = screenRect(x, y, 200, 6);
  shots.insert(shots.end(), s.begin(), s.end());
  real_win_update_status_bar("Progress", 1.0f, 1.0f, "test", 1);
  s = screenRect(x, y, 200, 6);
  shots.insert(shots.end(), s.begin(), s.end());
  EXPECT_TRUE(golden_picture("status_bar.hex", shots.data(), 200, 18, 200));

  real_win_update_status_bar("Progress", 0.5f, 0.75f, "test", 1);
  real_win_get_status_info("Progress", &position, &start, &end, "test", 1);
  EXPECT_EQ(position, 100);
  real_win_increment_status_bar("Progress", 0.5f, "test", 1);
  real_win_get_status_info("Progress", &position, &start, &end, "test", 1);
  EXPECT_EQ(position, 125);
  EXPECT_EQ(start, 100);
  EXPECT_EQ(end, 150);
  real_win_update_status_bar("Progress", -1.0f, 3.0f, "test", 1);  // out of range: drawn as 0
  EXPECT_EQ(screenRect(x, y, 200, 6), std::vector<uint8_t>(shots.begin(), shots.begin() + 1200));

  // Placed partly off the window, it is cut there.
  ASSERT_EQ(real_win_add_status_bar(windowGetVRKID(), "Progress", "FULL.PCX", "EMPTY.PCX", 250, 236, "test", 1), 1);
  real_win_set_status_bar("Progress", 200, 200, "test", 1);
  EXPECT_EQ(windowGetBuffer()[239 * 320 + 319], 120 + 8 * 3);

  // Pictures of different sizes are refused; without a bar everything is -1.
  EXPECT_EQ(real_win_add_status_bar(windowGetVRKID(), "Progress", "WIDE.PCX", "EMPTY.PCX", 0, 0, "test", 1), 0);
  EXPECT_EQ(debugText, "status bar dimensions not the same\n");
  real_win_get_status_info("Progress", &position, &start, &end, "test", 1);
  EXPECT_EQ(position + start + end, -3);
  EXPECT_EQ(real_win_add_status_bar(windowGetVRKID(), "Progress", "MISSING.PCX", "EMPTY.PCX", 0, 0, "test", 1), 0);
  real_win_update_status_bar("Progress", 0.5f, 0.5f, "test", 1);  // nothing to draw

  // The bar goes with its window.
  ASSERT_EQ(real_win_add_status_bar(windowGetVRKID(), "Progress", "FULL.PCX", "EMPTY.PCX", 0, 0, "test", 1), 1);
  deleteWindow("Main");
  real_win_get_status_info("Progress", &position, &start, &end, "test", 1);
  EXPECT_EQ(position, -1);
}

// Each input type read and printed by each output type looks as win_print prints the text the
// format gives.
TEST_F(Widgets, UpdateRegionsPrintTheCallersValues) {
  const int id = windowGetVRKID();
  int32_t fixed = 98304, whole = -7;
  float real = 0.25f;
  char name[] = "name";
  const struct {
    void* value;
    int type;
    const char* text;
  } cases[] = {{&fixed, UPDATE_IN_FIXED | UPDATE_OUT_REAL, " 1.500000 "},
               {&whole, UPDATE_IN_INT | UPDATE_OUT_INT, " -7 "},
               {&real, UPDATE_IN_FLOAT | UPDATE_OUT_PERCENT, "  25.00% "},
               {&fixed, UPDATE_IN_FIXED | UPDATE_OUT_INT, " 1 "},
               {name, UPDATE_IN_STRING, "name"}};
  for (const auto& c : cases) {
    win_fill(id, 0, 0, 320, 240, 0);
    ASSERT_EQ(win_register_update(id, 10, 10, nullptr, c.value, c.type, 77), 0);
    win_do_updateregions();
    win_print(id, c.text, 0, 10, 40, 77);
    const uint8_t* b = windowGetBuffer();
    for (int y = 0; y < 20; ++y)
      for (int x = 0; x < 320; ++x) ASSERT_EQ(b[(10 + y) * 320 + x], b[(40 + y) * 320 + x]) << c.text;
    EXPECT_NE(std::count(b + 10 * 320, b + 30 * 320, 77), 0);
    EXPECT_EQ(win_delete_update_region(0), 1);
  }
  EXPECT_EQ(win_delete_update_region(0), 0);
  EXPECT_EQ(win_register_update(id, 0, 0, nullptr, &whole, 3 | UPDATE_OUT_INT, 77), 0);
  EXPECT_EQ(update_widgets(), 1);
  EXPECT_EQ(debugText, "Invalid input type given to win_register_update\n");
  for (int i = 1; i < UPDATE_REGIONS_MAX; ++i) EXPECT_EQ(win_register_update(id, 0, 0, nullptr, &whole, 0x101, 77), i);
  EXPECT_EQ(win_register_update(id, 0, 0, nullptr, &whole, 0x101, 77), -1);
  EXPECT_EQ(win_delete_all_update_regions(id), 1);
  EXPECT_EQ(win_register_update(id, 0, 0, nullptr, &whole, 0x101, 77), 0);
}

// updateWindows is one pass over the managed windows: the mouse goes to the regions of the
// window under it, then the update regions print their values.
TEST_F(Widgets, UpdateWindowsDispatchesRegionsThenPrintsUpdateRegions) {
  static std::vector<int> events;
  events.clear();
  windowStartRegion(4);
  windowAddRegionRect(0, 0, 320, 240, 0);
  windowEndRegion();
  windowAddRegionName("All");
  windowAddRegionCfunc("All", [](Region*, void*, int event) { events.push_back(event); }, nullptr);
  const int id = windowGetVRKID();
  int32_t value = 42;
  win_fill(id, 0, 0, 320, 240, 0);
  ASSERT_EQ(win_register_update(id, 10, 10, nullptr, &value, UPDATE_IN_INT | UPDATE_OUT_INT, 77), 0);
  mouse_set_position(100, 100);  // over the window
  EXPECT_EQ(updateWindows(), 1);
  EXPECT_EQ(events, std::vector<int>{2});  // entered
  const uint8_t* b = windowGetBuffer();
  EXPECT_NE(std::count(b + 10 * 320, b + 30 * 320, 77), 0);
  widgetsClose();
  win_fill(id, 0, 0, 320, 240, 0);
  EXPECT_EQ(updateWindows(), 0);  // nothing new for the regions, and no widgets any more
  EXPECT_EQ(std::count(b + 10 * 320, b + 30 * 320, 77), 0);
  initWidgets();
}

// The background field against a model (a string, a cursor and the text Escape returns to) over
// random keys, for fields from no room to the installer's 259 characters, in a box narrow enough
// to scroll: after every key the buffer, cursor and length agree with the model, the buffer never
// holds more than its room (it is allocated to the byte, under the address sanitizer), and the
// characters from the display start to the cursor fit in the box.
TEST_F(Widgets, EditFieldFollowsItsModel) {
  std::mt19937 rng(17);
  const int keys[] = {'a', 'W', ' ', '.', 'm', 8, 339, 331, 333, 327, 335, 13, 27, -1, -2, 300, 9};
  const int width = 60;
  for (int maximum : {0, 1, 7, 40, 259}) {
    std::unique_ptr<char[]> buffer(new char[size_t(maximum) + 1]);
    std::string text(size_t(std::min(maximum, 5)), 'i');
    std::memcpy(buffer.get(), text.c_str(), text.size() + 1);
    const int region = windowAddTextRegion(20, 20, width, 0, WINDOW_JUSTIFY_LEFT, 200, 0);
    ASSERT_GT(region, 0);
    winSetupBackgroundTextInputRegion(region, buffer.get(), maximum, nullptr, 0);
    ASSERT_EQ(BTIRactive, 1);
    std::string saved = text;
    int cursor = int(text.size());
    for (int step = 0; step < 3000; ++step) {
      const int key = keys[rng() % (sizeof keys / sizeof keys[0])];
      if (key >= 32 && key < 128 && int(text.size()) < maximum) text.insert(size_t(cursor++), 1, char(key));
      if (key == 8 && cursor > 0) text.erase(size_t(--cursor), 1);
      if (key == 339 && cursor < int(text.size())) text.erase(size_t(cursor), 1);
      if (key == 331 && cursor > 0) --cursor;
      if (key == 333 && cursor < int(text.size())) ++cursor;
      if (key == 327) cursor = 0;
      if (key == 335) cursor = int(text.size());
      if (key == 13) saved = text;
      if (key == 27) text = saved, cursor = 0;
      plat_headless_advance(rng() % 300);
      winManualUpdateTextInputRegion(key);
      SCOPED_TRACE("maximum " + std::to_string(maximum) + " step " + std::to_string(step) + " key " +
                   std::to_string(key));
      ASSERT_EQ(std::string(buffer.get()), text);
      ASSERT_EQ(BTIR.cursor, cursor);
      ASSERT_EQ(BTIR.length, int(text.size()));
      const int start = int(BTIR.displayStart - buffer.get());
      ASSERT_GE(start, 0);
      ASSERT_LE(start, cursor);
      int shown = 0;
      for (int i = start; i < cursor; ++i) shown += text_char_width(text[size_t(i)]) + text_spacing();
      ASSERT_LE(shown, width);
    }
    winDeleteBackgroundTextInputRegion();
    EXPECT_EQ(BTIRactive, 0);
  }
}

// What the user sees of an edit field: a text longer than the box typed to its end scrolls so
// that the cursor stays at the right edge; Home scrolls back and shows the text from its start.
TEST_F(Widgets, EditFieldScrollsGolden) {
  char buffer[41] = "C:\\GAMES";
  const int region = windowAddTextRegion(8, 8, 80, 0, WINDOW_JUSTIFY_LEFT, 200, 3);
  winSetupBackgroundTextInputRegion(region, buffer, 40, nullptr, 0);
  winSetupBackgroundTextInputRegion(region, buffer, 10, nullptr, 0);  // one at a time: ignored
  EXPECT_EQ(BTIR.maximumLength, 40);
  for (const char* c = "\\SOME LONGER FOLDER"; *c; ++c) winManualUpdateTextInputRegion(*c);
  std::vector<uint8_t> shots = screenRect(4, 4, 90, 20);  // a key shows the cursor at once
  winManualUpdateTextInputRegion(327);
  std::vector<uint8_t> s = screenRect(4, 4, 90, 20);
  shots.insert(shots.end(), s.begin(), s.end());
  EXPECT_STREQ(buffer, "C:\\GAMES\\SOME LONGER FOLDER");
  EXPECT_TRUE(golden_picture("edit_field.hex", shots.data(), 90, 40, 90));
  winDeleteBackgroundTextInputRegion();
}

// The modal edit of a click-to-edit field, started by a click on its box or by the program,
// reads keys from the keyboard until Enter or Escape:
// Escape puts the text back, Enter keeps it. Deleting the window deletes its fields, telling
// each delete callback its buffer.
// resizeWindow makes a new window-system window: the widgets go along to it, at places scaled
// with the window (here doubled): the text region prints there, the update region too, a click on
// the field there edits it, and deleting the window deletes them.
TEST_F(Widgets, AResizedWindowTakesItsWidgetsAlong) {
  ASSERT_EQ(resizeWindow("Main", 0, 0, 160, 120), 0);  // from a small window, to double it
  char buffer[9] = "ab";
  const int region = windowAddTextRegion(8, 8, 60, 0, WINDOW_JUSTIFY_LEFT, 200, 3);
  const int field = windowAddTextInputRegion(region, buffer, 8, nullptr);
  int32_t value = 42;
  ASSERT_EQ(win_register_update(windowGetVRKID(), 8, 40, nullptr, &value, UPDATE_IN_INT | UPDATE_OUT_INT, 77), 0);
  const int oldId = windowGetVRKID();
  ASSERT_EQ(resizeWindow("Main", 0, 0, 320, 240), 0);
  const int id = windowGetVRKID();
  ASSERT_NE(id, oldId);
  EXPECT_EQ(textRegions[region - 1].window, id);
  EXPECT_EQ(textRegions[region - 1].x, 16);
  EXPECT_EQ(textRegions[region - 1].width, 120);
  const uint8_t* b = windowGetBuffer();
  win_fill(id, 0, 0, 320, 240, 0);
  win_do_updateregions();
  EXPECT_NE(std::count(b + 80 * 320, b + 100 * 320, 77), 0);  // at y 80
  EXPECT_EQ(win_print_text_region(region, "x"), 1);
  EXPECT_NE(std::count(b + 16 * 320, b + 30 * 320, 3), 0);  // the box at y 16
  mouse_show();
  mouse_set_position(16 + 100, 16 + 3);  // on the box, past where it was before the resize
  const uint32_t t0 = get_time();
  plat_headless_at_mouse(t0 + 5, 0, 0, 1);
  plat_headless_at_mouse(t0 + 8, 0, 0, 0);
  plat_headless_at_key(t0 + 20, 0x2D, 1);  // x, Enter
  plat_headless_at_key(t0 + 25, 0x2D, 0);
  plat_headless_at_key(t0 + 40, 0x1C, 1);
  plat_headless_at_key(t0 + 45, 0x1C, 0);
  while (plat_headless_pending()) get_input();
  EXPECT_STREQ(buffer, "xab");
  deleteWindow("Main");
  EXPECT_EQ(win_print_text_region(region, "x"), 0);
  EXPECT_EQ(win_delete_text_input_region(field), 0);
  EXPECT_EQ(win_delete_update_region(0), 0);
}

// A click-to-edit field is refused when its box is not wholly inside its window (no click could
// reach it); a deleted field's button goes with it, so a click there opens no field, not even
// the next one that takes its record; the modal edit survives an idle routine that adds fields
// and text regions (their tables move, under the address sanitizer) and one that deletes the
// field being edited.
TEST_F(Widgets, EditFieldsOwnTheirButtonsAndTheEditSurvivesMovingTables) {
  char buffer[9] = "ab", other[9] = "cd";
  const int outside = windowAddTextRegion(300, 8, 80, 0, 0, 200, 3);
  EXPECT_EQ(windowAddTextInputRegion(outside, buffer, 8, nullptr), 0);
  const int first = windowAddTextRegion(8, 8, 80, 0, 0, 200, 3);
  ASSERT_EQ(windowAddTextInputRegion(first, buffer, 8, nullptr), 1);
  EXPECT_EQ(win_delete_text_input_region(1), 1);
  const int second = windowAddTextRegion(8, 100, 80, 0, 0, 200, 3);
  ASSERT_EQ(windowAddTextInputRegion(second, other, 8, nullptr), 1);  // the same record
  auto type = [](std::vector<int> scans) {
    uint32_t t = get_time() + 20;
    for (int scan : scans) {
      plat_headless_at_key(t, scan, 1);
      plat_headless_at_key(t + 5, scan, 0);
      t += 20;
    }
  };
  mouse_show();
  mouse_set_position(20, 12);  // where the deleted field was
  const uint32_t t0 = get_time();
  plat_headless_at_mouse(t0 + 5, 0, 0, 1);
  plat_headless_at_mouse(t0 + 8, 0, 0, 0);
  type({0x2D, 0x1C});  // x, Enter: for no field
  while (plat_headless_pending()) get_input();
  EXPECT_STREQ(other, "cd");

  static int grow = 0;
  grow = 1;
  textInputRegions[0].idle = [] {
    for (; grow > 0 && grow <= 40; ++grow) {
      static char spare[40][4];
      const int r = windowAddTextRegion(8, 40, 40, 0, 0, 200, 3);
      windowAddTextInputRegion(r, spare[grow - 1], 3, nullptr);
    }
  };
  type({0x2D, 0x1C});  // x, Enter
  EXPECT_EQ(windowSelectTextInputRegion(1), 1);
  EXPECT_STREQ(other, "xcd");
  static int field = 0;
  field = 1;
  textInputRegions[0].idle = [] { win_delete_text_input_region(field); };
  EXPECT_EQ(windowSelectTextInputRegion(1), 1);  // ends with the field
  EXPECT_EQ(win_delete_text_input_region(1), 0);
  while (plat_headless_pending()) get_input();
}

TEST_F(Widgets, ModalEditAndDeletionWithTheWindow) {
  char buffer[9] = "ab";
  const int region = windowAddTextRegion(8, 8, 80, 0, WINDOW_JUSTIFY_CENTRE, 200, 3);
  const int field = windowAddTextInputRegion(region, buffer, 8, nullptr);
  ASSERT_EQ(field, 1);
  auto type = [](std::vector<int> scans) {
    uint32_t t = get_time() + 20;
    for (int scan : scans) {
      plat_headless_at_key(t, scan, 1);
      plat_headless_at_key(t + 5, scan, 0);
      t += 20;
    }
  };
  // A click on the box starts the edit from inside the input poll.
  mouse_show();
  mouse_set_position(20, 12);
  const uint32_t t0 = get_time();
  plat_headless_at_mouse(t0 + 5, 0, 0, 1);
  plat_headless_at_mouse(t0 + 8, 0, 0, 0);
  type({0x2D, 0x1C});  // x, Enter (the cursor starts at 0)
  while (plat_headless_pending()) get_input();
  EXPECT_STREQ(buffer, "xab");
  type({0x15, 0x01});  // y, Escape
  EXPECT_EQ(windowSelectTextInputRegion(field), 1);
  EXPECT_STREQ(buffer, "xab");
  type({0x2D, 0xCB, 0xCB, 0xCB, 0x15, 0x0E, 0x1C});  // x, Left x3, y, Backspace, Enter
  EXPECT_EQ(windowSelectTextInputRegion(field), 1);
  EXPECT_STREQ(buffer, "xxab");
  EXPECT_EQ(textRegions[region - 1].justification, WINDOW_JUSTIFY_CENTRE);
  EXPECT_EQ(windowSelectTextInputRegion(7), 0);

  static std::vector<std::pair<char*, void*>> deleted;
  deleted.clear();
  int data = 0;
  EXPECT_EQ(windowSetTextInputDeleteFunc(
                field,
                [](char* b, void* d) {
                  deleted.push_back({b, d});
                },
                &data),
            1);
  char other[5] = "";
  const int region2 = windowAddTextRegion(8, 30, 80, 0, 0, 200, 3);
  winSetupBackgroundTextInputRegion(region2, other, 4, nullptr, 0);
  ASSERT_EQ(createWindow("Other", 0, 0, 50, 50, 0, 0), 1);
  selectWindow("Other");
  const int kept = windowAddTextRegion(0, 0, 20, 0, 0, 200, 3);
  deleteWindow("Main");
  EXPECT_EQ(deleted, (std::vector<std::pair<char*, void*>>{{buffer, &data}}));
  EXPECT_EQ(win_print_text_region(region, "x"), 0);
  EXPECT_EQ(win_delete_text_input_region(field), 0);
  EXPECT_EQ(BTIRactive, 0);
  EXPECT_EQ(win_print_text_region(kept, "x"), 1);
}

}  // namespace
