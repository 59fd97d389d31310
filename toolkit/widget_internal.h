// Shared between the files of toolkit/widget (not for other modules).
#pragma once

#include "toolkit/widget.h"

// The window-system id the status bar is drawn in, or -1 without a bar.
int widgetStatusBarWindow(void);
// Forgets (freeTables 0) or frees (1) the text-region and text-input-region tables.
void widgetResetTextRegions(int freeTables);
// Removes the background field (release 1: as winDeleteBackgroundTextInputRegion does; 0: only
// forgets it, at start-up).
void widgetResetBackgroundField(int release);
