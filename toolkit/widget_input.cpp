// Text input regions: edit fields over text regions that edit a caller's buffer in place. The
// background field is fed one input code at a time and never blocks; a click-to-edit field runs
// a modal edit loop until Enter or Escape.
#include <cstring>

#include "base/memdbg.h"
#include "toolkit/widget_internal.h"
#include "toolkit/window.h"
#include "vrk/button.h"
#include "vrk/grbuf.h"
#include "vrk/input.h"
#include "vrk/kb.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

TextInputRegion* textInputRegions = nullptr;
int numTextInputRegions = 0;
TextInputRegion BTIR;
int BTIRactive = 0;

namespace {

constexpr const char* kTag = "widget";
constexpr int kBlinkMs = 500;
constexpr int kEditCodeBase = 0x400;

enum : int {
  KEY_BACKSPACE = 8,
  KEY_ENTER = 13,
  KEY_ESCAPE = 27,
  KEY_HOME = 327,
  KEY_LEFT = 331,
  KEY_RIGHT = 333,
  KEY_END = 335,
  KEY_DELETE = 339,
};
enum class Edit { ignored, changed, accept, undo };

char* BTIRoldStuff = nullptr;  // the text Escape returns to, or null
int BTIRflag = 0;
int editing = 0;  // a click-to-edit loop is running
int blinkOn = 1;
uint32_t blinkTime = 0;

TextRegion* textRegion(int index) {
  return index >= 1 && index <= numTextRegions && textRegions[index - 1].inUse ? &textRegions[index - 1] : nullptr;
}

TextInputRegion* inputRegion(int index) {
  return index >= 1 && index <= numTextInputRegions && textInputRegions[index - 1].inUse ? &textInputRegions[index - 1]
                                                                                         : nullptr;
}

// Selects a font for the life of the object.
struct FontScope {
  int previous;
  explicit FontScope(int font) : previous(text_curr()) { text_font(font); }
  ~FontScope() {
    if (previous >= 0) text_font(previous);
  }
};

// The text height of the region's font.
int heightOf(const TextRegion& r) {
  FontScope font(r.font);
  return text_height();
}

// A character's width as the field advances over it: its own width and the font's spacing.
int advance(char c) { return text_char_width(static_cast<unsigned char>(c)) + text_spacing(); }

// The length of the caller's text, never past the field's room; the text is cut there so that
// the field and the caller agree on where it ends.
int boundedLength(char* buffer, int maximum) {
  int n = 0;
  while (n < maximum && buffer[n]) ++n;
  buffer[n] = 0;
  return n;
}

// A copy of the text to return to, or null for an empty text.
char* saveText(const TextInputRegion& rec) {
  if (rec.length == 0) return nullptr;
  char* copy = static_cast<char*>(MYMALLOC(size_t(rec.maximumLength) + 1, kTag));
  std::memcpy(copy, rec.buffer, size_t(rec.length) + 1);
  return copy;
}

void restoreText(TextInputRegion& rec, const char* saved) {
  if (saved)
    std::memcpy(rec.buffer, saved, std::strlen(saved) + 1);
  else
    rec.buffer[0] = 0;
  rec.length = boundedLength(rec.buffer, rec.maximumLength);
}

// One editing key on the record's text and cursor.
Edit editKey(TextInputRegion& rec, int key) {
  char* b = rec.buffer;
  if (key >= 32 && key <= 127) {
    if (rec.length >= rec.maximumLength) return Edit::ignored;
    std::memmove(b + rec.cursor + 1, b + rec.cursor, size_t(rec.length - rec.cursor) + 1);
    b[rec.cursor++] = char(key);
    ++rec.length;
    return Edit::changed;
  }
  switch (key) {
    case KEY_BACKSPACE:
      if (rec.length <= 0 || rec.cursor <= 0) return Edit::ignored;
      --rec.cursor;
      std::memmove(b + rec.cursor, b + rec.cursor + 1, size_t(rec.length - rec.cursor));
      --rec.length;
      return Edit::changed;
    case KEY_DELETE:
      if (rec.cursor >= rec.length) return Edit::ignored;
      std::memmove(b + rec.cursor, b + rec.cursor + 1, size_t(rec.length - rec.cursor));
      --rec.length;
      return Edit::changed;
    case KEY_LEFT:
      if (rec.cursor > 0) --rec.cursor;
      return Edit::changed;
    case KEY_RIGHT:
      if (rec.cursor < rec.length) ++rec.cursor;
      return Edit::changed;
    case KEY_HOME:
      rec.cursor = 0;
      return Edit::changed;
    case KEY_END:
      rec.cursor = rec.length;
      return Edit::changed;
    case KEY_ENTER:
      return Edit::accept;
    case KEY_ESCAPE:
      return Edit::undo;
    default:
      return Edit::ignored;
  }
}

// Draws the bar cursor, flipping its phase every half second.
void doCursor(const TextInputRegion& rec) {
  TextRegion* r = textRegion(rec.textRegion);
  uint8_t* buf = r ? win_get_buf(r->window) : nullptr;
  if (!buf) return;
  const uint32_t now = get_time();
  if (elapsed_tocks(now, blinkTime) >= kBlinkMs) {
    blinkOn = !blinkOn;
    blinkTime = now;
  }
  FontScope font(r->font);
  const int start = int(rec.displayStart - rec.buffer), shown = rec.displayedLength;
  int x = r->x;
  if (r->justification == WINDOW_JUSTIFY_RIGHT) {
    x = r->x + r->width - 1;
    for (int i = rec.cursor; i < start + shown && i < rec.length; ++i) x -= advance(rec.buffer[i]);
  } else if (rec.cursor > start) {
    for (int i = start; i < rec.cursor; ++i) x += advance(rec.buffer[i]);
    x -= text_spacing();
  }
  // The bar stays inside the box and the window: draw_line does not clip.
  const int ww = win_width(r->window), wh = win_height(r->window);
  if (x > r->x + r->width - 1) x = r->x + r->width - 1;
  if (x < r->x) x = r->x;
  const int top = r->y < 0 ? 0 : r->y, bottom = r->y + text_height() - 1 < wh ? r->y + text_height() - 1 : wh - 1;
  if (x < 0 || x >= ww || top > bottom) return;
  draw_line(buf, ww, x, top, x, bottom, blinkOn ? (r->colour & 0xFF) : (r->background & 0xFF));
  Rect box{x, top, x, bottom};
  win_draw_rect(r->window, &box);
}

// After a key the cursor shows at once, and blinks on from there.
void showCursorNow(const TextInputRegion& rec) {
  blinkOn = 0;
  blinkTime = get_time() - kBlinkMs;
  doCursor(rec);
}

// The invisible button that turns a click on the box into the edit of field `index` (its
// release routine, given code 0x400 + index); its id, or -1.
int coverWithButton(const TextRegion& r, int index) {
  const int id = win_register_button(r.window, r.x, r.y, r.width, heightOf(r), -1, -1, -1, kEditCodeBase + index,
                                     nullptr, nullptr, nullptr, 0);
  if (id != -1) win_register_button_func(id, nullptr, nullptr, nullptr, textInputRegionDispatch);
  return id;
}

// The modal edit of a click-to-edit field. The idle routine and the input poll run the caller's
// code, which may add fields and text regions (the tables move) or delete this one: the field is
// looked up again after each, and the edit ends when it went.
void editLoop(int index) {
  TextInputRegion* rec = inputRegion(index);
  TextRegion* r = rec ? textRegion(rec->textRegion) : nullptr;
  if (!r || editing) return;
  editing = 1;
  rec->displayStart = rec->buffer;
  const int justification = r->justification;
  r->justification = WINDOW_JUSTIFY_LEFT;
  char* saved = saveText(*rec);
  const int savedCursor = rec->cursor;
  char* const buffer = rec->buffer;
  // The field as it is now, or null when it went (its record reused by another field counts).
  auto field = [&]() -> TextInputRegion* {
    TextInputRegion* now = inputRegion(index);
    return now && now->buffer == buffer ? now : nullptr;
  };
  for (;;) {
    winUpdateBackgroundTextInputRegion(rec->textRegion, rec);
    showCursorNow(*rec);
    int key = -1;
    do {
      doCursor(*rec);
      if (rec->idle) rec->idle();
      if ((rec = field())) key = get_input();
      if (rec) rec = field();
    } while (rec && key == -1);
    if (!rec) break;
    const Edit e = editKey(*rec, key);
    if (e == Edit::undo) {
      restoreText(*rec, saved);
      rec->cursor = savedCursor;
    }
    if (e == Edit::accept || e == Edit::undo) break;
  }
  if (saved) MYFREE(saved, kTag);
  r = rec ? textRegion(rec->textRegion) : nullptr;
  if (!r) {  // the field or its box went during the edit
    editing = 0;
    return;
  }
  rec->length = boundedLength(rec->buffer, rec->maximumLength);
  if (rec->cursor > rec->length) rec->cursor = rec->length;
  r->justification = justification;
  rec->displayStart = rec->buffer;
  win_print_text_region(rec->textRegion, rec->buffer);
  win_update_text_region(rec->textRegion);
  editing = 0;
}

}  // namespace

