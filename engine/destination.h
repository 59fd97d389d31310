// The destination of an install: what Next (or an install without a screen) makes of the chosen
// install type, drive and folder text, checked before anything is written.
#pragma once

// Takes install type `type` and entry `driveEntry` of its drive list (`driveCount` entries; 0:
// "ErrNoDrivesFree"); destPath becomes that drive joined with `dirText` (with or without its
// leading backslash), or `dirText` itself when it names a drive ("X:..."), which must exist
// ("ErrNoDrive") and have room for the type ("ErrFreeSpace"). Then opens the uninstall log and
// makes the destination; 1. A refused choice says why and returns 0 with nothing changed.
int installChoose(int type, int driveEntry, int driveCount, const char* dirText);
