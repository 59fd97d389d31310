// The install itself, after Next: the selected type's files copied into the destination with
// Escape polled and progress reported once per block, then the product registered, its shortcuts
// made, the uninstaller copied and the uninstall log closed into the destination; a cancel takes
// back everything the install made. The user is reached only through engine/ui.h.
#pragma once

#include <cstdint>

constexpr int COPY_BLOCK_SIZE = 8192;  // bytes copied per cancel poll and progress report

// Result of the install: 0 while running, 1 cancelled (or refused before it started), 3 done.
extern int currentState;

// 1 when an install can start and be undone: the destination is a full path on a drive and the
// uninstall log is open; otherwise says why and returns 0.
int installCanStart(void);
// Starts an install: currentState 0 and 1; or, when it cannot start (installCanStart), the log
// discarded, currentState 1 and 0.
int installStart(void);
// Makes the listed directories and copies the listed files of the selected type; sets
// currentState to 1 when the user cancels (the partial file is removed), when a full drive ends
// the copy, or when the install cannot start (installCanStart).
void transferFiles(void);
// After transferFiles: unless cancelled, registers the product, makes the shortcuts and copies
// the uninstaller; then closes the log into the destination (currentState 3), or after a cancel
// takes back what the install made from the log where it was written (currentState 1). Returns
// currentState.
int installComplete(void);
// Puts the archive member "vluninst.exe" into the Windows directory; 1, or 0 (with a message).
int copyUninstallToWindows(void);
