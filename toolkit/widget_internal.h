// Shared between the files of toolkit/widget (not for other modules).
#pragma once

#include "toolkit/widget.h"

// The window-system id the status bar is drawn in, or -1 without a bar.
int widgetStatusBarWindow(void);
// A place in a window of oldSize pixels along one axis, in the same window grown or shrunk to newSize.
inline int widgetScale(int v, int oldSize, int newSize) { return oldSize > 0 ? v * newSize / oldSize : v; }
// win_move_widgets for the text regions (widget_text.cpp), the click-to-edit fields' buttons
// (widget_input.cpp, after the text regions moved) and the status bar (widget_status.cpp).
void widgetMoveTextRegions(int oldWindow, int newWindow, int oldWidth, int oldHeight, int newWidth, int newHeight);
void widgetMoveInputButtons(int oldWindow, int newWindow);
void widgetMoveStatusBar(int oldWindow, int newWindow, int oldWidth, int oldHeight, int newWidth, int newHeight);
// Forgets (freeTables 0) or frees (1) the text-region and text-input-region tables.
void widgetResetTextRegions(int freeTables);
// Removes the background field (release 1: as winDeleteBackgroundTextInputRegion does; 0: only
// forgets it, at start-up).
void widgetResetBackgroundField(int release);
