// The finish panel, and what the panels' buttons share: their callback and their keys.
#include <cstring>

#include "color/color.h"
#include "toolkit/controls.h"
#include "setup/instlib.h"
#include "setup/panels.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "toolkit/window.h"
#include "vrk/button.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/text.h"

namespace {

constexpr int kEscape = 27;
constexpr int kUp = 328, kLeft = 331, kRight = 333, kDown = 336;

}  // namespace

void doButtonProc(void* data, int event) {
  const int which = static_cast<int>(reinterpret_cast<intptr_t>(data));
  static const char* const kControls[] = {"OK", "Next", "Exit"};
  if (which < 0 || which > 2) return;
  if (event == 0) {
    setControlFocusByName(kControls[which]);
    return;
  }
  if (event != 1) return;
  if (which == 0) currentState = 3;
  if (which == 2) currentState = 1;
  if (which == 1) panelNext();
}

int doButtonInput(int key) {
  if (key == 13 || key == 32) {
    const int id = windowGetButtonID(getCurrentControlName());
    if (id != -1) win_button_press_and_release(id);
  } else if (key == kUp || key == kLeft) {
    setPreviousControl();
  } else if (key == kRight || key == kDown) {
    setNextControl();
  }
  return key;
}

int panelFinish(void) {
  currentState = 0;
  Rect main;
  if (!windowGetRect(&main)) return 0;
  const int x = (main.lrx - 360) / 2, y = (main.lry - 200) / 2;
  const char* background = settingOr("AllDone", "Background");
  if (background[0]) {
    debug_printf("Displaying screen, %s ...\n", background);
    windowDisplayWithPalette(background, nullptr);
  }
  if (!createDimmedWindow("Finished", x, y, 360, 200, 0.65f, 4)) return 0;
  pushWindow("Finished");
  initControls();
  const char* ok = getString("ButtonOK");
  const int height = text_height() + 7, width = text_width(ok) + 45;
  windowAddTranslucentButton("OK", 360 - width - 10, 200 - height - 10, width, height, 0, 360);
  windowAddButtonCfunc("OK", doButtonProc, reinterpret_cast<void*>(intptr_t(0)));
  windowAddButtonText("OK", ok);
  addControl("OK", 360 - width - 11, 200 - height - 11, width + 1, height + 1, doButtonInput);
  // The message's written line breaks become real ones in the store (the text keeps its length).
  char* message = nullptr;
  if (!cfgGetString(&settings, "AllDone", "Message", &message) || !message) message = const_cast<char*>("");
  convertNewLines(message, int(std::strlen(message)));
  windowWrapLine(windowGetVRKID(), message, 340, 180, 10, 10, colorTable[0x7FFF] | 0x2010000, 0);
  windowDraw();
  while (currentState == 0) {
    const int code = get_input();
    if (code == kEscape) currentState = 3;
    processControlInput(code);
  }
  controlsClose();
  return currentState;
}
