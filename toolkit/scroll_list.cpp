// List devices: topics shown in a rectangle of the current window, selected by mouse and keys,
// kept in view, with immediate and timed selection callbacks.
#include <cctype>
#include <cstring>

#include "base/memdbg.h"
#include "toolkit/scroll.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/mouse.h"
#include "vrk/text.h"

namespace {

constexpr const char* kTag = "scroll";

enum : int {
  KEY_ENTER = 0x0D,
  KEY_HOME = 0x147,
  KEY_UP = 0x148,
  KEY_PAGE_UP = 0x149,
  KEY_END = 0x14F,
  KEY_DOWN = 0x150,
  KEY_PAGE_DOWN = 0x151,
};

// The window pixels under the one list device with a saved background.
uint8_t* winBuf = nullptr;
int winBufWidth = 0, winBufHeight = 0;

// Puts the saved background back into the rectangle.
void transFill(int x, int y, int width, int height) {
  if (winBuf) windowDisplayBuf(winBuf, winBufWidth, winBufHeight, x, y, width, height);
}

// Selects the list's font for the life of the object and the previous one again after.
struct FontScope {
  int previous;
  explicit FontScope(int font) : previous(text_curr()) { text_font(font); }
  ~FontScope() {
    if (previous >= 0) text_font(previous);
  }
};

void freeList(ListDevice* l, bool withBackground);

// Holds a list for the time of one of its routines: a callback that deletes the list meanwhile
// only marks it (the routine stops at the mark), and the list is freed when the outermost routine
// returns.
struct Hold {
  ListDevice* l;
  explicit Hold(ListDevice* list) : l(list) { ++l->busy; }
  ~Hold() {
    if (--l->busy == 0 && l->deleted) freeList(l, l->deleted == 2);
  }
  Hold(const Hold&) = delete;
  Hold& operator=(const Hold&) = delete;
};

bool gone(const ListDevice* l) { return l->deleted != 0; }

bool wraps(const ListDevice* l) { return (l->flags & LIST_WRAP) != 0; }

const char* topic(const ListDevice* l, int i) {
  const char* t = l->topics && i >= 0 && i < l->topicCount ? l->topics[i] : nullptr;
  return t ? t : "";
}

// Brings the selection into view; the move-thumb callback hears a new head.
void selectionInView(ListDevice* l) {
  if (l->selection < 0) return;
  const int old = l->head;
  // Before the first repaint nothing is counted as shown; the selection still needs a line.
  const int shown = l->topicsShown > 0 ? l->topicsShown : 1;
  if (l->selection < l->head)
    l->head = l->selection;
  else if (l->head + shown <= l->selection)
    l->head = l->selection - shown + 1;
  if (l->head != old) l->moveThumb(l->head);
}

int lower(int c) { return std::tolower(static_cast<unsigned char>(c)); }

// Type-ahead: the first letters typed within half a second of each other pick a topic.
int handleAlphaNumerics(ListDevice* l, int key) {
  const uint32_t now = get_time();
  l->lastKeyTime = now;
  int found = -1;
  if (!l->timedSelectPending) {
    l->timedSelectPending = 1;
    l->typeAheadLength = 0;
    for (int i = 0; i < l->topicCount && found < 0; ++i)
      if (key < 256 && topic(l, i)[0] && lower(topic(l, i)[0]) == lower(key)) found = i;
    l->typeAheadActive = found >= 0;
    if (found < 0) return 0;
  } else {
    if (!l->typeAheadActive || l->selection < 0) return 0;
    const int n = ++l->typeAheadLength;
    for (int i = l->selection; i < l->topicCount && found < 0; ++i) {
      const char* t = topic(l, i);
      if (key < 256 && int(std::strlen(t)) > n && lower(t[n]) == lower(key)) found = i;
    }
    if (found == l->selection) {
      l->selected(l->selection);
      return 0;
    }
    if (found < 0 || !partialStringCompare(topic(l, found), topic(l, l->selection), n)) {
      l->typeAheadActive = 0;
      return 0;
    }
  }
  l->selection = found;
  selectionInView(l);
  updateTextList(l);
  if (!gone(l)) l->selected(l->selection);
  return 1;
}

// The topic under a window point, or -1.
int topicAt(ListDevice* l, int mouseY) {
  FontScope font(l->font);
  const int th = text_height();
  const int first = l->head < 0 ? 0 : l->head;
  if (!wraps(l)) {
    const int step = th + l->spacing;
    if (step <= 0) return -1;
    const int index = first + (mouseY - l->y) / step;
    return index < first + l->topicsShown && index < l->topicCount ? index : -1;
  }
  int offset = 0;
  for (int i = first; i < l->topicCount && l->height - offset >= th; ++i) {
    offset += windowNumLines(topic(l, i), l->width, 0) * th;
    if (l->y + offset >= mouseY) return i;
    offset += l->spacing;
  }
  return -1;
}

void doTopicsClick(ListDevice* l, int mouseY) {
  const int index = topicAt(l, mouseY);
  if (index < 0) return;
  const uint32_t now = get_time();
  if (index != l->selection) {
    l->selection = index;
    l->lastClickTime = now;
    updateTextList(l);
    if (!gone(l)) l->selected(index);
    return;
  }
  if (l->multipleSelect)
    l->selected(index);
  else if (elapsed_tocks(now, l->lastClickTime) < LIST_DOUBLE_CLICK_MS)
    l->doubleClick(index);
  l->lastClickTime = now;
}

}  // namespace

