// The panels of setup: the install panel (type, drive, folder, Next), the file-transfer panel that
// runs the engine's install with a progress bar that Escape can cancel, and the finish panel. The
// engine's interface (engine/ui.h) is drawn here: its messages as message boxes, its question
// over the copy, its cancel poll as Escape, its progress as the bar.
#pragma once

#include <cstdint>

#include "engine/transfer.h"

// Makes the panels the engine's front end: message boxes, the question at (170, 140), Escape as
// the cancel poll, progress on the bar "Progress".
void panelsUseEngineUi(void);
// The file-transfer panel: the background, the bar, then the engine's install (installStart,
// transferFiles, installComplete) with the mouse hidden during the copy; returns currentState (1
// after a cancel or a refused start, else 3).
int panelInstalling(void);
// Adds the progress bar "Progress" from the two pictures and shows it empty; 1, or 0 when either
// name is null or the bar cannot be made.
int progressInit(const char* emptyImage, const char* fullImage);
// Moves the bar from the last fraction shown to done / total (held to 0..1; nothing when total is 0).
void progressUpdate(uint64_t done, uint64_t total);
// Removes the progress bar.
void progressClose(void);

// --- the panels' buttons and the finish panel (panels_finish.cpp) ---
// Callback of the panels' buttons (data 0 OK, 1 Next, 2 Exit): a press takes the keyboard focus
// to the button's control; a release of OK gives 3, of Exit 1, of Next runs panelNext.
void doButtonProc(void* data, int event);
// Control input of a button: Enter or Space clicks it, Up and Left move the focus back, Right
// and Down on; returns the code.
int doButtonInput(int key);
// The finish panel: the "AllDone" message in a dimmed window with an OK button; 3 after OK or
// Escape, 0 when its window cannot be made.
int panelFinish(void);

// --- the install panel (panels_install.cpp) ---
// The panel's choice as the lists and the edit box hold it: the selected install type and drive
// entry, the number of entries in the drive list, and the directory text.
extern int panelTypeSelection;
extern int panelDriveSelection;
extern int panelDriveCount;
extern char panelDirText[260];
// What Next does: the engine's installChoose with the panel's choice; currentState 3 when it
// took it, else the panel stays as it was.
void panelNext(void);

// --- the install panel's window (panels_install_ui.cpp) ---
// The first panel: the install types (a list when there is more than one), the drives that can
// hold the selected type, the directory box, Exit and Next in a dimmed window; Tab and Shift-Tab
// move the focus, Escape, Alt+X and Alt+F4 act as Exit. Returns currentState: 3 once Next took
// the choice (panelNext), 1 after Exit, and 1 after saying so ("ErrPanel") when the panel's
// window cannot be made, since there is then no destination to install to.
int panelInstall(void);
// Control input of the directory box: Enter acts as Next, Up and Down move the focus back and
// on, every other code edits the text; 1.
int doEditBoxInput(int key);
// Control input of the type list (the drive list): the code goes to the list device; 1.
int doTypesInput(int key);
int doDriveInput(int key);
// Callback of the lists' scroll buttons (data 0 and 1: types up and down, 2 and 3: drives): a
// press focuses the list and moves its selection one entry; other events do nothing.
void onScroll(void* data, int event);
// Selection callback of the type list: the drive list shows, from its first entry selected, the
// drives that can hold type `index`, and "ErrNoSpace" in its place when none can; nothing while
// there is no drive list.
void typesSelectedCallback(int index);
