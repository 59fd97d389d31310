// The install after Next: the copy loop with its cancel polls and progress, the registry keys,
// shortcuts and uninstaller that follow it, and the undo after a cancel.
#include "engine/transfer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "base/config.h"
#include "base/format.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "db/db.h"
#include "engine/instutil.h"
#include "engine/registry.h"
#include "engine/ui.h"
#include "engine/undo.h"
#include "engine/uninst.h"
#include "platform/os.h"
#include "vrk/debug.h"

namespace {

constexpr const char* TAG = "transfer";

// Buffers of the transfer: no allocation happens in the copy loop.
char listName[INST_PATH_SIZE];
char line[INST_LINE_SIZE];
char dest[INST_PATH_SIZE];
// The medium's folder (the current directory when the copy starts) and the full path of the file
// read: one lookup of the current directory per install, not one per file.
char sourceDir[INST_PATH_SIZE];
char source[INST_PATH_SIZE];
// Each system call moves up to 8 blocks (64 KB): a call costs far more than the bytes of one block,
// while beyond 64 KB the bytes cost more than the call (a larger call gains nothing measurable and
// makes Escape wait longer on a slow medium). A cancel is polled for, and progress reported, once
// per block of what each call copied; a call that fails reports none of its blocks.
constexpr int COPY_IO_BLOCKS = 8;
char copyBuffer[COPY_BLOCK_SIZE * COPY_IO_BLOCKS];

enum class Copy { next, cancelled };

// What the first pass planned for each file (by its destination in upper case): where a file
// already there is moved before the copy, or nothing to do at all.
struct FilePlan {
  std::string backup;  // "" when the destination holds no file
  bool skip = false;   // a folder stands where the file would go
  bool same = false;   // the destination is the source itself (the medium's own folder)
};
std::unordered_map<std::string, FilePlan> filePlans;
// Backups of the product's own earlier files, deleted once this run is done.
std::vector<std::string> runBackups;
bool movedAside = false;  // the current file's earlier version is at its backup

// `path` in upper case into `key` (whose room is reused).
void upperKey(const char* path, std::string* key) {
  key->assign(path);
  for (char& c : *key) c = c >= 'a' && c <= 'z' ? char(c - 32) : c;
}

const FilePlan* planOf(const char* path) {
  static std::string key;  // kept: no allocation per file
  upperKey(path, &key);
  auto it = filePlans.find(key);
  return it == filePlans.end() ? nullptr : &it->second;
}

// Leaves `dest` as it was before this file's copy: what was written removed, the earlier file
// put back from its backup.
void restoreDest(void) {
  os_remove(dest);
  const FilePlan* plan = planOf(dest);
  if (movedAside && plan && !plan->backup.empty() && os_rename(plan->backup.c_str(), dest) != 0)
    debug_printf("Cannot put %s back from %s\n", dest, plan->backup.c_str());
  movedAside = false;
}

// The file of this run's "Copied" entry was not written: the log says so, so that no undo ever
// deletes a file of that name that this run did not make.
void fileSkipped(void) { uninstLogEntry("Skipped %s", dest); }

// Ends one file after a failed or short write: the partial file is removed and the file it
// replaced put back (the log, written ahead, still names both for the undo should that fail). A
// full drive ends the whole
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
  debug_printf("Write error %d: partial file %s removed\n", err, dest);
  restoreDest();
  if (!full) fileSkipped();
  return full ? Copy::cancelled : Copy::next;
}

