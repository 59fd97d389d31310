// The install panel's engine: the second panel copies the selected type's files with a progress
// bar that Escape can cancel, registers the product, makes the shortcuts, copies the uninstaller
// and closes the uninstall log; a cancel removes everything the install made.
#pragma once

#include <cstdint>

constexpr int COPY_BLOCK_SIZE = 8192;  // bytes copied per input poll

// Result of the current panel: 0 while running, 1 cancelled or quit, 3 done.
extern int currentState;

// The file-transfer panel; returns currentState (1 after a cancel, else 3).
int panelInstalling(void);
// 1 when an install can start and be undone: the destination is a full path on a drive and the
// uninstall log is open; otherwise says why in a message box and returns 0.
int installCanStart(void);
// Makes the listed directories and copies the listed files of the selected type; sets
// currentState to 1 when the user cancels (the partial file is removed) or when the install
// cannot start (installCanStart).
void transferFiles(void);
// Adds the progress bar "Progress" from the two pictures and shows it empty; 1, or 0 when either
// name is null or the bar cannot be made.
int progressInit(const char* emptyImage, const char* fullImage);
// Moves the bar from the last fraction shown to done / total (held to 0..1; nothing when total is 0).
void progressUpdate(uint64_t done, uint64_t total);
// Removes the progress bar.
void progressClose(void);
// Puts the archive member "vluninst.exe" into the Windows directory; 1, or 0 (with a message).
int copyUninstallToWindows(void);
