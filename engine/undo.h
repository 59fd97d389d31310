// The uninstaller's engine: reads an "uninst.log", keeps only the entries an install can have
// made, and undoes them in reverse order. The program vluninst puts its question and progress bar
// around these calls.
//
// A log is text anyone can edit, so it is untrusted. Accepted entries:
//   "Copied X"        X inside the destination (the folder holding the log);
//   "MadeDir X"       X the destination, inside it, a folder leading to it, or inside Programs;
//   "MadeShortcut X"  X a ".lnk" inside the Programs folder;
//   "AddedRegKey X"   X a key below \\HKEY_LOCAL_MACHINE\SOFTWARE.
// A log at a drive root is the installer's own while it runs (left there by a killed install): its
// "Copied" and "MadeDir" entries may name any drive, since the install may have gone to any.
// Paths must be full paths on a drive without "." or ".." parts; anything else is skipped.
#pragma once

#include <cstddef>

#include "base/pathutil.h"

enum { VLU_COPIED, VLU_MADEDIR, VLU_SHORTCUT, VLU_REGKEY };

// One accepted entry, in the order of the log.
struct VluEntry {
  int kind;                   // VLU_*
  char path[INST_PATH_SIZE];  // the path, or the key below HKEY_LOCAL_MACHINE
  int line;                   // line number in the log (1 = first)
  int done;                   // set by vluRemove: 1 removed or gone, 0 still there
};

struct VluPlan {
  char logPath[INST_PATH_SIZE];
  char destination[INST_PATH_SIZE];  // the folder holding the log
  char programs[INST_PATH_SIZE];     // the Programs folder of the Start menu ("" when unknown)
  char header[1024];                 // the log's lines up to "-- Log Begin --", kept for a rewrite
  VluEntry* entries;                 // tagged allocation, `count` of them
  int count;
  int skipped;                       // entry lines refused by the checks
};

// Exit statuses of the uninstaller.
enum { VLU_ALL_REMOVED = 0, VLU_NOTHING_REMOVED = 1, VLU_PARTIAL = 2 };

// Parses the text of a log found at logPath, given the Programs folder; 1 with the plan filled,
// or 0 for a damaged log (no "-- Log Begin --" line, a NUL byte, a line longer than an entry can
// be, a log path that is not a full path on a drive), with an empty plan. Refused entry lines are
// counted in `skipped` and written to the debug channel.
int vluParseLog(const char* text, size_t size, const char* logPath, const char* programs, VluPlan* plan);
// Reads the log at logPath (the Programs folder from the registry) and parses it; 1 or 0 as
// vluParseLog, also 0 when the file cannot be read.
int vluReadPlan(const char* logPath, VluPlan* plan);
// Undoes the plan's entries, last first: files and links deleted, keys deleted with their values
// unless they hold a subkey, folders removed once empty. `progress` (may be null) is told after
// each entry. The log is deleted last when nothing failed (folders and keys kept because they
// hold something else do not count), then folders the log kept from being empty are tried again;
// after a failure the log is rewritten to list what is left. VLU_ALL_REMOVED when nothing is left,
// VLU_PARTIAL when something was kept or failed, VLU_NOTHING_REMOVED for a plan without entries.
int vluRemove(VluPlan* plan, void (*progress)(int done, int total, void* ctx), void* ctx);
// Frees the plan's entries.
void vluFreePlan(VluPlan* plan);
