// Uninstall log: "uninst.log" records every directory, file, registry key and shortcut the install
// makes. It is written in the root of drive C while the install runs and moved into the
// destination when closed; a cancelled install is undone from it at once (deinstall, undo.h).
//
// Entry lines, each written before the change it names:
//   "MadeDir X"              a folder the install made
//   "Copied X"               a file the install wrote
//   "MadeShortcut X"         a shortcut the install made
//   "AddedRegKey \\HKEY_LOCAL_MACHINE\K"  a registry key the install created
//   "Replaced X > B"         X held a file that was not this product's (the user's, another
//                            product's); it was moved to B before X was written, and every undo
//                            and the uninstall move it back
//   "Updated X > B"          X held this product's own file from an earlier install; it was moved
//                            to B for the undo of this run only, and B is deleted once the run is
//                            done (the uninstall deletes X, and B should it still be there)
//   "Skipped X"              the "Copied X" of this run before it did not happen (the source could
//                            not be read, or X could not be written): X is not the install's
//   "-- Run Begin --"        the entries above it were carried from an earlier install of the
//                            same product into the same folder; this run's entries follow
// A ">" never occurs in a Windows name, so " > " parts the two paths of a backup line. Readers
// that know only the first four kinds skip the others.
#pragma once

#include <cstddef>

constexpr int UNINST_ENTRY_SIZE = 512;  // one formatted entry, with its end
constexpr const char* UNINST_RUN_MARKER = "-- Run Begin --";

// Writes today's date ("MM/DD/YY") and time ("HH:MM:SS") into the two 9-byte buffers.
typedef void (*uninst_clock_fn)(char date[9], char time[9]);

extern char tempPath[260];   // the log while the install runs: "C:\uninst.log"
extern char finalPath[260];  // where uninstClose moves it: the destination joined with "uninst.log"

// Replaces the clock used for the "Installed:" line (null: the system clock).
void uninstSetClock(uninst_clock_fn fn);
// Computes both paths (finalPath: "uninst.log" in the destination, or "uninst2.log" ...
// "uninst9.log" where the folder holds another product's log), creates the log at tempPath and
// writes its header, then the entries of this product's earlier log in the destination and the
// run marker; 1, or 0 (also when tempPath exists: an interrupted install's log is never written
// over; and when the log cannot be written, which is then removed).
int uninstCreate(const char* title, const char* destPath);
// 1 when the earlier log this run carries holds the entry `word` `path` (case ignored), else 0.
int uninstCarried(const char* word, const char* path);
// Formats one entry (printf style) and appends it with a line feed when the log is open, handing
// it to the system at once; the formatted length, or -1 when the entry does not fit 511
// characters (reported to the debug channel, nothing written). Entries are written before the
// change they name is made, so that a killed install leaves nothing the log does not name.
int uninstLogEntry(const char* format, ...) __attribute__((format(printf, 1, 2)));
// While on, entries wait in the log's 64 KB buffer and reach the system when it fills, at
// uninstSync and when turned off, so a first pass naming thousands of files costs a few hundred
// system calls, not thousands. Only for entries written ahead of every change they name: a killed
// install may leave the last line cut, which every reader of the log ignores.
void uninstBatch(int on);
// uninstLogEntry, then uninstSync: for the few entries (keys, shortcuts) each made durable alone.
int uninstLogEntrySync(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Makes everything written to the log so far durable on the disk (called after the header and
// before the files, keys and links it names are made); 1, or 0 when the log is not open or an
// entry written since it was opened could not be written (nothing it names may then be made).
int uninstSync(void);
// 1 while the log is open (uninstCreate succeeded and uninstClose has not run).
int uninstIsOpen(void);
// Closes the log and deletes it, for an install that was refused before it changed anything.
void uninstDiscard(void);
// Writes the end marker, closes the log and moves it to finalPath, replacing the earlier log it
// carries: renamed where the system can (the same drive), else copied beside it and renamed over
// it; 1, or 0 with the log left at tempPath.
int uninstCloseMoved(void);
// uninstCloseMoved, saying "ErrMovingUninst" when the log could not be moved; 1.
int uninstClose(void);
// Writes the end marker and closes the log where it was written (tempPath), for an install that is
// undone at once: the removal needs no room on the destination's drive.
void uninstCloseInPlace(void);
// Copies `source` to `target` and deletes the source; 1, or 0 with the source kept and no partial
// target left (also for a null name).
int moveFile(const char* source, const char* target);

