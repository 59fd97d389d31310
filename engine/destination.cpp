// The destination of an install, from the chosen type, drive and folder text.
#include "engine/destination.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "base/format.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "engine/instutil.h"
#include "engine/ui.h"
#include "engine/uninst.h"
#include "vrk/debug.h"

int installChoose(int type, int driveEntry, int driveCount, const char* dirText) {
  installType = type;
  if (driveCount <= 0) {
    engineMessage("%s", getString("ErrNoDrivesFree"));
    return 0;
  }
  char chosen[INST_PATH_SIZE];
  std::snprintf(chosen, sizeof chosen, "%c:", getDriveLetter(installType, driveEntry));
  debug_printf("destPath[0] = %c\n", chosen[0]);
  if (dirText[0] && dirText[1] == ':') {
    // The user typed a drive: it must exist and have room for the type.
    std::snprintf(chosen, sizeof chosen, "%s", dirText);
    debug_printf("tempPath[0] = %c\n", chosen[0]);
    const int letter = std::toupper(static_cast<unsigned char>(chosen[0]));
    uint64_t freeBytes = 0;
    if (letter < 'A' || letter > 'Z' || !getDiskFreeSpace(letter - 64, &freeBytes)) {
      engineMessage("%s", getString("ErrNoDrive"));
      return 0;
    }
    if (!driveCanHold(freeBytes, instTypes[installType].size)) {
      engineMessage(stringFormat("ErrFreeSpace", "i", "Drive %c: does not have enough free space."), letter);
      return 0;
    }
  } else {
    char drive[4] = {chosen[0], ':', '\0', '\0'};
    if (!joinPath(chosen, sizeof chosen, drive, dirText[0] == '\\' ? dirText + 1 : dirText)) return 0;
  }
  // A drive root is never a product's folder: its log would lie where the installer keeps its
  // running log, and an uninstall would treat the whole drive as the product's.
  normalizePath(chosen);
  if (!isFullDrivePath(chosen) || std::strlen(chosen) <= 3) {
    engineMessage(textOr("ErrDestRoot", "s", "Please choose a folder on the drive, not the drive itself:\n%s"), chosen);
    return 0;
  }
  std::snprintf(destPath, sizeof destPath, "%s", chosen);
  debug_printf("DestPath = %s\n", destPath);
  uninstCreate(settingOr("Install", "Title"), destPath);
  createDir(destPath);
  debug_printf("destPath = '%s'\n", destPath);
  return 1;
}
