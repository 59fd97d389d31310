// The install panel's window: a dimmed panel over the install background with the list of install
// types, the list of drives that can hold the selected type, the directory box and the Exit and
// Next buttons, driven by the focus ring of its controls. What Next makes of the choice is
// panelNext (panels_install.cpp); the lists and the box keep its inputs current as they change.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "color/color.h"
#include "base/config.h"
#include "toolkit/controls.h"
#include "base/format.h"
#include "setup/instlib.h"
#include "setup/main.h"
#include "engine/instutil.h"
#include "setup/panels.h"
#include "base/pathutil.h"
#include "toolkit/scroll.h"
#include "base/settings.h"
#include "toolkit/widget.h"
#include "toolkit/window.h"
#include "vrk/debug.h"
#include "vrk/input.h"
#include "vrk/kb.h"
#include "vrk/mouse.h"
#include "vrk/text.h"

namespace {

constexpr int kPanelX = 90, kPanelWidth = 460, kScreenHeight = 480;
constexpr float kPanelDim = 0.6f;
constexpr int kPanelBorder = 4;
constexpr int point = 10;  // top margin of the title
constexpr int kListX = 95, kListWidth = 270, kScrollX = 370, kScrollSize = 15;
constexpr float kFrameLight = 0.5f, kFrameDark = 1.3f;
constexpr int kLabelFlags = 0x2010000;
constexpr int kTab = 9, kEnter = 13, kEscape = 27, kAltX = 301, kAltF4 = 363, kUp = 328, kDown = 336;
constexpr int kLeftShift = 0x2A, kRightShift = 0x36;
constexpr const char* kPanelName = "installpanel";

const char* typesList[MAX_INST_TYPES];
ListDevice* ldInst = nullptr;
ListDevice* ldDrives = nullptr;
int driveButtonsActive = 0;
int lineHeight = 0;  // F: the text height of the window's font
int drivesTop = 0;   // Y4: where the drive list starts
int listFont = 0;

void* callbackData(int n) { return reinterpret_cast<void*>(static_cast<intptr_t>(n)); }

int white(void) { return colorTable[0x7FFF]; }
int itemColour(void) { return colorTable[0x6F7B]; }      // light grey
int selectedColour(void) { return colorTable[0x7FEB]; }  // light yellow

// Next works on panelTypeSelection, panelDriveSelection and panelDriveCount: they follow the
// lists after every change (the directory box edits panelDirText itself).
void followLists(void) {
  panelTypeSelection = ldInst ? std::max(0, getCurrentListSelection(ldInst)) : 0;
  panelDriveCount = ldDrives ? ldDrives->topicCount : 0;
  panelDriveSelection = ldDrives ? std::max(0, getCurrentListSelection(ldDrives)) : 0;
}

// A text centred across the panel at y in white.
void printCentred(const char* text, int y, int flags) {
  windowPrintBuf(windowGetVRKID(), text, int(std::strlen(text)), kPanelWidth, windowHeight(), 0, y, white() | flags,
                 WINDOW_JUSTIFY_CENTRE);
}

// A translucent button with its callback and label.
void addPanelButton(const char* name, int x, int y, int width, int height, void (*proc)(void*, int), int data,
                    const char* label) {
  windowAddTranslucentButton(name, x, y, width, height, 0, kPanelWidth);
  windowAddButtonCfunc(name, proc, callbackData(data));
  windowAddButtonText(name, label);
}

// A list of three lines at y showing the topics, nothing selected yet.
ListDevice* makeList(int y, const char* const* topics, int count) {
  ListDevice* list = createListDevice(kListX, y, kListWidth, 3 * lineHeight + 2, 0);
  activateListDevice(list, nullptr, topics, count, listFont, itemColour(), selectedColour());
  return list;
}

// The sunken frame around the list at y.
void frameList(int y) {
  bevelBox(windowGetBuffer(), kPanelWidth, kListX - 3, y - 3, kListWidth + 6, 3 * lineHeight + 8, 3, kFrameLight,
           kFrameDark);
}

// The up and down buttons right of the list at y, with a sunken track between them.
void addScrollButtons(const char* up, const char* down, int upData, int y) {
  const int F = lineHeight;
  addPanelButton(up, kScrollX, y - 4, kScrollSize, kScrollSize, onScroll, upData, "\x18");
  addPanelButton(down, kScrollX, y + 3 * F - 9, kScrollSize, kScrollSize, onScroll, upData + 1, "\x19");
  if (3 * F - 22 > 0)
    bevelBox(windowGetBuffer(), kPanelWidth, kScrollX, y + 12, kScrollSize, 3 * F - 22, 1, kFrameLight, kFrameDark);
}

// The keyboard control of the list at y.
void addListControl(const char* name, int y, control_input_fn input) {
  addControl(name, kListX - 4, y - 4, kListWidth + 7, 3 * lineHeight + 9, input);
}

// Shows "ErrNoSpace" where the drive list would be. The text is wrapped into the list's own
// rectangle (the same place as one centred across the panel when it fits on a line), so that the
// next drive list, which repaints only that rectangle, leaves nothing of it behind.
void showNoSpace(void) {
  char* text = nullptr;
  if (!cfgGetString(&settings, "Strings", "ErrNoSpace", &text) || !text) return;
  const int F = lineHeight;
  windowFillRect(kListX, drivesTop, kListWidth, 3 * F, 0.0f, 0.0f, 0.0f);
  windowWrapLine(windowGetVRKID(), text, kListWidth, 3 * F, kListX, drivesTop, white() | kLabelFlags,
                 WINDOW_JUSTIFY_CENTRE);
  windowDrawRect(kListX, drivesTop, kListX + kListWidth, drivesTop + 3 * F);
}

}  // namespace

