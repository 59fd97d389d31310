// The destination of an install, from the chosen type, drive and folder text.
#include "engine/destination.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/format.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "engine/instutil.h"
#include "engine/ui.h"
#include "engine/undo.h"
#include "engine/uninst.h"
#include "platform/os.h"
#include "vrk/debug.h"

namespace {

// `path` is `dir` or lies inside it (both normal full paths; case ignored).
bool within(const char* path, const char* dir) {
  size_t n = std::strlen(dir);
  while (n > 3 && dir[n - 1] == '\\') --n;
  if (n < 3 || std::strlen(path) < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(path[i])) != std::toupper(static_cast<unsigned char>(dir[i])))
      return false;
  return path[n] == '\0' || path[n] == '\\' || dir[n - 1] == '\\';
}

// The normal form of a full path given by the caller (medium, Windows directory), or "".
std::string normalOf(const char* path) {
  char copy[INST_PATH_SIZE];
  if (!path || std::snprintf(copy, sizeof copy, "%s", path) >= static_cast<int>(sizeof copy) || !normalizePath(copy))
    return "";
  return copy;
}

// The longest relative path the list of install type `type` writes ("d=" and "f=" lines).
size_t longestListPath(int type) {
  if (type < 0 || type >= numInstTypes) return 0;
  char name[INST_PATH_SIZE] = "";
  expandMacro(name, sizeof name, settingOr(instTypes[type].name, "List"));
  db_file* list = name[0] ? db_fopen(name, "rt") : nullptr;
  if (!list) return 0;
  size_t longest = 0;
  char line[INST_LINE_SIZE];
  while (int got = readListLine(list, line, sizeof line))
    if (got > 0 && (line[0] == 'd' || line[0] == 'f') && line[1] == '=') longest = std::max(longest, std::strlen(line + 2));
  db_fclose(list);
  return longest;
}

// Says why `path` was refused.
void refuse(int reason, const char* path) {
  switch (reason) {
    case DEST_NOT_FULL:
      engineMessage(textOr("ErrDestPath", "s", "The destination is not a full path on a drive:\n%s"), path);
      break;
    case DEST_ROOT:
      engineMessage(textOr("ErrDestRoot", "s", "Please choose a folder on the drive, not the drive itself:\n%s"), path);
      break;
    case DEST_BAD_NAME:
      engineMessage(textOr("ErrDestName", "s",
                           "This folder name cannot be used on Windows:\n%s\nNames may not hold < > : \" / \\ | ? "
                           "*,\nend in a dot or a blank, or be a device such as CON or NUL."),
                    path);
      break;
    case DEST_MEDIUM:
      engineMessage(textOr("ErrDestMedium", "s", "Setup cannot install into the folder it runs from:\n%s"), path);
      break;
    case DEST_WINDOWS:
      engineMessage(textOr("ErrDestWindows", "s", "Setup does not install into the Windows folder:\n%s"), path);
      break;
    case DEST_TOO_LONG:
      engineMessage(textOr("ErrDestTooLong", "s",
                           "This folder name is too long for the files of the installation:\n%s\nPlease choose a "
                           "shorter one."),
                    path);
      break;
  }
}

}  // namespace

