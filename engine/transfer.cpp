// The install after Next: the copy loop with its cancel polls and progress, the registry keys,
// shortcuts and uninstaller that follow it, and the undo after a cancel.
#include "engine/transfer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "base/config.h"
#include "base/format.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "db/db.h"
#include "engine/instutil.h"
#include "engine/registry.h"
#include "engine/ui.h"
#include "engine/uninst.h"
#include "platform/os.h"
#include "vrk/debug.h"

namespace {

constexpr const char* TAG = "transfer";

// Buffers of the transfer: no allocation happens in the copy loop.
char listName[INST_PATH_SIZE];
char line[INST_LINE_SIZE];
char dest[INST_PATH_SIZE];
// Each system call moves several blocks: a call costs far more than the bytes it copies. A cancel
// is polled for, and progress reported, once per block of what each call copied.
constexpr int COPY_IO_BLOCKS = 8;
char copyBuffer[COPY_BLOCK_SIZE * COPY_IO_BLOCKS];

enum class Copy { next, cancelled };

// Ends one file after a failed or short write: the partial file is removed (the log, written
// ahead, still names it for the uninstaller should the removal fail). A full drive ends the whole
// install: every file after this one would fail too, and a finish panel would then call a
// product with missing files installed. The user is told, and what was installed is taken back
// as after a cancel.
Copy writeFailed(int in, int out, int err) {
  if (in >= 0) os_close(in);
  if (out >= 0) os_close(out);
  const bool full = err == ENOSPC;
  if (full)
    engineMessage(textOr("ErrDiskFull", "is",
                      "Drive %c: is full.\n%s could not be written.\nSetup takes back what it has "
                      "installed:\nmake room on the drive and run setup again."),
               dest[0], dest);
  else
    engineMessage(stringFormat("ErrWriteFile", "is", "Error %d while writing %s."), err, dest);
  if (os_remove(dest) == 0)
    debug_printf("Write error %d: partial file %s removed\n", err, dest);
  else
    debug_printf("Write error %d: partial file %s could not be removed\n", err, dest);
  return full ? Copy::cancelled : Copy::next;
}

// Copies the medium's file `rel` to `dest`, polling for a cancel once per block of what was copied.
// The log named the destination before this call.
Copy copyFile(const char* rel, uint64_t& totalWritten, uint64_t typeSize) {
  // Opening the destination empties it: a destination that is the source itself (the medium's own
  // folder chosen as the destination) would lose the file, and logging it would let a removal
  // delete the product's original.
  if (os_same_file(rel, dest)) {
    engineMessage(textOr("ErrSameFile", "s", "A file would be copied onto itself and was skipped:\n%s"), dest);
    return Copy::next;
  }
  int in = os_open(rel, OS_O_RDONLY);
  int out = os_open(dest, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  if (out < 0) {
    engineMessage(stringFormat("ErrOpenWriteFile", "s", "Cannot open %s for writing."), dest);
    if (in >= 0) os_close(in);
    return Copy::next;
  }
  int writeError = 0;
  long got = in >= 0 ? os_copy(in, out, copyBuffer, sizeof copyBuffer, &writeError) : -1;
  while (true) {
    if (got < 0 && writeError) return writeFailed(in, out, errno);
    if (got < 0) {
      // The destination exists (perhaps partly written); the log names it, so removal finds it.
      engineMessage(stringFormat("ErrReadFile", "s", "Cannot read %s."), rel);
      if (in >= 0) os_close(in);
      os_close(out);
      return Copy::next;
    }
    if (got == 0) {
      os_close(in);
      if (os_close(out) != 0) return writeFailed(-1, -1, errno);  // a write held back failed at the end
      return Copy::next;
    }
    for (long at = 0; at < got; at += COPY_BLOCK_SIZE) {
      if (engineCancelRequested() && engineQuestion(getString("InstallCancelStr")) == 1) {
        os_close(in);
        os_close(out);
        os_remove(dest);
        return Copy::cancelled;
      }
      totalWritten += static_cast<uint64_t>(std::min<long>(COPY_BLOCK_SIZE, got - at));
      engineProgress(totalWritten, typeSize);
    }
    got = os_copy(in, out, copyBuffer, sizeof copyBuffer, &writeError);
  }
}

// The destination of list line `text` into `dest`: 'd' or 'f', or 0 for a line that makes
// nothing (another kind, an unsafe path, a path too long).
char lineTarget(const char* text) {
  const bool isDir = text[0] == 'd' && text[1] == '=';
  const bool isFile = text[0] == 'f' && text[1] == '=';
  if ((!isDir && !isFile) || !isSafeRelativePath(text + 2) || !joinPath(dest, sizeof dest, destPath, text + 2)) return 0;
  normalizePath(dest);
  return isDir ? 'd' : 'f';
}

// The first pass over the list: the entries of every folder to make and every file to copy, in
// the order the second pass makes them, then the log made durable.
void logAhead(db_file* list) {
  std::set<std::string> planned;  // folders named already (upper case): they do not exist yet
  while (int got = readListLine(list, line, sizeof line)) {
    if (got < 0) continue;
    const char kind = lineTarget(line);
    if (kind == 'd') {
      forEachMissingDir(
          dest,
          [](const char* level, void* ctx) {
            std::string key = level;
            for (char& c : key) c = c >= 'a' && c <= 'z' ? char(c - 32) : c;
            if (static_cast<std::set<std::string>*>(ctx)->insert(key).second) uninstLogEntry("MadeDir %s", level);
          },
          &planned);
    } else if (kind == 'f' && !os_same_file(line + 2, dest)) {
      uninstLogEntry("Copied %s", dest);
    }
  }
  uninstSync();
}

}  // namespace

int currentState = 0;

int installCanStart(void) {
  if (!isFullDrivePath(destPath)) {  // a relative destination would land in the medium's own folder
    engineMessage(textOr("ErrDestPath", "s", "The destination is not a full path on a drive:\n%s"), destPath);
    return 0;
  }
  if (!uninstIsOpen()) {  // an install that could not be undone or uninstalled does not start
    engineMessage(textOr("ErrUninstCreate", "s", "The uninstall log %s cannot be written; nothing was installed."),
               tempPath);
    return 0;
  }
  return 1;
}

void transferFiles(void) {
  uint64_t totalWritten = 0;
  if (!installCanStart()) {
    currentState = 1;
    return;
  }
  const InstType* type = installType >= 0 && installType < numInstTypes ? &instTypes[installType] : nullptr;
  const char* listValue = type ? settingOr(type->name, "List") : "";
  db_file* list = nullptr;
  if (listValue[0]) {
    std::memset(listName, 0, sizeof listName);
    expandMacro(listName, sizeof listName, listValue);
    debug_printf("File list: %s\n", listName);
    if (listName[0]) list = db_fopen(listName, "rt");
  }
  if (!list) {
    engineMessage("%s", getString("ErrFileList"));
    return;
  }
  uint64_t typeSize = type->size;

  // Write-ahead: every folder and file the list will make is named in the log, and the log is on
  // the disk, before the first of them is made. A killed install or a power loss then leaves
  // nothing the log does not name; an entry whose file was never made costs the removal nothing.
  logAhead(list);
  db_fclose(list);
  list = db_fopen(listName, "rt");
  if (!list) {
    engineMessage("%s", getString("ErrFileList"));
    return;
  }

  while (int got = readListLine(list, line, sizeof line)) {
    if (got < 0) {  // never act on a cut path: the rest of the line would name another file
      engineMessage(textOr("ErrListLine", "s", "A line of the file list is too long and was skipped:\n%.60s..."), line);
      continue;
    }
    bool isDir = line[0] == 'd' && line[1] == '=';
    bool isFile = line[0] == 'f' && line[1] == '=';
    if (!isDir && !isFile) continue;
    const char* rel = line + 2;
    if (!isSafeRelativePath(rel)) {
      engineMessage(textOr("ErrListEntry", "s", "File list entry outside the destination, skipped:\n%s"), rel);
      continue;
    }
    if (!joinPath(dest, sizeof dest, destPath, rel)) {
      engineMessage(textOr("ErrPathTooLong", "s", "Path too long, skipped:\n%s"), rel);
      continue;
    }
    normalizePath(dest);  // the log names the folder or file itself, as the uninstaller expects
    if (isDir) {
      if (!createDirUnlogged(dest)) engineMessage(stringFormat("ErrCreateDir", "s", "Cannot create the directory %s."), dest);
      continue;
    }
    if (copyFile(rel, totalWritten, typeSize) == Copy::cancelled) {
      db_fclose(list);
      currentState = 1;
      return;
    }
  }
  db_fclose(list);
  debug_printf("TotalWritten: %llu, TotalSize: %llu\n", static_cast<unsigned long long>(totalWritten),
               static_cast<unsigned long long>(typeSize));
  if (typeSize == 0) engineProgress(1, 1);  // no size known: reported full once the copy ends
}

int installStart(void) {
  currentState = 0;
  if (installCanStart()) return 1;
  uninstDiscard();  // nothing was changed, so there is nothing to log or undo
  currentState = 1;
  return 0;
}

int installComplete(void) {
  if (currentState != 1) {
    const char* title = settingOr("Registry Settings", "Title");
    const char* company = settingOr("Registry Settings", "Company");
    const char* executable = settingOr("Registry Settings", "Executable");
    const char* version = settingOr("Registry Settings", "Version");
    if (!title[0] || !company[0] || !executable[0] || !version[0]) {
      engineMessage("%s", "Some registry entries are missing in INSTALL.INI!");
    } else {
      debug_printf("Adding registry keys...\n");
      regSetLogFunc(uninstLogEntrySync);
      regAddAppKeys(company, title, version, destPath, executable);
      regAddUninstallKey(title, destPath);
    }
    const char* folder = settingOr("Shortcuts", "Folder");
    makeShortcut(folder, destPath, "ProductTitle", "ProductExe");
    makeShortcut(folder, destPath, "Readme", "ReadmeFile");
    makeShortcut(folder, destPath, "Ereg", "EregExe");
    copyUninstallToWindows();
  }
  if (currentState == 0) currentState = 3;
  if (currentState == 1) {  // taken back at once, from the log where it was written
    uninstCloseInPlace();
    deinstall();
  } else {
    uninstClose();
  }
  return currentState;
}

int copyUninstallToWindows(void) {
  constexpr const char* NAME = "vluninst.exe";
  char windowsDir[INST_PATH_SIZE] = "";
  db_file* member = db_fopen(NAME, "rb");
  if (!member) {
    engineMessage("%s", getString("ErrUninstOpen"));
    return 0;
  }
  long length = db_filelength(member);
  db_fclose(member);
  char target[INST_PATH_SIZE];
  if (length <= 0 || os_windows_dir(windowsDir, sizeof windowsDir) != 0 ||
      !joinPath(target, sizeof target, windowsDir, NAME)) {
    engineMessage("%s", getString("ErrUninstWrite"));
    return 0;
  }
  void* buffer = MYMALLOC(static_cast<size_t>(length), TAG);
  bool ok = db_read_to_buf(NAME, buffer, static_cast<size_t>(length)) == 0;
  if (ok) {
    int out = os_open(target, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
    if (out < 0) {
      ok = false;
    } else {
      ok = os_write(out, buffer, static_cast<unsigned long>(length)) == length;
      if (os_close(out) != 0) ok = false;
      if (!ok) os_remove(target);  // no half uninstaller
    }
  }
  MYFREE(buffer, TAG);
  if (!ok) {
    engineMessage("%s", getString("ErrUninstWrite"));
    return 0;
  }
  return 1;
}

