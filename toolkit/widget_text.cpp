// Text regions: one-line boxes in a window with their own font, colours and justification.
#include <cstring>

#include "base/memdbg.h"
#include "toolkit/widget_internal.h"
#include "toolkit/window.h"
#include "vrk/text.h"
#include "vrk/vrk.h"

TextRegion* textRegions = nullptr;
int numTextRegions = 0;

namespace {

constexpr const char* kTag = "widget";

TextRegion* region(int index) {
  return index >= 1 && index <= numTextRegions && textRegions[index - 1].inUse ? &textRegions[index - 1] : nullptr;
}

// The text height of a font, measured with that font selected for the moment.
int heightOf(int font) {
  const int previous = text_curr();
  text_font(font);
  const int h = text_height();
  if (previous >= 0) text_font(previous);
  return h;
}

}  // namespace

void widgetResetTextRegions(int freeTables) {
  if (freeTables && textRegions) MYFREE(textRegions, kTag);
  textRegions = nullptr;
  numTextRegions = 0;
  if (freeTables && textInputRegions) MYFREE(textInputRegions, kTag);
  textInputRegions = nullptr;
  numTextInputRegions = 0;
}

int win_add_text_region(int window, int x, int y, int width, int font, int justification, int colour, int background) {
  int index = 0;
  for (int i = 1; i <= numTextRegions && !index; ++i)
    if (!textRegions[i - 1].inUse) index = i;
  if (!index) {
    textRegions =
        static_cast<TextRegion*>(MYREALLOC(textRegions, sizeof(TextRegion) * size_t(numTextRegions + 1), kTag));
    index = ++numTextRegions;
  }
  const bool shadow = (colour & TEXT_SHADOW) != 0;
  textRegions[index - 1] =
      TextRegion{window,        1,      x,          y,   width + (shadow ? 1 : 0), heightOf(font) + (shadow ? 1 : 0),
                 justification, colour, background, font};
  return index;
}

int windowAddTextRegion(int x, int y, int width, int font, int justification, int colour, int background) {
  const int window = windowGetVRKID();
  if (window == -1) return -1;
  return win_add_text_region(window, x, y, width, font, justification, colour, background);
}

int win_print_substr_region(int index, const char* text, int length) {
  TextRegion* r = region(index);
  if (!r) return 0;
  const int previous = text_curr();
  text_font(r->font);
  win_fill(r->window, r->x, r->y, r->width, r->height, r->background & 0xFF);
  if (text && length > 0)
    windowPrintBuf(r->window, text, length, r->width, win_height(r->window), r->x, r->y,
                   r->colour | WINDOW_TEXT_TRANSPARENT, r->justification);
  if (previous >= 0) text_font(previous);
  return 1;
}

int win_print_text_region(int index, const char* text) {
  return win_print_substr_region(index, text, text ? int(std::strlen(text)) : 0);
}

int windowPrintTextRegion(int index, const char* text) { return win_print_text_region(index, text); }

int win_update_text_region(int index) {
  TextRegion* r = region(index);
  if (!r) return 0;
  Rect box{r->x, r->y, r->x + r->width, r->y + heightOf(r->font)};
  win_draw_rect(r->window, &box);
  return 1;
}

int windowUpdateTextRegion(int index) { return win_update_text_region(index); }

int win_delete_text_region(int index) {
  TextRegion* r = region(index);
  if (!r) return 0;
  r->inUse = 0;
  return 1;
}

int windowDeleteTextRegion(int index) { return win_delete_text_region(index); }

void widgetMoveTextRegions(int oldWindow, int newWindow, int oldWidth, int oldHeight, int newWidth, int newHeight) {
  for (int i = 0; i < numTextRegions; ++i) {
    TextRegion& r = textRegions[i];
    if (!r.inUse || r.window != oldWindow) continue;
    r.window = newWindow;
    r.x = widgetScale(r.x, oldWidth, newWidth);
    r.y = widgetScale(r.y, oldHeight, newHeight);
    r.width = widgetScale(r.width, oldWidth, newWidth);  // the height stays the font's
  }
}

int win_text_region_style(int index, int font, int justification, int colour, int background) {
  TextRegion* r = region(index);
  if (!r) return 0;
  const bool shadow = (colour & TEXT_SHADOW) != 0;
  if (shadow && !(r->colour & TEXT_SHADOW)) ++r->width;
  r->font = font;
  r->justification = justification;
  r->colour = colour;
  r->background = background;
  r->height = heightOf(font) + (shadow ? 1 : 0);
  return 1;
}

int windowTextRegionStyle(int index, int font, int justification, int colour, int background) {
  return win_text_region_style(index, font, justification, colour, background);
}
