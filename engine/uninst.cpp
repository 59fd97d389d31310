// Uninstall log: writer, the move into the destination and the cancel-time removal.
#include "engine/uninst.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "assoc/assoc.h"
#include "base/format.h"
#include "engine/ui.h"
#include "base/pathutil.h"
#include "base/settings.h"
#include "platform/os.h"
#include "vrk/debug.h"

char tempPath[260];
char finalPath[260];

namespace {

constexpr const char* LOG_NAME = "uninst.log";
FILE* fp = nullptr;

void systemClock(char date[9], char time[9]) {
  std::time_t now = std::time(nullptr);
  std::tm* local = std::localtime(&now);
  if (!local || std::strftime(date, 9, "%m/%d/%y", local) == 0) std::snprintf(date, 9, "00/00/00");
  if (!local || std::strftime(time, 9, "%H:%M:%S", local) == 0) std::snprintf(time, 9, "00:00:00");
}

uninst_clock_fn clockFn = systemClock;

bool sameFile(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'a' && *a <= 'z' ? static_cast<char>(*a - 32) : *a;
    char y = *b >= 'a' && *b <= 'z' ? static_cast<char>(*b - 32) : *b;
    if (x == '/') x = '\\';
    if (y == '/') y = '\\';
    if (x != y) return false;
  }
  return *a == *b;
}

}  // namespace

void uninstSetClock(uninst_clock_fn fn) { clockFn = fn ? fn : systemClock; }

int uninstCreate(const char* title, const char* destPath) {
  if (fp) {  // a log left open by an earlier install is finished first
    std::fclose(fp);
    fp = nullptr;
  }
  finalPath[0] = '\0';
  if (!isFullDrivePath(destPath))  // the log is never moved next to the medium's own files
    debug_printf("uninstCreate: destination %s is not a full path\n", destPath ? destPath : "(none)");
  else if (!joinPath(finalPath, sizeof finalPath, destPath, LOG_NAME))
    debug_printf("uninstCreate: destination too long for the log path\n");
  std::snprintf(tempPath, sizeof tempPath, "C:\\%s", LOG_NAME);
  fp = os_fopen(tempPath, "wt");
  if (!fp) return 0;
  char date[9] = "";
  char time[9] = "";
  clockFn(date, time);
  std::fprintf(fp,
               "Vellacord Uninstaller Version 1.0 (Jul 10 1997)\n"
               "Written by the Vellacord setup program.\n"
               "\n"
               "Installation Report\n"
               "Please do not modify this file.\n"
               "\n"
               "Program: %s\n"
               "Installed: %s at %s.\n"
               "\n"
               "-- Log Begin --\n",
               title ? title : "", date, time);
  uninstSync();
  return 1;
}

namespace {

int writeEntry(const char* format, va_list args) {
  char entry[UNINST_ENTRY_SIZE];
  int n = std::vsnprintf(entry, sizeof entry, format, args);
  if (n < 0 || n >= static_cast<int>(sizeof entry)) {
    // A cut entry would name a different path; better none than a wrong one.
    debug_printf("uninst.log: entry of %d characters does not fit, not written: %.80s...\n", n, entry);
    return -1;
  }
  if (fp) {
    // Each entry reaches the system at once: a killed installer leaves no entry in a buffer.
    std::fprintf(fp, "%s\n", entry);
    std::fflush(fp);
  }
  return n;
}

}  // namespace

int uninstLogEntry(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = writeEntry(format, args);
  va_end(args);
  return n;
}

int uninstLogEntrySync(const char* format, ...) {
  va_list args;
  va_start(args, format);
  int n = writeEntry(format, args);
  va_end(args);
  uninstSync();
  return n;
}

void uninstSync(void) {
  if (fp && os_fsync_stream(fp) != 0) debug_printf("uninst.log: cannot make the log durable (errno %d)\n", errno);
}

int uninstIsOpen(void) { return fp ? 1 : 0; }