// --- click-to-edit fields ---

namespace {

// A field in use over text region `textRegionIndex`, editing `buffer`, the cursor at its start.
TextInputRegion newInputRecord(int textRegionIndex, char* buffer, int maximumLength, text_idle_fn idle) {
  TextInputRegion rec{};
  rec.textRegion = textRegionIndex;
  rec.inUse = 1;
  rec.maximumLength = maximumLength;
  rec.buffer = buffer;
  rec.length = boundedLength(buffer, maximumLength);
  rec.displayStart = buffer;
  rec.idle = idle;
  return rec;
}

}  // namespace

int win_add_text_input_region(int textRegionIndex, char* buffer, int maximumLength, text_idle_fn idle) {
  TextRegion* r = textRegion(textRegionIndex);
  if (!r || !buffer || maximumLength < 0) return 0;
  int index = 0;
  for (int i = 1; i <= numTextInputRegions && !index; ++i)
    if (!textInputRegions[i - 1].inUse) index = i;
  if (!index) {
    textInputRegions = static_cast<TextInputRegion*>(
        MYREALLOC(textInputRegions, sizeof(TextInputRegion) * size_t(numTextInputRegions + 1), kTag));
    index = ++numTextInputRegions;
    r = textRegion(textRegionIndex);
  }
  TextInputRegion& rec = textInputRegions[index - 1];
  rec = newInputRecord(textRegionIndex, buffer, maximumLength, idle);
  rec.button = coverWithButton(*r, index);
  if (rec.button == -1) {  // the box is not wholly inside its window: no click could reach it
    rec.inUse = 0;
    return 0;
  }
  win_print_text_region(textRegionIndex, buffer);
  return index;
}

