// The destination of an install: what Next (or an install without a screen) makes of the chosen
// install type, drive and folder text, checked before anything is written.
#pragma once

#include <cstddef>

// Why a destination is refused (DEST_OK: it is not).
enum {
  DEST_OK,
  DEST_NOT_FULL,  // no drive letter, or empty
  DEST_ROOT,      // a drive root: a product needs a folder of its own
  DEST_BAD_NAME,  // a part Windows does not accept as a name ("..", "<", "CON", a trailing dot...)
  DEST_MEDIUM,    // the medium's own folder, or inside it
  DEST_WINDOWS,   // the Windows directory, or inside it
  DEST_TOO_LONG,  // the longest file of the install would not fit a Windows path
};

// Extra characters every destination must leave for what the install puts there itself
// ("\uninst.bak\123456.bak", "\uninst9.log").
constexpr size_t DEST_RESERVE = 22;

// Checks destination `path`, a full path ("C:\GAMES\X") or one relative to its drive's root
// ("C:GAMES"), with "." and ".." resolved first; `medium` and `windowsDir` are full paths (either
// may be ""), `longest` the length of the longest relative path the install writes below the
// destination. Writes the normal form (no "." or "..", no doubled or trailing separator, drive
// letter in upper case) into `out` and returns DEST_OK, or the reason it is refused.
int checkDestination(const char* path, const char* medium, const char* windowsDir, size_t longest, char* out,
                     size_t size);
// Takes install type `type` and entry `driveEntry` of its drive list (`driveCount` entries; 0:
// "ErrNoDrivesFree"); the destination is that drive with `dirText` (with or without its leading
// backslash), or `dirText` itself when it names a drive ("X:..."), which must exist ("ErrNoDrive")
// and have room for the type ("ErrFreeSpace"). The destination must pass checkDestination (against
// the medium, the Windows directory and the type's longest file) and must not have a file where a
// folder of it goes; then the uninstall log is opened and the destination made. 1, or 0 with a
// message and the machine as it was (a folder that cannot be made is taken back).
int installChoose(int type, int driveEntry, int driveCount, const char* dirText);