void uninstDiscard(void) {
  if (!fp) return;
  std::fclose(fp);
  fp = nullptr;
  os_remove(tempPath);
}

void uninstCloseInPlace(void) {
  if (!fp) return;
  std::fprintf(fp, "-- Log End--\n");
  std::fclose(fp);
  fp = nullptr;
}

int uninstClose(void) {
  uninstCloseInPlace();
  // A rename (the same drive) moves the log in one step: a copy would leave, until its source
  // is deleted, a second log that the first does not name, were the install killed in between.
  if (!finalPath[0] || (os_rename(tempPath, finalPath) != 0 && !moveFile(tempPath, finalPath)))
    engineMessage(stringFormat("ErrMovingUninst", "s", "Cannot move the uninstall log to %s."), finalPath);
  return 1;
}

int moveFile(const char* source, const char* target) {
  if (!source || !target) return 0;
  if (sameFile(source, target)) return os_access(source) == 0 ? 1 : 0;  // already in place
  int in = os_open(source, OS_O_RDONLY);
  if (in < 0) return 0;
  int out = os_open(target, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  if (out < 0) {
    os_close(in);
    return 0;
  }
  static char buffer[4096];
  bool ok = true;
  while (true) {
    long got = os_read(in, buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0 || os_write(out, buffer, static_cast<unsigned long>(got)) != got) {
      ok = false;
      break;
    }
  }
  os_close(in);
  if (os_close(out) != 0) ok = false;
  if (!ok) {
    os_remove(target);  // keep the source, leave no half copy behind
    return 0;
  }
  os_remove(source);
  return 1;
}

int deinstall(void) {
  char logPath[260];
  if (!isFullDrivePath(destPath) || !joinPath(logPath, sizeof logPath, destPath, LOG_NAME)) {
    engineMessage(stringFormat("ErrFindUninstLog", "s", "Cannot find the uninstall log %s."), destPath);
    return 0;
  }
  // A cancelled install's log was never moved (and a log the destination's full drive could not
  // take stayed where it was written).
  if (os_access(logPath) != 0 && tempPath[0] && os_access(tempPath) == 0)
    std::snprintf(logPath, sizeof logPath, "%s", tempPath);
  FILE* in = os_fopen(logPath, "rt");
  if (!in) {
    engineMessage(stringFormat("ErrFindUninstLog", "s", "Cannot find the uninstall log %s."), logPath);
    return 0;
  }
  int failures = 0;
  char line[UNINST_ENTRY_SIZE];
  bool skipping = false;  // inside the rest of a line longer than the buffer
  while (true) {
    std::memset(line, 0, sizeof line);
    if (!std::fgets(line, sizeof line, in)) break;
    size_t len = std::strlen(line);
    bool whole = len > 0 && line[len - 1] == '\n';
    bool wasSkipping = skipping;
    skipping = !whole && !std::feof(in);
    if (wasSkipping || skipping) continue;  // never act on a piece of a line
    while (len > 0 && (line[len - 1] == '\n' || line[len - 1] == '\r')) line[--len] = '\0';
    char* word = line;
    while (*word == ' ' || *word == '\t') ++word;
    if (!*word) continue;
    char* arg = word + std::strcspn(word, " \t");
    if (!*arg) continue;
    *arg++ = '\0';
    if (!*arg) continue;
    if (assoc_compare(word, "Copied") == 0) {
      // Entries are written before their files: one never made is already as it should be.
      if (os_remove(arg) != 0 && errno != ENOENT) {
        debug_printf("Could not remove file %s\n", arg);
        ++failures;
      }
    } else if (assoc_compare(word, "MadeDir") == 0) {
      pushDir(arg);
    }
  }
  std::fclose(in);
  os_remove(logPath);
  failures += processDirStack();
  if (failures) engineMessage("%s", getString("ErrDeinstall"));
  return failures;
}
