// Uninstall log: writer, the move into the destination and the cancel-time removal.
#include "engine/uninst.h"

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <string>

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
constexpr const char* BEGIN = "-- Log Begin --";
constexpr const char* END = "-- Log End--";
FILE* fp = nullptr;
bool batching = false;  // entries wait in the stream's buffer (uninstBatch)
// Entries of the destination's earlier log of the same product ("WORD PATH", upper case), carried
// into this run's log.
std::set<std::string> carried;

std::string upperCase(std::string text) {
  for (char& c : text) c = c >= 'a' && c <= 'z' ? char(c - 32) : c;
  return text;
}

// The whole of a small text file, or false.
bool readText(const char* path, std::string* out) {
  int fd = os_open(path, OS_O_RDONLY);
  if (fd < 0) return false;
  char buffer[4096];
  long got;
  out->clear();
  while ((got = os_read(fd, buffer, sizeof buffer)) > 0) {
    out->append(buffer, static_cast<size_t>(got));
    if (out->size() > (64u << 20)) got = -1;  // no install writes a log of this size
    if (got < 0) break;
  }
  os_close(fd);
  return got == 0;
}

// The product named by a log's "Program: " line ("" when there is none).
std::string programOf(const std::string& text) {
  const size_t at = text.find("\nProgram: ");
  if (at == std::string::npos) return "";
  const size_t from = at + 10, to = text.find('\n', from);
  std::string title = text.substr(from, to == std::string::npos ? std::string::npos : to - from);
  if (!title.empty() && title.back() == '\r') title.pop_back();
  return title;
}

// The entry lines of a log, between its begin and end markers.
std::string entriesOf(const std::string& text) {
  // A log written in text mode on Windows ends its lines with CR LF.
  size_t from = text.find(BEGIN);
  if (from == std::string::npos || (from = text.find('\n', from)) == std::string::npos) return "";
  ++from;
  size_t to = text.find(std::string(END), from);
  std::string lines = text.substr(from, to == std::string::npos ? std::string::npos : to - from);
  std::string out;
  for (size_t at = 0; at < lines.size();) {
    size_t nl = lines.find('\n', at);
    if (nl == std::string::npos && to == std::string::npos) break;  // a line cut by a kill
    std::string line = lines.substr(at, nl == std::string::npos ? std::string::npos : nl - at);
    at = nl == std::string::npos ? lines.size() : nl + 1;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty() || line.size() >= UNINST_ENTRY_SIZE) continue;
    out += line + "\n";
  }
  return out;
}

// Picks the destination's log for `title`: "uninst.log", or where that belongs to another product
// installed into the same folder, the first of "uninst2.log" ... "uninst9.log" that is free or
// belongs to this product. The earlier log of this product, if any, goes into *earlier.
bool chooseFinalPath(const char* destPath, const char* title, std::string* earlier) {
  earlier->clear();
  for (int n = 1; n <= 9; ++n) {
    char name[16];
    if (n == 1)
      std::snprintf(name, sizeof name, "%s", LOG_NAME);
    else
      std::snprintf(name, sizeof name, "uninst%d.log", n);
    if (!joinPath(finalPath, sizeof finalPath, destPath, name)) return false;
    std::string text;
    if (os_access(finalPath) != 0) return true;
    if (readText(finalPath, &text) && programOf(text) == title) {
      *earlier = entriesOf(text);
      return true;
    }
  }
  return false;
}

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
  if (!title) title = "";
  finalPath[0] = '\0';
  carried.clear();
  std::string earlier;
  if (!isFullDrivePath(destPath)) {  // the log is never moved next to the medium's own files
    debug_printf("uninstCreate: destination %s is not a full path\n", destPath ? destPath : "(none)");
  } else if (!chooseFinalPath(destPath, title, &earlier)) {
    debug_printf("uninstCreate: no log path in %s\n", destPath);
    finalPath[0] = '\0';
  }
  std::snprintf(tempPath, sizeof tempPath, "C:\\%s", LOG_NAME);
  // The log of an interrupted install is never written over: it is all that can undo it.
  if (os_access(tempPath) == 0) {
    debug_printf("uninstCreate: %s exists (an interrupted install); not started\n", tempPath);
    return 0;
  }
  fp = os_fopen(tempPath, "wt");
  if (!fp) return 0;
  // Room for the first pass's entries of a few hundred files per system call (uninstBatch).
  std::setvbuf(fp, nullptr, _IOFBF, 1 << 16);
  batching = false;
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
               title, date, time);
  // A run into a folder that holds this product's earlier install carries its entries, so that
  // one uninstall takes off both; this run's own entries follow the run marker, and undoing this
  // run alone reads only those.
  if (!earlier.empty()) {
    std::fputs(earlier.c_str(), fp);
    std::fprintf(fp, "%s\n", UNINST_RUN_MARKER);
    for (size_t at = 0; at < earlier.size();) {
      size_t nl = earlier.find('\n', at);
      carried.insert(upperCase(earlier.substr(at, nl - at)));
      at = nl + 1;
    }
  }
  if (!uninstSync()) {  // a log that cannot be written could undo nothing
    uninstDiscard();
    return 0;
  }
  return 1;
}

