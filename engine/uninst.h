// Uninstall log: "uninst.log" records every directory, file, registry key and shortcut the install
// makes. It is written in the root of drive C while the install runs and moved into the
// destination when closed; a cancelled install is undone from it at once (deinstall).
#pragma once

#include <cstddef>

constexpr int UNINST_ENTRY_SIZE = 512;  // one formatted entry, with its end

// Writes today's date ("MM/DD/YY") and time ("HH:MM:SS") into the two 9-byte buffers.
typedef void (*uninst_clock_fn)(char date[9], char time[9]);

extern char tempPath[260];   // the log while the install runs: "C:\uninst.log"
extern char finalPath[260];  // where uninstClose moves it: the destination joined with "uninst.log"

// Replaces the clock used for the "Installed:" line (null: the system clock).
void uninstSetClock(uninst_clock_fn fn);
// Computes both paths, creates the log at tempPath and writes its header; 1, or 0.
int uninstCreate(const char* title, const char* destPath);
// Formats one entry (printf style) and appends it with a line feed when the log is open, handing
// it to the system at once; the formatted length, or -1 when the entry does not fit 511
// characters (reported to the debug channel, nothing written). Entries are written before the
// change they name is made, so that a killed install leaves nothing the log does not name.
int uninstLogEntry(const char* format, ...) __attribute__((format(printf, 1, 2)));
// uninstLogEntry, then uninstSync: for the few entries (keys, shortcuts) each made durable alone.
int uninstLogEntrySync(const char* format, ...) __attribute__((format(printf, 1, 2)));
// Makes everything written to the log so far durable on the disk (called after the header and
// before the files, keys and links it names are made).
void uninstSync(void);
// 1 while the log is open (uninstCreate succeeded and uninstClose has not run).
int uninstIsOpen(void);
// Closes the log and deletes it, for an install that was refused before it changed anything.
void uninstDiscard(void);
// Writes the end marker, closes the log and moves it to finalPath, renamed where the system can (the
// same drive), else copied and its source deleted ("ErrMovingUninst" on failure); 1.
int uninstClose(void);
// Writes the end marker and closes the log where it was written (tempPath), for an install that is
// undone at once: the removal needs no room on the destination's drive.
void uninstCloseInPlace(void);
// Copies `source` to `target` and deletes the source; 1, or 0 with the source kept and no partial
// target left (also for a null name).
int moveFile(const char* source, const char* target);
// Removes every file ("Copied") and directory ("MadeDir") that the destination's log records
// (or, when the destination holds none, the log left where it was written), directories
// innermost first, then the log; the number of entries left in place ("ErrDeinstall"
// when not 0).
int deinstall(void);