// Copies the medium's file `rel` (at `source`) to `dest`, polling for a cancel once per block of
// what was copied. The log named the destination before this call.
Copy copyFile(const char* rel, const char* source, uint64_t& totalWritten, uint64_t typeSize) {
  // Opening the destination empties it: a destination that is the source itself (the medium's own
  // folder chosen as the destination) would lose the file, and logging it would let a removal
  // delete the product's original.
  // The first pass asked already; a file it did not plan is asked here.
  const FilePlan* plan = planOf(dest);
  if (plan ? plan->same : os_same_file(source, dest)) {
    engineMessage(textOr("ErrSameFile", "s", "A file would be copied onto itself and was skipped:\n%s"), dest);
    return Copy::next;
  }
  if (plan && plan->skip) {
    engineMessage(stringFormat("ErrOpenWriteFile", "s", "Cannot open %s for writing."), dest);
    return Copy::next;
  }
  // The source first: a file that cannot be read leaves the destination as it was.
  int in = os_open(source, OS_O_RDONLY);
  if (in < 0) {
    engineMessage(stringFormat("ErrReadFile", "s", "Cannot read %s."), rel);
    fileSkipped();
    return Copy::next;
  }
  // A file already there is moved aside (the log named the move before), never written over.
  movedAside = false;
  if (plan && !plan->backup.empty()) {
    if (os_rename(dest, plan->backup.c_str()) == 0) {
      movedAside = true;
    } else if (os_access(dest) == 0) {
      engineMessage(stringFormat("ErrOpenWriteFile", "s", "Cannot open %s for writing."), dest);
      os_close(in);
      fileSkipped();
      return Copy::next;
    }
  }
  int out = os_open(dest, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  if (out < 0) {
    engineMessage(stringFormat("ErrOpenWriteFile", "s", "Cannot open %s for writing."), dest);
    os_close(in);
    restoreDest();
    fileSkipped();
    return Copy::next;
  }
  int writeError = 0;
  long got = os_copy(in, out, copyBuffer, sizeof copyBuffer, &writeError);
  while (true) {
    if (got < 0 && writeError) return writeFailed(in, out, errno);
    if (got < 0) {  // a read error: the destination goes back to what it was
      engineMessage(stringFormat("ErrReadFile", "s", "Cannot read %s."), rel);
      os_close(in);
      os_close(out);
      restoreDest();
      fileSkipped();
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
        restoreDest();
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

// Where the next file moved aside goes: "uninst.bak\N.bak" in the destination, the first N
// free (backups of earlier runs and of other products in the folder stay).
std::string nextBackup(const char* folder, int* counter) {
  while (++*counter < 1000000) {
    const std::string path = std::string(folder) + "\\" + std::to_string(*counter) + ".bak";
    if (path.size() >= INST_PATH_SIZE) return "";  // the destination leaves room for it (checked at Next)
    if (os_access(path.c_str()) != 0) return path;
  }
  return "";
}

// The first pass over the list: the entries of every folder to make and every file to copy, in
// the order the second pass makes them, with the move aside of every file already there, then the
// log made durable; false when it could not be (nothing may be made then).
bool logAhead(db_file* list) {
  std::set<std::string> planned;  // folders named already (upper case): they do not exist yet
  filePlans.clear();
  runBackups.clear();
  char backupFolder[INST_PATH_SIZE];
  const bool canBackUp = joinPath(backupFolder, sizeof backupFolder, destPath, "uninst.bak");
  bool folderLogged = false;
  int counter = 0;
  uninstBatch(1);  // nothing is made before the pass ends with the log durable
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
      continue;
    }
    if (kind != 'f') continue;
    std::string key;
    upperKey(dest, &key);
    auto [it, fresh] = filePlans.try_emplace(key);
    FilePlan& plan = it->second;
    if (!fresh) continue;  // named twice: the first copy is the one logged
    // Nothing is there yet in a folder the install makes (named missing above); elsewhere a new
    // file costs one question: whether anything is there.
    const size_t slash = key.rfind('\\');
    const bool newFolder = slash != std::string::npos && planned.count(key.erase(slash)) != 0;
    const bool exists = !newFolder && os_access(dest) == 0;
    if (exists && os_same_file(line + 2, dest)) {
      plan.same = true;
      continue;
    }
    if (exists && os_is_dir(dest)) {  // a folder in the way is never the install's to remove
      plan.skip = true;
      continue;
    }
    if (exists && !canBackUp) {  // the same: a file already there is never written over
      plan.skip = true;
      continue;
    }
    if (exists) {
      if (!folderLogged && os_access(backupFolder) != 0) uninstLogEntry("MadeDir %s", backupFolder);
      folderLogged = true;
      plan.backup = nextBackup(backupFolder, &counter);
      if (plan.backup.empty()) {  // nowhere to keep it: the file stays as it is, never written over
        plan.skip = true;
        continue;
      }
      // The product's own file from an earlier install is kept for this run's undo only.
      const bool own = uninstCarried("Copied", dest);
      uninstLogEntry("%s %s > %s", own ? "Updated" : "Replaced", dest, plan.backup.c_str());
      if (own) runBackups.push_back(plan.backup);
    }
    uninstLogEntry("Copied %s", dest);
  }
  uninstBatch(0);
  if (!uninstSync()) return false;
  if (folderLogged && os_access(backupFolder) != 0 && os_mkdir(backupFolder) != 0)
    debug_printf("Cannot make the backup folder %s\n", backupFolder);
  return true;
}

void logUnwritable(void) {
  engineMessage(textOr("ErrUninstCreate", "s", "The uninstall log %s cannot be written; nothing was installed."),
                tempPath);
}

}  // namespace

int currentState = 0;

int installCanStart(void) {
  if (!isFullDrivePath(destPath)) {  // a relative destination would land in the medium's own folder
    engineMessage(textOr("ErrDestPath", "s", "The destination is not a full path on a drive:\n%s"), destPath);
    return 0;
  }
  if (!uninstIsOpen()) {  // an install that could not be undone or uninstalled does not start
    logUnwritable();
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
  const bool logged = logAhead(list);
  db_fclose(list);
  if (!logged) {  // an install its log does not hold could not be undone: nothing is copied
    logUnwritable();
    currentState = 1;
    return;
  }
  if (os_getcwd(sourceDir, sizeof sourceDir) != 0) sourceDir[0] = '\0';
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
    if (!sourceDir[0] || !joinPath(source, sizeof source, sourceDir, rel)) std::snprintf(source, sizeof source, "%s", rel);
    if (copyFile(rel, source, totalWritten, typeSize) == Copy::cancelled) {
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
  } else if (uninstCloseMoved()) {
    // Done: the earlier versions of the product's own files are no longer needed.
    for (const std::string& backup : runBackups) os_remove(backup.c_str());
    char backupFolder[INST_PATH_SIZE];
    if (!runBackups.empty() && joinPath(backupFolder, sizeof backupFolder, destPath, "uninst.bak"))
      os_rmdir(backupFolder);  // only when nothing else is kept there
  } else {
    // An install whose log cannot reach its destination could never be uninstalled: it is taken
    // back, from the log where it was written, and does not count as done.
    engineMessage(stringFormat("ErrMovingUninst", "s", "Cannot move the uninstall log to %s."), finalPath);
    currentState = 1;
    deinstall();
  }
  filePlans.clear();
  runBackups.clear();
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

