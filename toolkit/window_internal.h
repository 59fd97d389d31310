// Shared between the files of toolkit/window (not for other modules).
#pragma once

#include <cstdint>

#include "toolkit/window.h"

// The widgets' redraw that updateWindows runs (window.cpp; null when the widgets are not up).
extern int (*updateWidgetsFunc)(void);

// Takes every button of w away from the window system (their ids become -1), keeping the
// records and pictures (window_button.cpp).
void windowUnregisterButtons(ManagedWindow& w);
// Registers every button of w with the window system on window w.id, as windowAddButton and the
// calls after it did (pictures, mask, the standard handlers, a right callback); their new ids
// go into the records (window_button.cpp).
void windowRegisterButtons(ManagedWindow& w);

// The display hook of displayInWindow (window_picture.cpp).
extern window_display_fn displayWindowFunc;

// Copies a w x h picture (pitch `pitch`) to (x, y) of a dw x dh buffer, the part outside cut off,
// with colour 0 transparent when `trans`; false when nothing of it lies inside (window_picture.cpp).
bool windowCopyClipped(const uint8_t* src, int pitch, int w, int h, uint8_t* dst, int dw, int dh, int x, int y,
                       bool trans);

// Names compare without regard to ASCII letter case; null matches nothing.
inline bool windowSameName(const char* a, const char* b) {
  if (!a || !b) return false;
  for (;; ++a, ++b) {
    unsigned char ca = static_cast<unsigned char>(*a), cb = static_cast<unsigned char>(*b);
    if (ca >= 'a' && ca <= 'z') ca = static_cast<unsigned char>(ca - 32);
    if (cb >= 'a' && cb <= 'z') cb = static_cast<unsigned char>(cb - 32);
    if (ca != cb) return false;
    if (!ca) return true;
  }
}

// The current window's record, or null when none is current or its slot is free.
inline ManagedWindow* windowCurrentRecord() {
  return currentWindow >= 0 && currentWindow < WINDOW_MAX && windows[currentWindow].id != -1 ? &windows[currentWindow]
                                                                                             : nullptr;
}
