// The install panel's choice: what Next does with the install type, the drive and the directory
// the user picked.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "install/instlib.h"
#include "install/format.h"
#include "install/instutil.h"
#include "install/panels.h"
#include "install/pathutil.h"
#include "install/settings.h"
#include "install/uninst.h"
#include "vrk/debug.h"

int panelTypeSelection = 0;
int panelDriveSelection = 0;
int panelDriveCount = 0;
char panelDirText[INST_PATH_SIZE] = "";

void panelNext(void) {
  installType = panelTypeSelection;
  if (panelDriveCount <= 0) {
    sprintfBox("%s", getString("ErrNoDrivesFree"));
    return;
  }
  char chosen[INST_PATH_SIZE];
  std::snprintf(chosen, sizeof chosen, "%c:", getDriveLetter(installType, panelDriveSelection));
  debug_printf("destPath[0] = %c\n", chosen[0]);
  if (panelDirText[1] == ':') {
    // The user typed a drive: it must exist and have room for the type.
    std::snprintf(chosen, sizeof chosen, "%s", panelDirText);
    debug_printf("tempPath[0] = %c\n", chosen[0]);
    const int letter = std::toupper(static_cast<unsigned char>(chosen[0]));
    uint64_t freeBytes = 0;
    if (letter < 'A' || letter > 'Z' || !getDiskFreeSpace(letter - 64, &freeBytes)) {
      sprintfBox("%s", getString("ErrNoDrive"));
      return;
    }
    if (!driveCanHold(freeBytes, instTypes[installType].size)) {
      sprintfBox(stringFormat("ErrFreeSpace", "i", "Drive %c: does not have enough free space."), letter);
      return;
    }
  } else {
    char drive[4] = {chosen[0], ':', '\0', '\0'};
    if (!joinPath(chosen, sizeof chosen, drive, panelDirText[0] == '\\' ? panelDirText + 1 : panelDirText)) return;
  }
  std::snprintf(destPath, sizeof destPath, "%s", chosen);
  debug_printf("DestPath = %s\n", destPath);
  uninstCreate(settingOr("Install", "Title"), destPath);
  createDir(destPath);
  debug_printf("destPath = '%s'\n", destPath);
  currentState = 3;
}
