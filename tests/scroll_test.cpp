// Scroll devices and list devices on the headless driver, the mouse through mouse_simulate_input
// and time on the virtual clock: the thumb against its divisions over random sizes (set and
// dragged), button and key repeat, and lists of every length keeping their selection in view,
// with type-ahead, double clicks and the timed selection.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "toolkit/scroll.h"
#include "toolkit/window.h"
#include "tests/vrk_util.h"
#include "vrk/mouse.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

constexpr int kTrackColour = 7, kThumbColour = 200;
constexpr int kNormal = 50, kHighlight = 60;

std::vector<int> heard;  // what the callback under test was told
void hear(int v) { heard.push_back(v); }
void trackFill(int x, int y, int w, int h) { win_fill(windowGetVRKID(), x, y, w, h, kTrackColour); }
void noDraw(int, int, int, int) {}

class Devices : public vrk_util::Stage {
 protected:
  std::unique_ptr<vrk_util::FontArchive> archive;
  void SetUp() override {
    Stage::SetUp();
    archive = std::make_unique<vrk_util::FontArchive>();
    win_set_minimized_title("scroll test");
    initWindow(1, 1);
    ASSERT_EQ(createWindow("Main", 0, 0, 320, 240, 0, 0), 0);
    selectWindow("Main");
    windowShow();
    mouse_show();
    heard.clear();
    at(10000);
  }
  void TearDown() override {
    windowClose();
    archive.reset();
    Stage::TearDown();
  }
  uint32_t now = 0;
  void at(uint32_t t) {
    now = t;
    plat_headless_set_time(t);
  }
  // Puts the hot spot at window point (x, y) with the left button down or up.
  static void mouse(int x, int y, int left) {
    mouse_set_position(windowSX() + x, windowSY() + y);
    mouse_simulate_input(0, 0, left);
  }
  static uint8_t pixel(int x, int y) { return windowGetBuffer()[y * windowWidth() + x]; }
};

// --- scroll devices ---

// Where the thumb's picture lies along the track, from the window's pixels (-1: nowhere).
int thumbOffsetOnScreen(const ScrollDevice* d) {
  const bool vert = d->flags & SCROLL_VERTICAL;
  const int length = vert ? d->trackHeight : d->trackWidth;
  for (int i = 0; i < length; ++i) {
    const int x = vert ? d->trackX : d->trackX + i, y = vert ? d->trackY + i : d->trackY;
    if (windowGetBuffer()[y * windowWidth() + x] == kThumbColour) return i;
  }
  return -1;
}

// Random tracks, thumbs and divisions: a position set lands within 0..D, and the thumb is drawn
// at the pixel whose division it is (offset o with o*D <= room*P < (o+1)*D); a drag to offset o
// gives the division P with P*room <= o*D < (P+1)*room (ends past the track; a move to the
// thumb's own pixel changes nothing), and the thumb snaps to it.
TEST_F(Devices, ThumbFollowsDivisionsSetAndDragged) {
  std::mt19937 rng(5);
  std::vector<uint8_t> thumb(200 * 8, kThumbColour);
  for (int round = 0; round < 300; ++round) {
    const bool vert = rng() % 2;
    const int L = 8 + int(rng() % 150), T = 1 + int(rng() % L), D = 2 + int(rng() % 40), room = L - T;
    ScrollDevice* d = createScrollDevice(20, 20, vert ? 8 : L, vert ? L : 8, vert ? SCROLL_VERTICAL : 0);
    ASSERT_NE(d, nullptr);
    setScrollDeviceCallbacks(d, hear, trackFill, noDraw);
    setScrollDeviceThumbButton(d, thumb.data(), vert ? 8 : T, vert ? T : 8, vert ? 8 : T);
    setScrollDivisions(d, D, 1);
    SCOPED_TRACE("L " + std::to_string(L) + " T " + std::to_string(T) + " D " + std::to_string(D));
    auto drawnAt = [&](int P) {
      const int o = thumbOffsetOnScreen(d);
      if (room == 0) return o == 0;
      return o >= 0 && o * D <= room * P && room * P < (o + 1) * D;
    };
    for (int k = 0; k < 4; ++k) {
      const int p = int(rng() % unsigned(D + 7)) - 3, P = std::clamp(p, 0, D);
      heard.clear();
      const int before = d->position;
      setThumbPosition(d, p);
      ASSERT_EQ(d->position, P) << p;
      EXPECT_EQ(heard.size(), before == P ? 0u : 1u);
      if (before != P) {
        ASSERT_TRUE(drawnAt(P));
      }
    }
    if (room == 0) {
      cleanupScrollDevice(d);
      continue;
    }
    // Take the thumb at a random point of it and drag it along the axis.
    const int grab = int(rng() % unsigned(T));
    auto along = [&](int a, int left) { vert ? mouse(21, 20 + a, left) : mouse(20 + a, 21, left); };
    at(now + 40);
    along(d->thumbOffset + grab, 1);
    ASSERT_EQ(doScrollDeviceInterface(d), 1);
    for (int k = 0; k < 3; ++k) {
      const int o = int(rng() % unsigned(room + 20)) - 10, was = d->position, wasAt = d->thumbOffset;
      at(now + 40);
      along(o + grab, 1);
      ASSERT_EQ(doScrollDeviceInterface(d), 1);
      const int P = d->position;
      if (o == wasAt)  // the mouse has not moved the thumb: several divisions may share a pixel
        EXPECT_EQ(P, was);
      else if (o < 0)
        EXPECT_EQ(P, 0);
      else if (o >= room)
        EXPECT_EQ(P, D);
      else
        EXPECT_TRUE(P * room <= o * D && o * D < (P + 1) * room) << "offset " << o << " position " << P;
      EXPECT_TRUE(drawnAt(P)) << "offset " << o;
    }
    at(now + 40);
    along(0, 0);
    doScrollDeviceInterface(d);
    cleanupScrollDevice(d);
  }
}