void widgetMoveInputButtons(int oldWindow, int newWindow) {
  for (int i = 1; i <= numTextInputRegions; ++i) {
    TextInputRegion* rec = inputRegion(i);
    const TextRegion* r = rec ? textRegion(rec->textRegion) : nullptr;
    if (!r || r->window != newWindow || rec->button == -1) continue;
    if (win_button_winID(rec->button) == oldWindow) win_delete_button(rec->button);
    rec->button = coverWithButton(*r, i);
  }
}

int windowAddTextInputRegion(int textRegionIndex, char* buffer, int maximumLength, text_idle_fn idle) {
  return win_add_text_input_region(textRegionIndex, buffer, maximumLength, idle);
}

void textInputRegionDispatch(int id, int code) {
  const TextInputRegion* rec = (code & kEditCodeBase) ? inputRegion(code - kEditCodeBase) : nullptr;
  if (editing || !rec || rec->button != id) return;  // only the field's own button opens it
  editLoop(code - kEditCodeBase);
}

int windowSelectTextInputRegion(int index) {
  if (editing || !inputRegion(index)) return 0;
  editLoop(index);
  return 1;
}

int win_delete_text_input_region(int index) {
  TextInputRegion* rec = inputRegion(index);
  if (!rec) return 0;
  if (rec->deleteCallback) rec->deleteCallback(rec->buffer, rec->deleteData);
  rec = inputRegion(index);  // the callback may have added fields (the table moves) or deleted it
  if (!rec) return 1;
  // Its button goes too, or a click there would open the next field that takes this record.
  const TextRegion* r = textRegion(rec->textRegion);
  if (rec->button != -1 && r && win_button_winID(rec->button) == r->window) win_delete_button(rec->button);
  rec->button = -1;
  win_delete_text_region(rec->textRegion);
  rec->inUse = 0;
  return 1;
}

int win_delete_all_text_input_regions(int window) {
  for (int i = 1; i <= numTextInputRegions; ++i) {
    const TextInputRegion* rec = inputRegion(i);
    const TextRegion* r = rec ? textRegion(rec->textRegion) : nullptr;
    if (r && r->window == window) win_delete_text_input_region(i);
  }
  // The background field goes with its window too: it would edit a box that is gone.
  const TextRegion* b = BTIRactive ? textRegion(BTIR.textRegion) : nullptr;
  if (b && b->window == window) winDeleteBackgroundTextInputRegion();
  return 1;
}

int windowDeleteTextInputRegion(int index) {
  if (index == -1) {
    const int window = windowGetVRKID();
    return window == -1 ? 0 : win_delete_all_text_input_regions(window);
  }
  return win_delete_text_input_region(index);
}

int win_set_text_input_delete_func(int index, text_delete_fn callback, void* data) {
  TextInputRegion* rec = inputRegion(index);
  if (!rec) return 0;
  rec->deleteCallback = callback;
  rec->deleteData = data;
  return 1;
}