int uninstCarried(const char* word, const char* path) {
  if (carried.empty() || !word || !path) return 0;
  return carried.count(upperCase(std::string(word) + " " + path)) ? 1 : 0;
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
    // While batching, the buffer reaches it when full and at the next uninstSync.
    entry[n] = '\n';  // in place of the string's end
    std::fwrite(entry, 1, static_cast<size_t>(n) + 1, fp);
    if (!batching) std::fflush(fp);
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

void uninstBatch(int on) {
  batching = on != 0;
  if (!batching && fp) std::fflush(fp);
}

int uninstSync(void) {
  if (!fp) return 0;
  // The stream's error mark stays: an entry lost on the way (a buffer that could not be written
  // when it filled) fails every later sync too.
  if (os_fsync_stream(fp) == 0 && !std::ferror(fp)) return 1;
  debug_printf("uninst.log: cannot make the log durable (errno %d)\n", errno);
  return 0;
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
  std::fprintf(fp, "%s\n", END);
  std::fclose(fp);
  fp = nullptr;
}

namespace {

// Copies file `source` to `target`, durable on the disk before it is closed (a power loss after the
// rename that follows must not leave an empty log); false, with no target left, on any failure.
bool copyDurably(const char* source, const char* target) {
  const int in = os_open(source, OS_O_RDONLY);
  if (in < 0) return false;
  const int out = os_open(target, OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  bool ok = out >= 0;
  char buffer[4096];
  long got = 0;
  while (ok && (got = os_read(in, buffer, sizeof buffer)) > 0)
    ok = os_write(out, buffer, static_cast<unsigned long>(got)) == got;
  ok = ok && got == 0 && os_fsync(out) == 0;
  os_close(in);
  if (out >= 0 && os_close(out) != 0) ok = false;
  if (!ok && out >= 0) os_remove(target);
  return ok;
}

}  // namespace

int uninstCloseMoved(void) {
  uninstCloseInPlace();
  if (!finalPath[0]) return 0;
  // A rename (the same drive) moves the log in one step, replacing the earlier log it carries.
  if (os_rename(tempPath, finalPath) == 0) return 1;
  // Across drives: a copy beside the final log, renamed over it, then the running log deleted;
  // the earlier log stays whole until the rename.
  char next[INST_PATH_SIZE + 8];
  std::snprintf(next, sizeof next, "%s.new", finalPath);
  if (!copyDurably(tempPath, next) || os_rename(next, finalPath) != 0) {
    os_remove(next);
    return 0;
  }
  os_remove(tempPath);
  return 1;
}

int uninstClose(void) {
  if (!uninstCloseMoved())
    engineMessage(stringFormat("ErrMovingUninst", "s", "Cannot move the uninstall log to %s."), finalPath);
  return 1;
}

int moveFile(const char* source, const char* target) {
  if (!source || !target) return 0;
  if (sameFile(source, target)) return os_access(source) == 0 ? 1 : 0;  // already in place
  if (!copyDurably(source, target)) return 0;  // the source kept, no half copy left
  os_remove(source);
  return 1;
}