// A held button steps once at once, then after 500 ms once per 33 ms while the mouse stays on it;
// off the button it shows released and stops. Keys: at once, then after 500 ms on every call.
TEST_F(Devices, ButtonsAndKeysRepeatOnTheClock) {
  const std::vector<uint8_t> upN(100, 11), upP(100, 12), downN(100, 13), downP(100, 14), thumb(40, kThumbColour);
  ScrollDevice* d = createScrollDevice(100, 20, 10, 100, SCROLL_VERTICAL);
  setScrollDeviceCallbacks(d, hear, trackFill, noDraw);
  setScrollDeviceUpButton(d, upN.data(), upP.data(), 100, 10, 10, 10, 10);
  setScrollDeviceDownButton(d, downN.data(), downP.data(), 100, 120, 10, 10, 10);
  setScrollDeviceThumbButton(d, thumb.data(), 10, 4, 10);
  setScrollDivisions(d, 40, 5);
  setScrollDeviceButtons(d, 0, 0);
  setThumbPosition(d, 0);
  EXPECT_EQ(pixel(105, 125), 13);

  at(now + 40);
  mouse(105, 125, 1);
  ASSERT_EQ(doScrollDeviceInterface(d), 1);
  EXPECT_EQ(d->position, 1);
  EXPECT_EQ(pixel(105, 125), 14);
  const uint32_t press = now;
  at(press + 20);
  mouse(105, 125, 1);
  EXPECT_EQ(doScrollDeviceInterface(d), 0);  // within one frame
  for (uint32_t t = press + 40; t < press + 490; t += 40) {
    at(t);
    mouse(105, 125, 1);
    ASSERT_EQ(doScrollDeviceInterface(d), 1);
    ASSERT_EQ(d->position, 1) << t - press;
  }
  for (int k = 0; k < 5; ++k) {
    at(press + 520 + uint32_t(k) * 34);
    mouse(105, 125, 1);
    doScrollDeviceInterface(d);
    EXPECT_EQ(d->position, 2 + k);
  }
  at(now + 34);
  mouse(150, 125, 1);  // slides off: released look, no steps
  doScrollDeviceInterface(d);
  EXPECT_EQ(pixel(105, 125), 13);
  at(now + 34);
  doScrollDeviceInterface(d);
  EXPECT_EQ(d->position, 6);
  at(now + 34);
  mouse(105, 125, 1);  // back on it: the repeat goes on
  doScrollDeviceInterface(d);
  EXPECT_EQ(d->position, 7);
  EXPECT_EQ(pixel(105, 125), 14);
  at(now + 34);
  mouse(105, 125, 0);
  doScrollDeviceInterface(d);
  EXPECT_EQ(pixel(105, 125), 13);

  // A click on the track after the thumb pages down; the up button steps back.
  at(now + 34);
  mouse(105, 110, 1);
  doScrollDeviceInterface(d);
  EXPECT_EQ(d->position, 12);
  at(now + 34);
  mouse(105, 110, 0);
  doScrollDeviceInterface(d);
  at(now + 34);
  mouse(105, 15, 1);
  doScrollDeviceInterface(d);
  EXPECT_EQ(d->position, 11);
  EXPECT_EQ(pixel(105, 15), 12);
  at(now + 34);
  mouse(105, 15, 0);
  doScrollDeviceInterface(d);

  // Keys: the Down arrow at once, then nothing until 500 ms, then on every call.
  const int keys = SCROLL_KEYS_ARROWS | SCROLL_KEYS_PAGE | SCROLL_KEYS_HOME_END;
  const uint32_t k0 = now + 100;
  at(k0);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x150, keys), 1);
  at(k0 + 300);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x150, keys), 0);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x14F, keys), 0);  // End waits while a key repeats
  at(k0 + 505);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x150, keys), 1);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x150, keys), 1);
  EXPECT_EQ(d->position, 14);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x14D, keys), 0);  // Right: not on a vertical bar
  EXPECT_EQ(doScrollDeviceKeyHandling(d, -1, keys), 0);     // released
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x151, keys), 1);  // Page Down, at once
  EXPECT_EQ(d->position, 19);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, -1, keys), 0);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x14F, keys), 1);  // End
  EXPECT_EQ(d->position, 40);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x150, keys), 0);  // nothing past the end
  doScrollDeviceKeyHandling(d, -1, keys);
  setMinMaxDivisions(d, 2, -1);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x147, keys), 1);  // Home stops at the minimum
  EXPECT_EQ(d->position, 2);
  EXPECT_EQ(doScrollDeviceKeyHandling(d, 0x147, SCROLL_KEYS_ARROWS), 0);

  heard.clear();
  setThumbPosition(d, 2);
  EXPECT_TRUE(heard.empty());
  pauseScrollDevice(d);
  setThumbPosition(d, 30);
  EXPECT_EQ(d->position, 2);
  unpauseScrollDevice(d);
  setScrollDivisions(d, 1, 1);
  at(now + 100);
  mouse(105, 125, 1);
  EXPECT_EQ(doScrollDeviceInterface(d), 0);  // one division: the mouse is ignored
  EXPECT_EQ(getCurrentScrollDevice(), d);
  deleteScrollDevice(d);
  EXPECT_EQ(getCurrentScrollDevice(), nullptr);
}

