// The installer's mouse cursor.
#include "toolkit/mousemgr.h"

#include <cstring>

#include "color/color.h"
#include "base/memdbg.h"
#include "base/pathutil.h"
#include "base/pcx.h"
#include "vrk/debug.h"
#include "vrk/mouse.h"

uint8_t* curMouseBuf = nullptr;

namespace {

constexpr int kArrowW = 9, kArrowH = 15;

// 0 transparent, 1 outline, 255 fill; recoloured to the palette's black and white before use.
const char* const kArrow[kArrowH] = {
    "B........", "BB.......", "BWB......", "BWWB.....", "BWWWB....", "BWWWWB...", "BWWWWWB..", "BWWWWWWB.",
    "BWWWWBBBB", "BWBWWB...", "BB.BWWB..", "B..BWWB..", "....BWWB.", "....BWWB.", ".....BB..",
};

uint8_t defaultShape[kArrowW * kArrowH];

}  // namespace

int mouseSetDefaultShape(void) {
  const uint8_t black = colorTable[0], white = colorTable[0x7FFF];
  for (int y = 0; y < kArrowH; ++y)
    for (int x = 0; x < kArrowW; ++x) {
      const char c = kArrow[y][x];
      defaultShape[y * kArrowW + x] = c == 'B' ? black : c == 'W' ? white : 0;
    }
  debug_printf("(using default cursor)\n");
  return mouse_set_shape(defaultShape, kArrowW, kArrowH, kArrowW, 0, 0, 0) == 0 ? 1 : 0;
}

void initMouse(void) {
  mouse_set_sensitivity(1.0);
  const char* name = settingOr("Startup", "Mouse");
  debug_printf("Loading mouse graphic, %s... ", name);
  int width = 0, height = 0;
  uint8_t palette[768];
  if (curMouseBuf) {
    mouse_set_shape(nullptr, 0, 0, 0, 0, 0, 0);
    MYFREE(curMouseBuf, "mousemgr");
    curMouseBuf = nullptr;
  }
  if (name[0]) curMouseBuf = loadPCX(name, &width, &height, palette);
  bool shaped = false;
  if (curMouseBuf) {
    const size_t count = size_t(width) * size_t(height);
    size_t i = 0;
    while (i < count && curMouseBuf[i] == 0) ++i;
    const int hx = int(i % size_t(width)), hy = int(i / size_t(width));
    debug_printf("(hot spot x: %d, y: %d)\n", hx, hy);
    shaped = mouse_set_shape(curMouseBuf, width, height, width, hx, hy, 0) == 0;
    if (!shaped) {
      MYFREE(curMouseBuf, "mousemgr");
      curMouseBuf = nullptr;
    }
  }
  if (!shaped) mouseSetDefaultShape();
  mouse_show();
}

int mouseClose(void) {
  mouse_hide();
  mouse_set_shape(nullptr, 0, 0, 0, 0, 0, 0);
  if (curMouseBuf) {
    MYFREE(curMouseBuf, "mousemgr");
    curMouseBuf = nullptr;
  }
  return 1;
}
