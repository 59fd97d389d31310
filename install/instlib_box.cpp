// The installer's message box, alone in its object: the install engine's tests put their own
// stand-in in its place.
#include <cstdarg>
#include <cstdio>

#include "color/color.h"
#include "install/instlib.h"
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
  return shown == -1 ? -1 : n;  // a box the user never saw is no message
}