// --- list devices ---

// A callback that deletes its own device (deleteScrollDevice or cleanupScrollDevice) ends the
// routine that called it, which touches the device no more (under the address sanitizer): the
// thumb callback from a click on a button, a drag, a key, a position set, and the draw callback.
TEST_F(Devices, ACallbackMayDeleteItsScrollDevice) {
  static ScrollDevice* victim;
  static bool withPictures;
  const std::vector<uint8_t> upN(100, 11), upP(100, 12), downN(100, 13), downP(100, 14), thumb(40, kThumbColour);
  auto make = [&](bool dropOnDraw) {
    ScrollDevice* d = createScrollDevice(100, 20, 10, 100, SCROLL_VERTICAL);
    auto drop = [](int) {
      withPictures ? deleteScrollDevice(victim) : cleanupScrollDevice(victim);
      victim = nullptr;
    };
    auto dropDraw = [](int, int, int, int) {
      if (!victim) return;
      withPictures ? deleteScrollDevice(victim) : cleanupScrollDevice(victim);
      victim = nullptr;
    };
    setScrollDeviceUpButton(d, upN.data(), upP.data(), 100, 10, 10, 10, 10);
    setScrollDeviceDownButton(d, downN.data(), downP.data(), 100, 120, 10, 10, 10);
    setScrollDeviceThumbButton(d, thumb.data(), 10, 4, 10);
    setScrollDivisions(d, 40, 5);
    setThumbPosition(d, 10);
    setScrollDeviceCallbacks(d, drop, trackFill, dropOnDraw ? dropDraw : noDraw);
    victim = d;
    return d;
  };
  for (bool pictures : {false, true}) {
    withPictures = pictures;
    ScrollDevice* d = make(false);
    at(now + 40);
    mouse(105, 125, 1);  // the down button
    doScrollDeviceInterface(d);
    EXPECT_EQ(victim, nullptr);
    at(now + 40);
    mouse(105, 0, 0);
    d = make(false);
    at(now + 40);
    mouse(105, 20 + d->thumbOffset + 1, 1);  // take the thumb, then drag it
    doScrollDeviceInterface(d);
    at(now + 40);
    mouse(105, 90, 1);
    doScrollDeviceInterface(d);
    EXPECT_EQ(victim, nullptr);
    at(now + 40);
    mouse(105, 0, 0);
    doScrollDeviceKeyHandling(make(false), 0x150, SCROLL_KEYS_ARROWS);
    EXPECT_EQ(victim, nullptr);
    setThumbPosition(make(false), 3);
    EXPECT_EQ(victim, nullptr);
    setScrollDeviceButtons(make(true), 1, 0);
    EXPECT_EQ(victim, nullptr);
    d = make(true);
    at(now + 40);
    mouse(105, 15, 1);  // the up button, whose pressed look is drawn first
    doScrollDeviceInterface(d);
    EXPECT_EQ(victim, nullptr);
    mouse(105, 0, 0);
  }
}