ListDevice* newListDevice(void) {
  auto* l = static_cast<ListDevice*>(MYCALLOC(1, sizeof(ListDevice), kTag));
  if (!l) {
    debug_puts("Error - Allocating new list device.\n");
    return nullptr;
  }
  l->selected = l->timedSelected = l->doubleClick = l->moveThumb = l->page = genericScrollCallback;
  l->fill = defaultFillFunc;
  l->draw = defaultDrawFunc;
  l->lastStepTime = l->pressTime = l->lastClickTime = l->lastKeyTime = l->keyRepeatStart = get_time();
  return l;
}

namespace {

void freeList(ListDevice* l, bool withBackground) {
  if (withBackground && l->fill == transFill && winBuf) {
    MYFREE(winBuf, kTag);
    winBuf = nullptr;
  }
  MYFREE(l, kTag);
}

}  // namespace

void deleteListDevice(ListDevice* list) {
  if (!list) return;
  if (list->busy) {
    if (!list->deleted) list->deleted = 1;
    return;
  }
  freeList(list, false);
}

ListDevice* createListDevice(int x, int y, int width, int height, int flags) {
  ListDevice* l = newListDevice();
  if (!l) return nullptr;
  if (flags & LIST_SAVED_BACKGROUND) {
    const uint8_t* src = windowGetBuffer();
    const int ww = windowWidth(), wh = windowHeight();
    if (winBuf) MYFREE(winBuf, kTag);
    winBuf = nullptr;
    if (src && width > 0 && height > 0) {
      winBuf = static_cast<uint8_t*>(MYCALLOC(size_t(width) * size_t(height), 1, kTag));
      // Only the part of the rectangle inside the window is there to save.
      for (int row = 0; row < height; ++row)
        for (int col = 0; col < width; ++col) {
          const int wx = x + col, wy = y + row;
          if (wx >= 0 && wy >= 0 && wx < ww && wy < wh)
            winBuf[size_t(row) * size_t(width) + size_t(col)] = src[size_t(wy) * size_t(ww) + size_t(wx)];
        }
      winBufWidth = width;
      winBufHeight = height;
    }
    l->fill = transFill;
  }
  setListDeviceTextRegion(l, x, y, width, height);
  setListDeviceFuncs(l, genericSelectedCallback, genericMoveThumbCallback, genericPageIncCallback,
                     genericDoubleClickCallback);
  l->flags = uint8_t(flags);
  return l;
}

void cleanupListDevice(ListDevice* list) {
  if (!list) return;
  if (list->busy) {
    list->deleted = 2;
    return;
  }
  freeList(list, true);
}

void setListDeviceTextRegion(ListDevice* list, int x, int y, int width, int height) {
  if (!list) return;
  list->x = x;
  list->y = y;
  list->width = width;
  list->height = height;
}

void setListDeviceFlags(ListDevice* list, int flags) {
  if (list) list->flags = uint8_t(flags);
}

void setListDeviceCallbacks(ListDevice* list, scroll_callback_fn selected, scroll_rect_fn fill, scroll_rect_fn draw) {
  if (!list) return;
  if (selected) list->selected = selected;
  if (fill) list->fill = fill;
  if (draw) list->draw = draw;
}

void setListDeviceFuncs(ListDevice* list, scroll_callback_fn selected, scroll_callback_fn moveThumb,
                        scroll_callback_fn page, scroll_callback_fn doubleClick) {
  if (!list) return;
  if (selected) list->selected = selected;
  if (moveThumb) list->moveThumb = moveThumb;
  if (page) list->page = page;
  if (doubleClick) list->doubleClick = doubleClick;
}

