// The file-transfer panel: the background, the progress bar and Escape around the engine's
// install, and the engine's interface drawn with the window system.
#include "setup/panels.h"

#include "base/config.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "engine/transfer.h"
#include "engine/ui.h"
#include "engine/uninst.h"
#include "setup/instlib.h"
#include "toolkit/widget.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/mouse.h"

namespace {

constexpr const char* TAG = "panels";
constexpr const char* BAR = "Progress";
constexpr int KEY_ESCAPE = 27;
constexpr int DIALOG_COLOUR = 0x10104;

float lastFraction = 0.0f;

void panelMessage(const char* text) { sprintfBox("%s", text); }

// The cancel question over the copy: the mouse is shown for the time of the question.
int panelQuestion(const char* text) {
  const int hidden = mouse_hidden();
  if (hidden) mouse_show();
  const int answer = win_yes_no(text, 170, 140, DIALOG_COLOUR);
  if (hidden) mouse_hide();
  return answer == 1 || answer == 0 ? answer : -1;
}

// One input poll: any code but Escape is consumed and ignored.
int panelCancelRequested(void) { return get_input() == KEY_ESCAPE ? 1 : 0; }

void panelProgress(uint64_t done, uint64_t total) { progressUpdate(done, total); }

const EngineUi panelUi = {panelMessage, panelQuestion, panelCancelRequested, panelProgress};

}  // namespace

void panelsUseEngineUi(void) { engineSetUi(&panelUi); }

int progressInit(const char* emptyImage, const char* fullImage) {
  if (!emptyImage || !fullImage) return 0;
  if (!real_win_add_status_bar(windowGetVRKID(), BAR, fullImage, emptyImage, -1, -1, TAG, __LINE__)) return 0;
  lastFraction = 0.0f;
  real_win_update_status_bar(BAR, 0.0f, 0.0f, TAG, __LINE__);
  return 1;
}

void progressUpdate(uint64_t done, uint64_t total) {
  if (total == 0) return;  // no size known: the bar is filled once the copy ends
  double fraction = static_cast<double>(done) / static_cast<double>(total);
  if (fraction > 1.0) fraction = 1.0;
  float next = static_cast<float>(fraction);
  real_win_update_status_bar(BAR, lastFraction, next, TAG, __LINE__);
  lastFraction = next;
}

void progressClose(void) {
  freeStatusBar(BAR);
  lastFraction = 0.0f;
}

int panelInstalling(void) {
  panelsUseEngineUi();
  if (!installStart()) return currentState;
  char* background = nullptr;
  if (cfgGetString(&settings, "Installing", "Background", &background) && background) {
    debug_printf("Display screen, %s ...\n", background);
    windowDisplayWithPalette(background, 0);
  }
  debug_printf("About to enter transfer files...\n");
  mouse_hide();
  if (!progressInit(settingOr("Installing", "ProgressEmpty"), settingOr("Installing", "ProgressFull")))
    win_msg(getString("ErrProgress"), 100, 100, DIALOG_COLOUR);
  transferFiles();
  progressClose();
  mouse_show();
  return installComplete();
}