class Lists : public Devices {
 protected:
  int th = 0;
  int capacity = 3;
  ListDevice* make(const std::vector<const char*>& topics) {
    text_font(0);
    th = text_height();
    ListDevice* l = createListDevice(10, 10, 200, 3 * (th + 1), 0);
    activateListDevice(l, nullptr, topics.data(), int(topics.size()), 0, kNormal, kHighlight);
    setListDeviceCallbacks(l, hear, nullptr, noDraw);
    return l;
  }
  // Presses and releases the left button at window point (x, y), each on a frame of its own.
  void click(ListDevice* l, int x, int y, uint32_t t) {
    at(t);
    mouse(x, y, 1);
    doListDeviceInterface(l);
    at(t + 34);
    mouse(x, y, 0);
    doListDeviceInterface(l);
  }
  int highlighted(const ListDevice* l) {
    int n = 0;
    for (int y = l->y; y < l->y + l->height; ++y)
      for (int x = l->x; x < l->x + l->width; ++x) n += pixel(x, y) == kHighlight;
    return n;
  }
};

// Whatever moves the selection (arrows, picks, clicks), it stays in view: between the head and
// the last topic shown, drawn highlighted; the page is as full as the list allows.
TEST_F(Lists, SelectionStaysInView) {
  std::mt19937 rng(9);
  for (int count : {0, 1, 3, 4, 1000}) {
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i) names.push_back("topic " + std::to_string(i));
    std::vector<const char*> topics;
    for (const std::string& s : names) topics.push_back(s.c_str());
    ListDevice* l = make(topics);
    EXPECT_EQ(numUnclippedTopicsOnLastPage(l), std::min(count, capacity));
    for (int op = 0; op < 300; ++op) {
      at(now + 40);
      switch (rng() % 5) {
        case 0:
        case 1:
          processScrollInput(nullptr, l, rng() % 2 ? 0x148 : 0x150, 1);
          processScrollInput(nullptr, l, -1, 1);
          break;
        case 2:
          selectListItem(l, int(rng() % unsigned(count + 2)) - 1);
          break;
        case 3:
          click(l, 20, l->y + int(rng() % unsigned(l->height)), now);
          break;
        default:
          setListDeviceHead(l, int(rng() % unsigned(count + 1)));
          if (l->selection >= 0) selectListItem(l, l->selection);
          break;
      }
      SCOPED_TRACE("count " + std::to_string(count) + " op " + std::to_string(op));
      ASSERT_EQ(l->topicsShown, std::min(capacity, count - l->head));
      if (l->selection >= 0) {
        ASSERT_LE(l->head, l->selection);
        ASSERT_LT(l->selection, l->head + l->topicsShown);
        ASSERT_GT(highlighted(l), 0);
      } else {
        ASSERT_EQ(highlighted(l), 0);
      }
    }
    cleanupListDevice(l);
  }
}