void typesSelectedCallback(int index) {
  if (!ldDrives) return;
  int count = 0;
  char** list = getDriveSizesList(index, &count);
  debug_printf("num = %d\n", count);
  attachListToListDevice(ldDrives, list, count, listFont, 1, itemColour(), selectedColour());
  setListDeviceHead(ldDrives, 0);
  selectListItem(ldDrives, 0);
  followLists();
  if (count == 0) showNoSpace();
}

int doTypesInput(int key) {
  processScrollInput(nullptr, ldInst, key, 1);
  followLists();
  return 1;
}

int doDriveInput(int key) {
  processScrollInput(nullptr, ldDrives, key, 1);
  followLists();
  return 1;
}

int doEditBoxInput(int key) {
  if (key == kEnter)
    doButtonProc(callbackData(1), 1);
  else if (key == kUp)
    setPreviousControl();
  else if (key == kDown)
    setNextControl();
  else
    winAutoUpdateTextInputRegion(key);
  return 1;
}

void onScroll(void* data, int event) {
  if (event != 0) return;
  const int which = static_cast<int>(reinterpret_cast<intptr_t>(data));
  const int step = which % 2 ? 1 : -1;
  if ((which == 0 || which == 1) && ldInst) {
    setControlFocusByName("TypeList");
    const int before = getCurrentListSelection(ldInst);
    selectListItem(ldInst, before + step);
    const int now = getCurrentListSelection(ldInst);
    if (now != before) typesSelectedCallback(now);
  } else if ((which == 2 || which == 3) && ldDrives) {
    setControlFocusByName("DriveList");
    selectListItem(ldDrives, getCurrentListSelection(ldDrives) + step);
  }
  followLists();
}