void setListDeviceMoveThumbFunc(ListDevice* list, scroll_callback_fn fn) {
  if (list && fn) list->moveThumb = fn;
}
void setListDevicePageIncFunc(ListDevice* list, scroll_callback_fn fn) {
  if (list && fn) list->page = fn;
}
void setListDeviceTimedSelectedFunc(ListDevice* list, scroll_callback_fn fn) {
  if (list && fn) list->timedSelected = fn;
}
void setListDeviceDoubleClickFunc(ListDevice* list, scroll_callback_fn fn) {
  if (list && fn) list->doubleClick = fn;
}

void attachListToListDevice(ListDevice* list, const char* const* topics, int count, int font, int spacing,
                            int normalColour, int highlightColour) {
  if (!list) return;
  list->topics = topics;
  list->topicCount = topics && count > 0 ? count : 0;
  list->font = font;
  list->spacing = spacing;
  list->normalColour = normalColour;
  list->highlightColour = highlightColour;
  list->head = -1;
  list->topicsShown = 0;
  list->selection = -1;
}

void activateListDevice(ListDevice* list, ScrollDevice* scrollDevice, const char* const* topics, int count, int font,
                        int normalColour, int highlightColour) {
  if (!list || gone(list)) return;
  Hold hold(list);
  attachListToListDevice(list, topics, count, font, 1, normalColour, highlightColour);
  setListDeviceHead(list, 0);
  if (gone(list)) return;
  const int n = numUnclippedTopicsOnLastPage(list);
  if (scrollDevice) {
    setScrollDeviceButtons(scrollDevice, 0, 0);
    setScrollDivisions(scrollDevice, list->topicCount - n, n);
    setThumbPosition(scrollDevice, 0);
  }
}

void setListDeviceHead(ListDevice* list, int head) {
  if (!list || gone(list)) return;
  // A head outside the list would index topics that are not there.
  if (head > list->topicCount - 1) head = list->topicCount - 1;
  if (head < 0) head = 0;
  if (head == list->head) return;
  list->head = head;
  updateTextList(list);
}

int getCurrentListHead(ListDevice* list) { return list ? list->head : 0; }
int getCurrentListSelection(ListDevice* list) { return list ? list->selection : -1; }

int selectListItem(ListDevice* list, int index) {
  if (!list || gone(list) || index < 0 || index >= list->topicCount) return 0;
  Hold hold(list);
  list->selection = index;
  selectionInView(list);
  updateTextList(list);
  return 1;
}

int chooseListItem(ListDevice* list, int index) {
  if (!list || gone(list)) return 0;
  Hold hold(list);
  if (!selectListItem(list, index) || gone(list)) return 0;
  list->selected(index);
  return 1;
}

void unselectAll(ListDevice* list) {
  if (!list || gone(list)) return;
  list->selection = -1;
  updateTextList(list);
}

void setMultipleSelectFlag(ListDevice* list, int flag) {
  if (list) list->multipleSelect = flag;
}

namespace {

// Moves the selection one entry by `delta` (-1 or 1); with no selection yet, the first entry is
// selected and the list shown from its start.
int stepSelection(ListDevice* list, int delta) {
  if (list->selection < 0) {
    list->selection = 0;
    if (list->head != 0) {
      list->head = 0;
      list->moveThumb(0);
    }
  } else {
    list->selection += delta;
    selectionInView(list);
  }
  updateTextList(list);
  if (!gone(list)) list->selected(list->selection);
  return 1;
}

}  // namespace

int selectPreviousItem(ListDevice* list) {
  if (!list || gone(list) || list->topicCount <= 0 || list->selection == 0) return 0;
  Hold hold(list);
  return stepSelection(list, -1);
}

int selectNextItem(ListDevice* list) {
  if (!list || gone(list) || list->topicCount <= 0 || list->selection >= list->topicCount - 1) return 0;
  Hold hold(list);
  return stepSelection(list, 1);
}

void updateTextList(ListDevice* list) {
  if (!list || gone(list)) return;
  Hold hold(list);
  ListDevice* l = list;
  FontScope font(l->font);
  l->fill(l->x, l->y, l->width, l->height);
  if (gone(l)) return;
  const int th = text_height(), window = windowGetVRKID();
  int offset = 0, shown = 0;
  for (int i = l->head < 0 ? 0 : l->head; i < l->topicCount && th > 0 && l->height - offset >= th; ++i) {
    const char* t = topic(l, i);
    const int colour = i == l->selection ? l->highlightColour : l->normalColour;
    if (wraps(l)) {
      const int lines =
          windowWrapLine(window, t, l->width, l->height - offset, l->x, l->y + offset, colour, WINDOW_JUSTIFY_CENTRE);
      offset += lines * th + l->spacing;
    } else {
      windowPrintBuf(window, t, int(std::strlen(t)), l->width, l->y + l->height, l->x, l->y + offset, colour,
                     WINDOW_JUSTIFY_CENTRE);
      offset += th + l->spacing;
    }
    ++shown;
  }
  const int before = l->topicsShown;
  l->topicsShown = shown;
  if (wraps(l) && shown != before) l->page(shown);
  if (!gone(l)) l->draw(l->x, l->y, l->width, l->height);
}