// Down with no selection selects topic 0; held, it moves once, waits 500 ms, then moves on every
// call until released; 500 ms after the last move the timed selection fires once.
TEST_F(Lists, ArrowsRepeatAndTheTimedSelectionFiresOnce) {
  const std::vector<const char*> topics = {"one", "two", "three", "four", "five", "six", "seven", "eight"};
  ListDevice* l = make(topics);
  static std::vector<int> timed;
  timed.clear();
  setListDeviceTimedSelectedFunc(l, [](int i) { timed.push_back(i); });
  const int keys = SCROLL_KEYS_ARROWS | SCROLL_KEYS_TYPE;
  const uint32_t t0 = now;
  EXPECT_EQ(doListDeviceKeyHandling(l, 0x150, keys), 1);
  EXPECT_EQ(l->selection, 0);
  at(t0 + 200);
  EXPECT_EQ(doListDeviceKeyHandling(l, 0x150, keys), 0);
  at(t0 + 505);
  EXPECT_EQ(doListDeviceKeyHandling(l, 0x150, keys), 1);
  EXPECT_EQ(doListDeviceKeyHandling(l, 0x150, keys), 1);
  EXPECT_EQ(l->selection, 2);
  EXPECT_EQ(doListDeviceKeyHandling(l, -1, keys), 0);
  EXPECT_EQ(doListDeviceKeyHandling(l, 0x150, keys), 1);  // a new press moves at once
  EXPECT_EQ(heard, (std::vector<int>{0, 1, 2, 3}));
  const uint32_t last = now;
  for (uint32_t t = last + 50; t < last + 1500; t += 50) {
    at(t);
    doListDeviceKeyHandling(l, -1, keys);
    EXPECT_EQ(timed.size(), t > last + 500 ? 1u : 0u) << t - last;
  }
  EXPECT_EQ(timed, (std::vector<int>{3}));
  cleanupListDevice(l);
}

// Type-ahead picks by first letters typed within half a second; a letter that matches nothing
// ends the match.
TEST_F(Lists, TypeAhead) {
  const std::vector<const char*> topics = {"Alpha", "Beta", "Bravo", "Charlie", "brown"};
  ListDevice* l = make(topics);
  const int keys = SCROLL_KEYS_ARROWS | SCROLL_KEYS_TYPE;
  EXPECT_EQ(doListDeviceKeyHandling(l, 'b', keys), 1);
  EXPECT_EQ(l->selection, 1);
  at(now + 100);
  EXPECT_EQ(doListDeviceKeyHandling(l, 'R', keys), 1);
  EXPECT_EQ(l->selection, 2);
  at(now + 100);
  EXPECT_EQ(doListDeviceKeyHandling(l, 'a', keys), 0);  // "bra" is Bravo itself
  EXPECT_EQ(l->selection, 2);
  at(now + 100);
  EXPECT_EQ(doListDeviceKeyHandling(l, 'x', keys), 0);  // nothing: the match ends
  at(now + 100);
  EXPECT_EQ(doListDeviceKeyHandling(l, 'o', keys), 0);
  EXPECT_EQ(heard, (std::vector<int>{1, 2, 2}));
  at(now + 600);
  EXPECT_EQ(doListDeviceKeyHandling(l, 'c', keys), 0);  // the timed selection takes this call
  EXPECT_EQ(doListDeviceKeyHandling(l, 'c', keys), 1);  // a new sequence
  EXPECT_EQ(l->selection, 3);
  at(now + 600);
  doListDeviceKeyHandling(l, -1, keys);
  EXPECT_EQ(doListDeviceKeyHandling(l, 'z', keys), 0);
  EXPECT_EQ(l->selection, 3);
  EXPECT_EQ(partialStringCompare("BRavo", "brown", 2), 1);
  EXPECT_EQ(partialStringCompare("ab", "ab", 5), 1);
  EXPECT_EQ(partialStringCompare("ab", "abc", 3), 0);
  EXPECT_EQ(partialStringCompare("x", "y", 0), 1);
  cleanupListDevice(l);
}