int panelInstall(void) {
  currentState = 0;
  if (mouse_hidden()) mouse_show();
  listFont = windowGetFont();
  int titleFont = 0;
  cfgGetValue(&settings, "Install", "TitleFont", &titleFont);
  text_font(titleFont);
  const int T = text_height();
  text_font(listFont);
  const int F = text_height();
  lineHeight = F;

  const bool typeList = numInstTypes > 1;
  const int y1 = T + point + 25;
  const int y2 = y1 + F + 8;
  const int y3 = typeList ? y2 + 3 * F + 31 : y1;
  const int y4 = y3 + F + 8;
  const int y5 = y4 + 3 * F + 31;
  const int y6 = y5 + F + 8;
  const int buttonHeight = F + 7;
  const int height = y6 + F + 31 + buttonHeight + 10;
  drivesTop = y4;

  if (!createDimmedWindow(kPanelName, kPanelX, (kScreenHeight - height) / 2, kPanelWidth, height, kPanelDim,
                          kPanelBorder)) {
    // Without the panel there is no destination to install to: the installer ends here.
    debug_printf("Install panel %d x %d cannot be made\n", kPanelWidth, height);
    sprintfBox("%s", textOr("ErrPanel", "", "The installation panel cannot be shown."));
    setupFailed = 1;
    return PANEL_QUIT;
  }
  pushWindow("InstallPanel");
  initControls();
  ldInst = ldDrives = nullptr;
  driveButtonsActive = 0;

  const char* title = settingOr("Install", "Title");
  text_font(titleFont);
  printCentred(title, point, WINDOW_TEXT_TRANSPARENT);
  text_font(listFont);

  for (int i = 0; i < MAX_INST_TYPES; ++i) typesList[i] = instTypes[i].fullName;
  if (typeList) {
    printCentred(getString("InstSizeStr"), y1, kLabelFlags);
    ldInst = makeList(y2, typesList, numInstTypes);
    if (numInstTypes > 3) addScrollButtons("TypesUp", "TypesDn", 0, y2);
    setListDeviceCallbacks(ldInst, typesSelectedCallback, nullptr, nullptr);
    selectListItem(ldInst, 0);
    frameList(y2);
    addListControl("TypeList", y2, doTypesInput);
  }

  printCentred(getString("SelectDriveStr"), y3, kLabelFlags);
  int driveCount = 0;
  char** drivesText = getDriveSizesList(0, &driveCount);
  ldDrives = makeList(y4, drivesText, driveCount);
  if (driveCount > 3) {
    addScrollButtons("DrivesUp", "DrivesDn", 2, y4);
    driveButtonsActive = 1;
  }
  if (driveCount == 0) sprintfBox("%s", getString("ErrNoDrivesFree"));
  selectListItem(ldDrives, 0);
  frameList(y4);
  addListControl("DriveList", y4, doDriveInput);

  printCentred(getString("SelectDirStr"), y5, kLabelFlags);
  std::snprintf(panelDirText, sizeof panelDirText, "%s", settingOr("Install", "DefaultDirectory"));
  const int box = windowAddTextRegion(60, y6, 340, listFont, WINDOW_JUSTIFY_LEFT, colorTable[0x6B5A], colorTable[0]);
  winSetupBackgroundTextInputRegion(box, panelDirText, INST_PATH_SIZE - 1, nullptr, 0);
  bevelBox(windowGetBuffer(), kPanelWidth, 57, y6 - 3, 346, F + 6, 3, kFrameLight, kFrameDark);
  addControl("Editbox", 56, y6 - 4, 347, F + 7, doEditBoxInput);

  const char* exitText = getString("ButtonExit");
  const char* nextText = getString("ButtonNext");
  const int buttonWidth = std::max(text_width(exitText), text_width(nextText)) + 45;
  const int buttonY = height - buttonHeight - 10;
  addPanelButton("Exit", 10, buttonY, buttonWidth, buttonHeight, doButtonProc, 2, exitText);
  addControl("Exit", 9, buttonY - 1, buttonWidth + 1, buttonHeight + 1, doButtonInput);
  const int nextX = kPanelWidth - buttonWidth - 10;
  addPanelButton("Next", nextX, buttonY, buttonWidth, buttonHeight, doButtonProc, 1, nextText);
  addControl("Next", nextX - 1, buttonY - 1, buttonWidth + 1, buttonHeight + 1, doButtonInput);
  followLists();
  windowDraw();

  while (currentState == 0) {
    const int code = get_input();
    if (code == kTab) {
      if (keys[kLeftShift] || keys[kRightShift])
        setPreviousControl();
      else
        setNextControl();
    } else if (code == kEscape || code == kAltX || code == kAltF4) {
      doButtonProc(callbackData(2), 1);
    }
    if (currentState != 0) break;
    processControlInput(code);
  }

  if (ldInst) cleanupListDevice(ldInst);
  if (ldDrives) cleanupListDevice(ldDrives);
  ldInst = ldDrives = nullptr;
  winDeleteBackgroundTextInputRegion();
  controlsClose();
  deleteWindow("InstallPanel");
  popWindow();
  return currentState;
}