int numUnclippedTopicsOnLastPage(ListDevice* list) {
  if (!list) return 0;
  ListDevice* l = list;
  FontScope font(l->font);
  const int th = text_height();
  if (th <= 0) return 0;
  if (!wraps(l)) {
    int n = 0;
    for (int offset = 0; n < l->topicCount && l->height - offset >= th; offset += th + l->spacing) ++n;
    return n;
  }
  for (int start = l->topicCount - 1; start >= 0; --start) {
    int offset = 0, fitted = 0;
    for (int i = start; i < l->topicCount; ++i) {
      const int h = windowNumLines(topic(l, i), l->width, 0) * th;
      if (offset + h > l->height) break;
      offset += h + l->spacing;
      ++fitted;
    }
    if (fitted < l->topicCount - start) return fitted;
  }
  return l->topicCount;
}

int doListDeviceInterface(ListDevice* list) {
  if (!list || gone(list)) return 0;
  Hold hold(list);
  const uint32_t now = get_time();
  if (elapsed_tocks(now, list->lastStepTime) < SCROLL_STEP_MS) return 0;
  list->lastStepTime = now;
  if (mouse_get_buttons() & (MOUSE_LEFT_PRESSED | MOUSE_LEFT_HELD)) {
    if (!list->mouseHeld) {
      list->pressTime = now;
      int x = 0, y = 0;
      mouse_get_position(&x, &y);
      x -= windowSX();
      y -= windowSY();
      if (x >= list->x && x < list->x + list->width && y >= list->y && y < list->y + list->height)
        doTopicsClick(list, y);
    }
    if (!gone(list)) list->mouseHeld = 1;
    return 1;
  }
  list->mouseHeld = 0;
  return 1;
}

int doListDeviceKeyHandling(ListDevice* list, int key, int keyGroups) {
  if (!list || gone(list)) return 0;
  Hold hold(list);
  ListDevice* l = list;
  const uint32_t now = get_time();
  if (l->timedSelectPending && elapsed_tocks(now, l->lastKeyTime) > SCROLL_REPEAT_DELAY_MS) {
    l->timedSelectPending = 0;
    if (l->selection >= 0) l->timedSelected(l->selection);
    return 0;
  }
  if (key < 0) {
    l->keyRepeating = 0;
    return 0;
  }
  if (l->mouseHeld) return 0;
  switch (key) {
    case KEY_ENTER:
      l->typeAheadActive = 0;
      return 0;
    case KEY_HOME:
    case KEY_PAGE_UP:
    case KEY_END:
    case KEY_PAGE_DOWN:
      return 0;
    case KEY_UP:
    case KEY_DOWN:
      if (!(keyGroups & SCROLL_KEYS_ARROWS)) return 0;
      l->timedSelectPending = 1;
      l->lastKeyTime = now;
      l->typeAheadActive = 0;
      if (!l->keyRepeating) {
        l->keyRepeating = 1;
        l->keyRepeatStart = now;
      } else if (elapsed_tocks(now, l->keyRepeatStart) < SCROLL_REPEAT_DELAY_MS) {
        return 0;
      }
      return key == KEY_UP ? selectPreviousItem(l) : selectNextItem(l);
    default:
      return keyGroups & SCROLL_KEYS_TYPE ? handleAlphaNumerics(l, key) : 0;
  }
}

int processScrollInput(ScrollDevice*, ListDevice* list, int key, int handleKeys) {
  if (!list || gone(list)) return 0;
  Hold hold(list);
  const int mouse = doListDeviceInterface(list);
  if (!handleKeys || gone(list)) return mouse;
  return doListDeviceKeyHandling(list, key, SCROLL_KEYS_ARROWS | SCROLL_KEYS_HOME_END | SCROLL_KEYS_TYPE);
}

int partialStringCompare(const char* a, const char* b, int n) {
  if (n <= 0) return 1;
  if (!a || !b) return a == b ? 1 : 0;
  for (int i = 0; i < n; ++i) {
    if (lower(a[i]) != lower(b[i])) return 0;
    if (!a[i]) return 1;
  }
  return 1;
}
