// Installer utilities: install types, drives and free space, directory making, and the selected
// type.
#include "engine/instutil.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "db/db.h"
#include "base/config.h"
#include "base/format.h"
#include "engine/ui.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "engine/uninst.h"
#include "platform/os.h"
#include "vrk/debug.h"

int installType = 0;
InstType instTypes[MAX_INST_TYPES];
int numInstTypes = 0;
char drives[MAX_DRIVES][3];
uint64_t spaceFree[MAX_DRIVES];
int numDrives[MAX_INST_TYPES];
char* driveList[MAX_INST_TYPES][MAX_DRIVES];
char driveListLetter[MAX_INST_TYPES][MAX_DRIVES];

namespace {

constexpr const char* TAG = "instutil";

// Reads the type's file list and returns the size given by its last "s=" line; false when the
// list cannot be opened. Over-long lines are skipped whole.
bool readListSize(const char* listName, uint64_t* size) {
  db_file* f = db_fopen(listName, "rt");
  if (!f) return false;
  char line[INST_LINE_SIZE];
  while (int got = readListLine(f, line, sizeof line)) {
    if (got < 0) {
      debug_printf("File list %s: line too long, skipped\n", listName);
      continue;
    }
    if (line[0] == 's' && line[1] == '=') {
      // Sizes are 64-bit; a negative number counts as 0, a larger one as the largest.
      long long value = std::strtoll(line + 2, nullptr, 10);
      *size = value < 0 ? 0u : static_cast<uint64_t>(value);
    }
  }
  db_fclose(f);
  return true;
}

}  // namespace

int readListLine(db_file* f, char* line, size_t size) {
  if (!f || !line || size < 2 || db_feof(f) || !db_fgets(line, static_cast<int>(size), f)) return 0;
  size_t len = std::strlen(line);
  if (len > 0 && line[len - 1] == '\n') {
    line[len - 1] = '\0';
    return 1;
  }
  if (db_feof(f)) return 1;  // the last line, without its end
  // Too long: the rest of the line is read and dropped, never taken as a line of its own (it
  // would name another file).
  char rest[INST_LINE_SIZE];
  while (!db_feof(f) && db_fgets(rest, sizeof rest, f)) {
    size_t n = std::strlen(rest);
    if (n > 0 && rest[n - 1] == '\n') break;
  }
  return -1;
}

int driveCanHold(uint64_t freeBytes, uint64_t size) {
  return static_cast<double>(freeBytes) >= static_cast<double>(size) * DRIVE_MARGIN ? 1 : 0;
}

int initInstTypes(void) {
  debug_printf("Determining file sizes and names...\n");
  std::memset(instTypes, 0, sizeof instTypes);
  int count = 0;
  char** list = cfgGetCommaList(&settings, "Install", "InstallTypes", &count);
  if (!list || count <= 0 || count >= MAX_INST_TYPES) {
    if (list) cfgFreeCommaList(list, count);
    numInstTypes = 0;
    engineMessage("%s", "No installation information found in script file!");
    return 0;
  }
  numInstTypes = count;
  for (int i = 0; i < count; ++i) {
    InstType& t = instTypes[i];
    if (std::snprintf(t.name, sizeof t.name, "%s", list[i]) >= static_cast<int>(sizeof t.name))
      debug_printf("Install type name '%s' cut to %d characters\n", list[i], static_cast<int>(sizeof t.name) - 1);
    char* listValue = nullptr;
    if (!cfgGetString(&settings, t.name, "List", &listValue) || !listValue) continue;
    char listName[INST_PATH_SIZE] = {};
    expandMacro(listName, sizeof listName, listValue);
    uint64_t size = 0;
    if (!listName[0] || !readListSize(listName, &size)) {
      engineMessage("Could not find %s in database file.", listName[0] ? listName : listValue);
      continue;
    }
    t.size = size;
    debug_printf("Total size of '%s' is %llu\n", t.name, static_cast<unsigned long long>(t.size));
    char* fullName = nullptr;
    if (cfgGetString(&settings, t.name, "FullName", &fullName) && fullName && !formatFits(fullName, "f")) {
      // A format that does not fit its one size argument shows the type's name instead.
      debug_printf("FullName of '%s' does not fit its size argument\n", t.name);
      fullName = nullptr;
    }
    if (fullName) {
      double megabytes = static_cast<double>(t.size) * DRIVE_MARGIN * static_cast<double>(1e-6f);
      int n = std::snprintf(t.fullName, sizeof t.fullName, fullName, megabytes);
      if (n >= static_cast<int>(sizeof t.fullName))
        debug_printf("Full name of '%s' cut to %d characters\n", t.name, static_cast<int>(sizeof t.fullName) - 1);
    } else {
      // No usable "FullName": the type list shows the type's own name.
      static_assert(sizeof t.name <= sizeof t.fullName);
      std::memcpy(t.fullName, t.name, sizeof t.name);
    }
  }
  cfgFreeCommaList(list, count);
  return 1;
}