int checkDestination(const char* path, const char* medium, const char* windowsDir, size_t longest, char* out,
                     size_t size) {
  if (!out || size == 0) return DEST_NOT_FULL;
  out[0] = '\0';
  if (!path || !std::isalpha(static_cast<unsigned char>(path[0])) || path[1] != ':') return DEST_NOT_FULL;
  // A path relative to its drive ("D:GAMES") is taken from the drive's root.
  std::string full(path, 2);
  full[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(full[0])));
  full += '\\';
  full += path + 2;
  char normal[INST_PATH_SIZE];
  if (full.size() >= sizeof normal) return DEST_TOO_LONG;
  std::memcpy(normal, full.c_str(), full.size() + 1);
  for (char* c = normal; *c; ++c)
    if (*c == '/') *c = '\\';
  if (!normalizePath(normal)) return DEST_BAD_NAME;  // ".." above the drive
  if (std::strlen(normal) <= 3) return DEST_ROOT;
  if (!hasValidNames(normal)) return DEST_BAD_NAME;
  const std::string mediumDir = normalOf(medium), windows = normalOf(windowsDir);
  if (!mediumDir.empty() && within(normal, mediumDir.c_str())) return DEST_MEDIUM;
  if (!windows.empty() && within(normal, windows.c_str())) return DEST_WINDOWS;
  // Windows paths hold at most 259 characters: the longest file, and what the install adds.
  if (std::strlen(normal) + 1 + std::max(longest, DEST_RESERVE) > 259) return DEST_TOO_LONG;
  if (std::strlen(normal) >= size) return DEST_TOO_LONG;
  std::snprintf(out, size, "%s", normal);
  return DEST_OK;
}

int installChoose(int type, int driveEntry, int driveCount, const char* dirText) {
  installType = type;
  if (driveCount <= 0) {
    engineMessage("%s", getString("ErrNoDrivesFree"));
    return 0;
  }
  if (!dirText) dirText = "";
  std::string chosen;
  if (std::isalpha(static_cast<unsigned char>(dirText[0])) && dirText[1] == ':') {
    // The user typed a drive: it must exist and have room for the type.
    const int letter = std::toupper(static_cast<unsigned char>(dirText[0]));
    uint64_t freeBytes = 0;
    if (!getDiskFreeSpace(letter - 64, &freeBytes)) {
      engineMessage("%s", getString("ErrNoDrive"));
      return 0;
    }
    if (!driveCanHold(freeBytes, instTypes[installType].size)) {
      engineMessage(stringFormat("ErrFreeSpace", "i", "Drive %c: does not have enough free space."), letter);
      return 0;
    }
    chosen = dirText;
  } else {
    chosen = std::string(1, getDriveLetter(installType, driveEntry)) + ":\\";
    const char* rest = dirText;
    while (*rest == '\\' || *rest == '/') ++rest;
    chosen += rest;
  }
  char windowsDir[INST_PATH_SIZE] = "";
  if (os_windows_dir(windowsDir, sizeof windowsDir) != 0) windowsDir[0] = '\0';
  char dest[INST_PATH_SIZE];
  const int reason = checkDestination(chosen.c_str(), sourcePath, windowsDir, longestListPath(installType), dest,
                                      sizeof dest);
  if (reason != DEST_OK) {
    refuse(reason, chosen.c_str());
    return 0;
  }
  // A file where the folder, or a folder on the way to it, should be.
  for (char* cut = dest + 3;; ++cut) {
    if (*cut != '\\' && *cut != '\0') continue;
    const char keep = *cut;
    *cut = '\0';
    const bool blocked = os_access(dest) == 0 && !os_is_dir(dest);
    if (blocked) engineMessage(textOr("ErrDestIsFile", "s", "A file is in the way of the folder:\n%s"), dest);
    *cut = keep;
    if (blocked) return 0;
    if (!keep) break;
  }
  std::snprintf(destPath, sizeof destPath, "%s", dest);
  debug_printf("DestPath = %s\n", destPath);
  if (!uninstCreate(settingOr("Install", "Title"), destPath)) {
    engineMessage(textOr("ErrUninstCreate", "s", "The uninstall log %s cannot be written; nothing was installed."),
                  tempPath);
    destPath[0] = '\0';
    return 0;
  }
  if (!createDir(destPath)) {
    // Whatever part of it was made goes again, with the log.
    engineMessage(stringFormat("ErrCreateDir", "s", "Cannot create the directory %s."), destPath);
    uninstCloseInPlace();
    deinstall();
    destPath[0] = '\0';
    return 0;
  }
  return 1;
}
