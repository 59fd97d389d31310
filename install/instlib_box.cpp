// The installer's message box, alone in its object: the install engine's tests put their own
// stand-in in its place.
#include <cstdarg>
#include <cstdio>

#include "color/color.h"
#include "install/instlib.h"
#include "vrk/debug.h"
#include "vrk/intrface.h"
#include "vrk/mouse.h"

int sprintfBox(const char* format, ...) {
  char text[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(text, sizeof text, format ? format : "", args);
  va_end(args);
  const int hidden = mouse_hidden();
  if (hidden) mouse_show();
  const int shown = win_msg(text, 150, 200, 0x2010000 | colorTable[0x7FFF]);  // white
  if (hidden) mouse_hide();
  if (shown == -1) {
    // The user never saw it: the caller hears so, and the debug channel keeps the text.
    debug_printf("sprintfBox: the message box cannot be shown: %s\n", text);
    return -1;
  }
  return n;
}
