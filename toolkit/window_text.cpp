// Text in managed windows: the toolkit's text attributes, the text position of each window, the
// one-line print with clipping and justification, and word wrap.
#include <algorithm>
#include <cstring>
#include <vector>

#include "color/color.h"
#include "base/memdbg.h"
#include "toolkit/window_internal.h"
#include "vrk/grbuf.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

namespace {

constexpr const char* kTag = "window";
constexpr int kMaxLine = 255;

int currentFont = 0;
int textR = 31, textG = 31, textB = 31;
int highlightR = 31, highlightG = 31, highlightB = 0;
int currentTextFlags = WINDOW_TEXT_DEFAULT_FLAGS;

// A colour component 0..1 in 5 bits, held at 0 or 31 outside that range (as colorFloat15 does).
int component(float v) { return colorFloat15(v, 0.0f, 0.0f) >> 10; }
int paletteIndex(int r, int g, int b) { return colorTable[(r << 10) | (g << 5) | b]; }

// Where the line starting at `pos` ends (`end`, exclusive) and where the next one starts (`next`);
// `broke` is false when the text ran out first.
struct LineBreak {
  size_t end;
  size_t next;
  bool broke;
};

// The first line of t[pos..len): up to a line feed, or the most whole words that fit `width`
// (the line's first `start` pixels taken), or as much of a word too long for a line as fits (at
// least one character). A line feed never counts towards the width. After a break the next line
// starts past the spaces; a break that falls just before a line feed takes the line feed with
// it, so the wrap never adds an empty line of its own.
LineBreak nextBreak(const char* t, size_t len, size_t pos, int width, int start) {
  const int spacing = text_spacing();
  int run = start;  // width of t[pos..i-1], each character followed by the spacing
  for (size_t i = pos; i < len; ++i) {
    const char c = t[i];
    if (c == '\n') return {i, i + 1, true};
    const int through = run + text_char_width(static_cast<unsigned char>(c));
    if (through > width) {
      // t[pos..i-1] fits and t[i] does not: break at the last space up to t[i].
      size_t k = i;
      while (k > pos && t[k] != ' ') --k;
      size_t end, next;
      if (t[k] == ' ') {
        end = k;
        while (end > pos && t[end - 1] == ' ') --end;
        next = k;
      } else if (i > pos) {
        end = next = i;
      } else if (pos + 1 < len) {
        end = next = pos + 1;
      } else {
        return {len, len, false};  // the last character, alone on its line
      }
      while (next < len && t[next] == ' ') ++next;
      if (next < len && t[next] == '\n') ++next;
      return {end, next, true};
    }
    run = through + spacing;
  }
  return {len, len, false};
}

size_t skipSpaces(const char* t, size_t len, size_t pos) {
  while (pos < len && t[pos] == ' ') ++pos;
  return pos;
}

}  // namespace

// --- attributes ---

int windowSetFont(int font) {
  currentFont = font;
  text_font(font);
  return 1;
}

int windowGetFont(void) { return currentFont; }

int windowSetTextColor(float r, float g, float b) {
  textR = component(r);
  textG = component(g);
  textB = component(b);
  return 1;
}

int windowSetHighlightColor(float r, float g, float b) {
  highlightR = component(r);
  highlightG = component(g);
  highlightB = component(b);
  return 1;
}

int windowGetTextColor(void) { return paletteIndex(textR, textG, textB); }
int windowGetHighlightColor(void) { return paletteIndex(highlightR, highlightG, highlightB); }

int windowSetTextFlags(int flags) {
  currentTextFlags = flags;
  return 1;
}

int windowGetTextFlags(void) { return currentTextFlags; }

void windowResetTextAttributes(void) {
  windowSetTextColor(1.0f, 1.0f, 1.0f);
  currentTextFlags = WINDOW_TEXT_DEFAULT_FLAGS;
}

// --- position and simple prints ---

int windowGotoXY(int x, int y) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w) return 0;
  w->textX = int(float(x) * w->xScale);
  w->textY = int(float(y) * w->yScale);
  return 1;
}

int windowOutput(const char* text) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w || !text) return 0;
  win_print(w->id, text, 0, w->textX, w->textY, windowGetTextColor() | currentTextFlags);
  return 1;
}

int windowPrint(const char* text, int width, int x, int y, int colour) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w || !text) return 0;
  win_print(w->id, text, width, int(float(x) * w->xScale), int(float(y) * w->yScale), colour);
  return 1;
}

int windowPrintFont(const char* text, int width, int x, int y, int colour, int font) {
  const int previous = text_curr();
  text_font(font);
  const int rc = windowPrint(text, width, x, y, colour);
  if (previous >= 0) text_font(previous);
  return rc;
}