int windowSetTextInputDeleteFunc(int index, text_delete_fn callback, void* data) {
  return win_set_text_input_delete_func(index, callback, data);
}

// --- the background field ---

void winSetupBackgroundTextInputRegion(int textRegionIndex, char* buffer, int maximumLength, text_idle_fn idle,
                                       int autoUpdate) {
  TextRegion* r = textRegion(textRegionIndex);
  if (BTIRactive || !r || !buffer || maximumLength < 0) return;
  BTIR = newInputRecord(textRegionIndex, buffer, maximumLength, idle);
  BTIR.cursor = BTIR.length;
  BTIR.button = -1;
  BTIRflag = autoUpdate;
  BTIRoldStuff = saveText(BTIR);
  r->justification = WINDOW_JUSTIFY_LEFT;
  win_print_text_region(textRegionIndex, buffer);
  BTIRactive = 1;
  if (autoUpdate) add_bk_process(winDoBackgroundTextInputRegion);
  winUpdateBackgroundTextInputRegion(textRegionIndex, &BTIR);
}

void winManualUpdateTextInputRegion(int key) {
  if (!BTIRactive) return;
  doCursor(BTIR);
  if (BTIR.idle) BTIR.idle();
  switch (editKey(BTIR, key)) {
    case Edit::ignored:
      return;
    case Edit::undo:
      restoreText(BTIR, BTIRoldStuff);
      BTIR.cursor = 0;
      break;
    case Edit::accept:
      if (BTIRoldStuff) MYFREE(BTIRoldStuff, kTag);
      BTIRoldStuff = saveText(BTIR);
      break;
    case Edit::changed:
      break;
  }
  winUpdateBackgroundTextInputRegion(BTIR.textRegion, &BTIR);
  showCursorNow(BTIR);
}

void winAutoUpdateTextInputRegion(int key) { winManualUpdateTextInputRegion(key); }

void winDoBackgroundTextInputRegion(void) { winManualUpdateTextInputRegion(kb_getch()); }

void winUpdateBackgroundTextInputRegion(int textRegionIndex, TextInputRegion* record) {
  TextRegion* r = textRegion(textRegionIndex);
  if (!r || !record || !record->buffer) return;
  TextInputRegion& rec = *record;
  FontScope font(r->font);
  int start = int(rec.displayStart - rec.buffer);
  if (start < 0 || start > rec.length) start = 0;
  auto widthOf = [&](int from, int to) {
    int w = 0;
    for (int i = from; i < to; ++i) w += advance(rec.buffer[i]);
    return w;
  };
  if (rec.cursor < start) {
    start = rec.cursor;
    r->justification = WINDOW_JUSTIFY_LEFT;
    win_print_text_region(textRegionIndex, rec.buffer + start);
    rec.displayedLength = rec.length - start;
  } else if (widthOf(start, rec.cursor) <= r->width) {
    // Right-justified, a text running on past the box would show its end and push the cursor
    // out on the left: from the display start it is shown from its first character instead.
    if (r->justification == WINDOW_JUSTIFY_RIGHT && widthOf(start, rec.length) > r->width)
      r->justification = WINDOW_JUSTIFY_LEFT;
    win_print_text_region(textRegionIndex, rec.buffer + start);
    rec.displayedLength = rec.length - start;
  } else {
    r->justification = WINDOW_JUSTIFY_RIGHT;
    int excess = widthOf(start, rec.cursor) - r->width;
    while (excess > 0 && start < rec.cursor) excess -= advance(rec.buffer[start++]);
    win_print_substr_region(textRegionIndex, rec.buffer + start, rec.cursor - start);
    rec.displayedLength = rec.cursor - start;
  }
  rec.displayStart = rec.buffer + start;
  win_update_text_region(textRegionIndex);
}

void winDeleteBackgroundTextInputRegion(void) {
  if (!BTIRactive) return;
  winUpdateBackgroundTextInputRegion(BTIR.textRegion, &BTIR);
  win_delete_text_region(BTIR.textRegion);
  if (BTIRflag) remove_bk_process(winDoBackgroundTextInputRegion);
  if (BTIRoldStuff) MYFREE(BTIRoldStuff, kTag);
  BTIRoldStuff = nullptr;
  BTIR = TextInputRegion{};
  BTIRactive = 0;
}

void widgetResetBackgroundField(int release) {
  if (release) {
    winDeleteBackgroundTextInputRegion();
    return;
  }
  BTIR = TextInputRegion{};
  BTIRactive = 0;
  BTIRoldStuff = nullptr;
  editing = 0;
}