int getDiskFreeSpace(int driveNumber, uint64_t* freeBytes) {
  if (!freeBytes) return 0;
  *freeBytes = 0;
  uint64_t bytes = 0;
  if (os_disk_free(driveNumber, &bytes) != 0) return 0;
  *freeBytes = bytes;
  return 1;
}

int getDriveInfo(char driveNames[MAX_DRIVES][3], uint64_t freeBytes[MAX_DRIVES]) {
  int found = 0;
  for (int number = 3; number <= 26; ++number) {  // C to Z; A and B are never offered
    uint64_t bytes = 0;
    if (!getDiskFreeSpace(number, &bytes) || bytes == 0) continue;
    std::snprintf(driveNames[found], 3, "%c:", 'A' + number - 1);
    freeBytes[found] = bytes;
    ++found;
  }
  return found;
}

int initDriveSizes(void) {
  for (int t = 0; t < MAX_INST_TYPES; ++t) {
    for (int d = 0; d < MAX_DRIVES; ++d) {
      if (driveList[t][d]) MYFREE(driveList[t][d], TAG);
      driveList[t][d] = nullptr;
    }
  }
  std::memset(driveListLetter, 0, sizeof driveListLetter);
  std::memset(numDrives, 0, sizeof numDrives);
  std::memset(drives, 0, sizeof drives);
  std::memset(spaceFree, 0, sizeof spaceFree);
  getDriveInfo(drives, spaceFree);
  for (int d = 0; d < MAX_DRIVES && drives[d][0]; ++d)
    debug_printf("Drive %c has %llu space free\n", drives[d][0], static_cast<unsigned long long>(spaceFree[d]));
  const char* entryFormat = stringFormat("DriveListEntry", "ii", "%c: %u MB");
  for (int t = 0; t < numInstTypes && t < MAX_INST_TYPES; ++t) {
    for (int d = 0; d < MAX_DRIVES && drives[d][0]; ++d) {
      if (!driveCanHold(spaceFree[d], instTypes[t].size)) continue;
      char text[100];
      int n = std::snprintf(text, sizeof text, entryFormat, drives[d][0], static_cast<unsigned>(std::min<uint64_t>(spaceFree[d] / 1000000u, 0xFFFFFFFFu)));
      if (n >= static_cast<int>(sizeof text)) debug_printf("Drive list entry cut to %d characters\n", 99);
      int slot = numDrives[t];
      driveListLetter[t][slot] = drives[d][0];
      driveList[t][slot] = MYSTRDUP(text, TAG);
      ++numDrives[t];
    }
  }
  return 1;
}

char** getDriveSizesList(int type, int* count) {
  if (type < 0 || type >= MAX_INST_TYPES) {
    if (count) *count = 0;
    return nullptr;
  }
  if (count) *count = numDrives[type];
  return driveList[type][0] ? driveList[type] : nullptr;
}

