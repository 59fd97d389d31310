// The undo of an install, shared by setup's cancel and the uninstaller: reads an "uninst.log",
// keeps only the entries an install can have made, and undoes them in reverse order, putting back
// the files the install had moved aside. The uninstaller undoes the whole log; setup's cancel, a
// failed install and the recovery after a killed one undo only the last run's entries. The
// program vluninst puts its question and progress bar around these calls.
//
// A log is text anyone can edit, so it is untrusted. Accepted entries:
//   "Copied X"        X inside the destination (the folder holding the log);
//   "MadeDir X"       X the destination, inside it, a folder leading to it, or inside Programs;
//   "MadeShortcut X"  X a ".lnk" inside the Programs folder;
//   "AddedRegKey X"   X a key below \\HKEY_LOCAL_MACHINE\SOFTWARE;
//   "Replaced X > B", "Updated X > B"  X as for "Copied", B inside the destination;
//   "Skipped X"       X as for "Copied"; and the run marker (engine/uninst.h).
// A log at a drive root is the installer's own while it runs (left there by a killed install): its
// "Copied" and "MadeDir" entries may name any drive, since the install may have gone to any.
// Paths must be full paths on a drive without "." or ".." parts; anything else is skipped.
#pragma once

#include <cstddef>

#include "base/pathutil.h"

enum { VLU_COPIED, VLU_MADEDIR, VLU_SHORTCUT, VLU_REGKEY, VLU_REPLACED, VLU_UPDATED, VLU_SKIPPED };

// One accepted entry, in the order of the log.
struct VluEntry {
  int kind;                     // VLU_*
  char path[INST_PATH_SIZE];    // the path, or the key below HKEY_LOCAL_MACHINE
  char backup[INST_PATH_SIZE];  // where a replaced or updated file was moved ("" for other kinds)
  int pair;                     // a "Copied" entry: index of the backup entry of its file, or -1
  int line;                     // line number in the log (1 = first)
  int done;                     // set by the removal: 1 undone or gone, 0 still there
  int foreign;                  // set by the removal: kept because it is no longer this install's
};

struct VluPlan {
  char logPath[INST_PATH_SIZE];
  char destination[INST_PATH_SIZE];  // the folder holding the log
  char programs[INST_PATH_SIZE];     // the Programs folder of the Start menu ("" when unknown)
  char header[1024];                 // the log's lines up to "-- Log Begin --", kept for a rewrite
  VluEntry* entries;                 // tagged allocation, `count` of them
  int count;
  int skipped;                       // entry lines refused by the checks
  int runStart;                      // index of the last run's first entry (0 without a run marker)
};

// Exit statuses of the uninstaller.
enum { VLU_ALL_REMOVED = 0, VLU_NOTHING_REMOVED = 1, VLU_PARTIAL = 2 };

// Parses the text of a log found at logPath, given the Programs folder; 1 with the plan filled,
// or 0 for a damaged log (no "-- Log Begin --" line, a NUL byte, a line longer than an entry can
// be, a log path that is not a full path on a drive), with an empty plan. Refused entry lines are
// counted in `skipped` and written to the debug channel; so is a last line without its line feed
// (cut by a kill while written: it may name another path).
int vluParseLog(const char* text, size_t size, const char* logPath, const char* programs, VluPlan* plan);
// Reads the log at logPath (the Programs folder from the registry) and parses it; 1 or 0 as
// vluParseLog, also 0 when the file cannot be read.
int vluReadPlan(const char* logPath, VluPlan* plan);
// Undoes the plan's entries, last first: files and links deleted, keys deleted with their values
// unless they hold a subkey, folders removed once empty. Only what is still this install's goes
// (else the entry is kept, marked `foreign`): a shortcut whose target lies in the install; an App
// Paths or Uninstall key whose values point at the install's folder or log; another key only when
// it holds no value. `progress` (may be null) is told after
// each entry. The log is deleted last when nothing failed (folders and keys kept because they
// hold something else do not count), then folders the log kept from being empty are tried again;
// after a failure the log is rewritten to list what is left. VLU_ALL_REMOVED when nothing is left,
// VLU_PARTIAL when something was kept or failed, VLU_NOTHING_REMOVED for a plan without entries.
int vluRemove(VluPlan* plan, void (*progress)(int done, int total, void* ctx), void* ctx);
// vluRemove for the last run's entries only (those after the last run marker), which undoes one
// run and leaves what earlier installs carried into the log; the log is deleted when nothing
// failed. Same statuses.
int vluRemoveRun(VluPlan* plan, void (*progress)(int done, int total, void* ctx), void* ctx);
// Frees the plan's entries.
void vluFreePlan(VluPlan* plan);

// Takes back the running install from its log where it was written (tempPath, closed in place):
// this run's files, folders, keys and shortcuts removed, the files it replaced put back, the log
// deleted; "ErrDeinstall" when something stays. The number of entries left in place ("ErrFindUninstLog"
// and 0 when the log cannot be read).
int deinstall(void);
// At start: when the log of an interrupted install lies at its running place (C:\uninst.log, left
// by a killed setup), asks whether to take it back ("AskUndoInterrupted") and does so on yes; on
// no, or when the question cannot be asked, keeps the log as C:\uninst-N.log and says where
// ("InterruptedKept"). 1 when no such log is left in the way, 0 when it could neither be undone
// nor kept.
int installRecoverInterrupted(void);