int windowPrintRect(const char* text, int width, int justification) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w) return 0;
  windowWrapLine(w->id, text, int(float(width) * w->xScale), w->height - w->textY, w->textX, w->textY,
                 windowGetTextColor() | WINDOW_TEXT_TRANSPARENT, justification);
  return 1;
}

int windowFormatMessage(const char* text, int x, int y, int width, int height, int justification) {
  ManagedWindow* w = windowCurrentRecord();
  if (!w) return 0;
  windowWrapLine(w->id, text, width, height, x, y, windowGetTextColor() | WINDOW_TEXT_TRANSPARENT, justification);
  return 1;
}

// --- the line primitive ---

int windowPrintBuf(int window, const char* text, int length, int width, int maxY, int x, int y, int colour,
                   int justification) {
  uint8_t* dst = win_get_buf(window);
  const int ww = win_width(window), wh = win_height(window);
  if (!dst || !text || length <= 0 || width <= 0) return 0;
  int h = text_height();
  if (y + h > maxY) return 0;
  char line[kMaxLine + 1];
  size_t n = 0;
  while (n < size_t(std::min(length, kMaxLine)) && text[n]) ++n;
  std::memcpy(line, text, n);
  line[n] = 0;
  int w = text_width(line);
  if (w <= 0 || h <= 0) return 0;
  if (colour & TEXT_SHADOW) {
    ++w;
    ++h;
  }
  std::vector<uint8_t> box(size_t(w) * size_t(h), 0);
  text_to_buf(box.data(), line, w, w, colour & 0xFFFFFF);

  int copyW = width, srcX = 0, dx = x;
  switch (justification) {
    case WINDOW_JUSTIFY_LEFT:
      copyW = std::min(w, width);
      break;
    case WINDOW_JUSTIFY_RIGHT:
      if (w > width) {
        srcX = w - width;
      } else {
        dx += width - w;
        copyW = w;
      }
      break;
    case WINDOW_JUSTIFY_CENTRE:
      if (w > width) {
        srcX = (w - width) / 2;
      } else {
        dx += (width - w) / 2;
        copyW = w;
      }
      break;
    default:
      break;
  }
  // Never read past the rendered text nor write outside the window's buffer.
  copyW = std::min(copyW, w - srcX);
  if (copyW <= 0) return 0;
  return windowCopyClipped(box.data() + srcX, w, copyW, h, dst, ww, wh, dx, y, (colour & WINDOW_TEXT_TRANSPARENT) != 0)
             ? 1
             : 0;
}

// --- word wrap ---

char** windowWordWrap(const char* text, int width, int firstLineStart, int* countOut) {
  if (countOut) *countOut = 0;
  if (!text) return nullptr;
  const size_t len = std::strlen(text);
  std::vector<char*> lines;
  size_t pos = 0;
  int start = firstLineStart;
  while (pos < len) {
    const LineBreak b = nextBreak(text, len, pos, width, start);
    char* line = static_cast<char*>(MYMALLOC(b.end - pos + 1, kTag));
    std::memcpy(line, text + pos, b.end - pos);
    line[b.end - pos] = 0;
    lines.push_back(line);
    pos = skipSpaces(text, len, b.next);
    start = 0;
  }
  char** out = static_cast<char**>(MYMALLOC(sizeof(char*) * (lines.size() + 1), kTag));
  std::copy(lines.begin(), lines.end(), out);
  if (countOut) *countOut = int(lines.size());
  return out;
}

void windowFreeWordList(char** lines, int count) {
  if (!lines) return;
  for (int i = 0; i < count; ++i)
    if (lines[i]) MYFREE(lines[i], kTag);
  MYFREE(lines, kTag);
}

int windowNumLines(const char* text, int width, int firstLineStart) {
  if (!text) return 1;
  const size_t len = std::strlen(text);
  int count = 1;
  size_t pos = 0;
  int start = firstLineStart;
  while (pos < len) {
    const LineBreak b = nextBreak(text, len, pos, width, start);
    if (!b.broke) break;
    ++count;
    pos = skipSpaces(text, len, b.next);
    start = 0;
  }
  return count;
}

int windowWrapLineWithSpacing(int window, const char* text, int width, int height, int x, int y, int colour,
                              int justification, int lineSpacing) {
  if (!text) return 0;
  int count = 0;
  char** lines = windowWordWrap(text, width, 0, &count);
  const int step = text_height() + lineSpacing;
  for (int i = 0; i < count; ++i)
    windowPrintBuf(window, lines[i], int(std::strlen(lines[i])), width, y + height, x, y + i * step, colour,
                   justification);
  windowFreeWordList(lines, count);
  return count;
}

int windowWrapLine(int window, const char* text, int width, int height, int x, int y, int colour, int justification) {
  return windowWrapLineWithSpacing(window, text, width, height, x, y, colour, justification, 0);
}