char getDriveLetter(int type, int index) {
  if (type < 0 || type >= MAX_INST_TYPES || index < 0 || index >= MAX_DRIVES) return '\0';
  return driveListLetter[type][index];
}

int freeDriveSizes(void) {
  for (int t = 0; t < numInstTypes && t < MAX_INST_TYPES; ++t) {
    for (int d = 0; d < MAX_DRIVES; ++d) {
      if (driveList[t][d]) MYFREE(driveList[t][d], TAG);
      driveList[t][d] = nullptr;
      driveListLetter[t][d] = '\0';
    }
    numDrives[t] = 0;
  }
  return 1;
}

int existsDir(const char* path) { return path && os_access(path) == 0 ? 1 : 0; }

// Each call makes its missing parent at most once: if mkdir still reports a missing parent after
// the parent was made, the directory cannot be made and the call gives up.
int createDirUnlogged(const char* path) {
  if (!path) return 0;
  char dir[INST_PATH_SIZE];
  if (std::snprintf(dir, sizeof dir, "%s", path) >= static_cast<int>(sizeof dir)) {
    debug_printf("CreateDir: path too long: %.60s...\n", path);
    return 0;
  }
  size_t len = std::strlen(dir);
  if (len > 0 && dir[len - 1] == '\\') dir[--len] = '\0';
  if (len == 2 && dir[1] == ':') {  // a drive root counts as existing when the drive is there
    char root[4] = {dir[0], ':', '\\', '\0'};
    return existsDir(dir) || existsDir(root);
  }
  bool parentMade = false;
  while (true) {
    if (os_mkdir(dir) == 0) {
      debug_printf("MadeDir %s\n", dir);
      return 1;
    }
    int err = errno;
    if (err == EACCES || err == EEXIST) {
      if (existsDir(dir)) return 1;
      debug_printf("CreateDir errno: %d!\n", err);
      return 0;
    }
    if (parentMade) {
      debug_printf("CreateDir: '%s' still refused (errno %d) after its parent was made\n", dir, err);
      return 0;
    }
    char* slash = std::strrchr(dir, '\\');
    if (!slash || slash == dir) return 0;
    char parent[INST_PATH_SIZE];
    std::memcpy(parent, dir, static_cast<size_t>(slash - dir));
    parent[slash - dir] = '\0';
    if (createDirUnlogged(parent) != 1) {
      debug_printf("Couldn't make directory '%s'!\n", parent);
      return 0;
    }
    parentMade = true;
  }
}

int forEachMissingDir(const char* path, void (*fn)(const char* level, void* ctx), void* ctx) {
  if (!path || !isFullDrivePath(path)) return 0;
  char dir[INST_PATH_SIZE];
  if (std::snprintf(dir, sizeof dir, "%s", path) >= static_cast<int>(sizeof dir)) return 0;
  size_t len = std::strlen(dir);
  while (len > 3 && dir[len - 1] == '\\') dir[--len] = '\0';
  // Every level below the drive, outermost first; below a missing level all are missing.
  bool missing = false;
  for (size_t i = 3; i <= len; ++i) {
    if (i < len && dir[i] != '\\') continue;
    const char saved = dir[i];
    dir[i] = '\0';
    if (dir[i - 1] != '\\') {
      missing = missing || !existsDir(dir);
      if (missing) fn(dir, ctx);
    }
    dir[i] = saved;
  }
  return 1;
}

int createDir(const char* path) {
  // The log names each level before it is made, and is durable before the first one is.
  int logged = 0;
  forEachMissingDir(
      path,
      [](const char* level, void* ctx) {
        uninstLogEntry("MadeDir %s", level);
        ++*static_cast<int*>(ctx);
      },
      &logged);
  if (logged && uninstIsOpen() && !uninstSync()) return 0;  // nothing is made that an open log does not hold
  return createDirUnlogged(path);
}