// A second click on the selected topic within 250 ms is a double click; later it is not, and the
// timing starts again from it. With multiple select every click re-sends the selection.
// A callback that deletes its own list (deleteListDevice or cleanupListDevice) ends the routine
// that called it, which touches the list no more (under the address sanitizer): the selection
// from a click, an arrow, type-ahead and a pick, a double click, the timed selection, and the
// thumb callback of a selection moving out of view.
TEST_F(Lists, ACallbackMayDeleteItsList) {
  static ListDevice* victim;
  static bool cleanup;
  const std::vector<const char*> topics = {"one", "two", "three", "four", "five", "six"};
  auto drop = [](int) {
    cleanup ? cleanupListDevice(victim) : deleteListDevice(victim);
    victim = nullptr;
  };
  auto fresh = [&](int selection) {
    ListDevice* l = make(topics);
    if (selection >= 0) selectListItem(l, selection);
    setListDeviceCallbacks(l, drop, nullptr, nullptr);
    victim = l;
    return l;
  };
  for (bool c : {false, true}) {
    cleanup = c;
    ListDevice* l = fresh(-1);
    uint32_t t = now + 40;
    at(t);
    mouse(20, 12, 1);  // the press selects
    doListDeviceInterface(l);
    EXPECT_EQ(victim, nullptr);
    mouse(20, 0, 0);
    at(t += 100);
    processScrollInput(nullptr, fresh(0), 0x150, 1);  // Down
    EXPECT_EQ(victim, nullptr);
    at(t += 100);
    doListDeviceKeyHandling(fresh(-1), 't', SCROLL_KEYS_TYPE);  // type-ahead
    EXPECT_EQ(victim, nullptr);
    chooseListItem(fresh(-1), 2);
    EXPECT_EQ(victim, nullptr);
    l = fresh(1);
    setListDeviceCallbacks(l, hear, nullptr, nullptr);
    setListDeviceDoubleClickFunc(l, drop);
    const int second = l->y + th + 2;
    at(t += 300);
    mouse(20, second, 1);  // the selected topic again, twice
    doListDeviceInterface(l);
    at(t += 34);
    mouse(20, second, 0);
    doListDeviceInterface(l);
    at(t += 34);
    mouse(20, second, 1);
    doListDeviceInterface(l);  // the double click
    EXPECT_EQ(victim, nullptr);
    at(t += 34);
    mouse(20, 0, 0);
    l = fresh(-1);
    setListDeviceCallbacks(l, hear, nullptr, nullptr);
    setListDeviceTimedSelectedFunc(l, drop);
    processScrollInput(nullptr, l, 0x150, 1);
    processScrollInput(nullptr, l, -1, 1);
    at(t += 600);
    processScrollInput(nullptr, l, -1, 1);  // the timed selection
    EXPECT_EQ(victim, nullptr);
    l = fresh(2);
    setListDeviceCallbacks(l, hear, nullptr, nullptr);
    setListDeviceMoveThumbFunc(l, drop);
    at(t += 100);
    processScrollInput(nullptr, l, 0x150, 1);  // topic 3 is below the page: the head moves
    EXPECT_EQ(victim, nullptr);
    at(t += 100);
  }
}

TEST_F(Lists, DoubleClickOnTheClock) {
  const std::vector<const char*> topics = {"one", "two", "three", "four"};
  ListDevice* l = make(topics);
  static std::vector<int> doubles;
  doubles.clear();
  setListDeviceDoubleClickFunc(l, [](int i) { doubles.push_back(i); });
  const int second = l->y + th + 1 + 1;  // inside topic 1
  uint32_t t = now + 40;
  click(l, 20, second, t);  // selects
  EXPECT_EQ(l->selection, 1);
  click(l, 20, second, t += 200);  // double
  EXPECT_EQ(doubles, (std::vector<int>{1}));
  click(l, 20, second, t += 300);  // too late: a single click, and the timing restarts
  EXPECT_EQ(doubles.size(), 1u);
  click(l, 20, second, t += 240);
  EXPECT_EQ(doubles.size(), 2u);
  click(l, 20, l->y + 3 * (th + 1) + 5, t += 100);  // below the region: nothing
  click(l, 20, l->y + 1, t += 100);
  EXPECT_EQ(l->selection, 0);
  EXPECT_EQ(heard, (std::vector<int>{1, 0}));
  setMultipleSelectFlag(l, 1);
  click(l, 20, l->y + 1, t += 100);
  click(l, 20, l->y + 1, t += 100);
  EXPECT_EQ(heard, (std::vector<int>{1, 0, 0, 0}));
  EXPECT_EQ(doubles.size(), 2u);
  cleanupListDevice(l);
}

}  // namespace
