// Managed windows of the installer's toolkit: up to 16 named windows over the window system (names
// compared without regard to case), one of them current, with a stack of windows that were
// current before. Most calls act on the current window. Also: the start and close of the window
// system, nearest-pixel scaling, text output and word wrap (window_text.cpp), pictures in windows
// (window_picture.cpp), the window-level region calls (window_region.cpp), named buttons
// (window_button.cpp), and the input poll with the regions' mouse dispatch (window_input.cpp).
//
// Results: 1 success, 0 failure; indices and ids -1 when missing. Calls on the current window
// return 0 (null, -1 for ids) when none is current or its slot is free.
#pragma once

#include <cstddef>
#include <cstdint>

#include "toolkit/region.h"
#include "vrk/rect.h"

constexpr int WINDOW_MAX = 16;
constexpr int WINDOW_NAME_MAX = 32;

// A button of a managed window; its pictures are owned by the window.
struct WindowButton {
  int id;  // the window system's button id
  int width, height, x, y;
  int stateFlags;
  int creationFlags;
  char name[32];
  void* procOwner;
  uint8_t* pressed;
  uint8_t* normal;
  uint8_t* hover;
  uint8_t* mask;
  void* pressProc;
  void* releaseProc;
  void* onProc;
  void* offProc;
  void* rightPressProc;
  void* rightReleaseProc;
  void (*callback)(void* data, int event);
  void (*rightCallback)(void* data, int event);
  void* callbackData;
  void* rightCallbackData;
};

struct ManagedWindow {
  char name[WINDOW_NAME_MAX];
  int id;  // window-system id; -1 marks a free slot
  int width;
  int height;
  Region** regions;  // slots may be null; owned
  int currentRegion;
  int regionCount;        // slots in regions
  int regionChangeCount;  // rises whenever regions are deleted, and when the slot is freed
  WindowButton* buttons;  // owned
  int buttonCount;
  int textX, textY;  // text position in window pixels
  int colour;
  int flags;
  float xScale, yScale;  // design coordinates to window pixels
};

typedef void (*window_create_fn)(int index, ManagedWindow* record, int* flags);
typedef void (*window_select_fn)(int index, ManagedWindow* record);
typedef void (*window_delete_fn)(int index, const char* name);
typedef void (*window_display_fn)(int index, ManagedWindow* record, const uint8_t* buffer, int width, int height);

// The table (slot i is windows[i]) and the current index (-1 none).
extern ManagedWindow windows[WINDOW_MAX];
extern int currentWindow;
// Entry [c][a] = (c * a) >> 9 for a 6-bit component c and an alpha a; filled by initWindow.
extern uint8_t alphaBlendTable[64][256];

// --- set-up and teardown (window.cpp) ---
// Starts the window system in display mode `mode` (0-11; the installer uses 1, 640 x 480) with
// win_init flags; resets the text attributes and the table. A failure shows the message of its
// "ErrInit..." text and ends the process with exit code 1; returns 1.
int initWindow(int mode, int flags);
// Deletes every managed window, closes the archives and stops the window system.
void windowClose(void);
// Installs the create, select, delete and display hooks (a null argument keeps that hook).
void windowSetWindowFuncs(window_create_fn create, window_select_fn select, window_delete_fn del,
                          window_display_fn display);
// Installs the routine deleteWindow runs with the window-system id before the window goes, so
// that the widgets drawn in it go with it (null: none). The widgets module installs it.
void windowSetWidgetsFunc(void (*deleteWidgets)(int vrkId));
// Installs the routine updateWindows runs after the regions, which redraws the widgets' live
// values (null: none). The widgets module installs it.
void windowSetUpdateWidgetsFunc(int (*updateWidgets)(void));
// Installs the routine resizeWindow runs before the old window goes, which takes the widgets of
// window-system window oldId to newId, their places scaled from the old size to the new (null:
// none). The widgets module installs it.
void windowSetMoveWidgetsFunc(void (*moveWidgets)(int oldId, int newId, int oldWidth, int oldHeight, int newWidth,
                                                  int newHeight));
// Allocation adapters to the tagged allocator (tag "window") for the window system.
void* winMalloc(size_t size);
void* winRealloc(void* ptr, size_t size);
void winFree(void* ptr);
// The screen size of the mode initWindow chose.
int windowGetXres(void);
int windowGetYres(void);

// --- windows by name (window.cpp) ---
// Makes a window (replacing one of the same name in its slot); the slot index, or -1 when the
// table is full or the window system refuses it. The new window is not current.
int createWindow(const char* name, int x, int y, int width, int height, int colour, int flags);
// Deletes the named window with its buttons and regions; 1, or 0 when none has that name. The
// current index and the stack are left as they are.
int deleteWindow(const char* name);
// Makes the named window current; its index, or -1 (the current window unchanged).
int selectWindow(const char* name);
// Makes slot `index` current; 1, or 0 when the slot is out of range or free.
int selectWindowID(int index);
// 1 when a window in use has that name.
int windowGetDefined(const char* name);
// Remembers the current window on the stack (at most once) and selects `name`; the index now
// current, or -1 (stack full or no such window: nothing pushed).
int pushWindow(const char* name);
// Selects the window on top of the stack and drops it; its index, or -1 (empty stack, or the
// slot was freed or renamed meanwhile).
int popWindow(void);
// Moves the named window to a new rectangle (a new window-system window), scaling its pixels,
// buttons (registered again there, with new ids) and regions, and taking its widgets along; 0, or
// -1 (no such window, or the new one cannot be made: the old one stays).
int resizeWindow(const char* name, int x, int y, int width, int height);
// resizeWindow, keeping design coordinates: the scales become new size / design size; 0, or -1.
int scaleWindow(const char* name, int x, int y, int width, int height);

// --- the current window (window.cpp) ---
// The current index (-1 none).
int windowGetID(void);
// Its name, or null.
const char* windowGetName(void);
// Its pixel buffer (pitch = width), or null.
uint8_t* windowGetBuffer(void);
// The window-system id of the current managed window, or -1.
int windowGetVRKID(void);
// The window-system id of slot `index`, -1 outside 0-15.
int windowGetSpecificVRKID(int index);
// Width and height of the current window, 0 when none.
int windowWidth(void);
int windowHeight(void);
// Fills r with the window's screen rectangle; 1, or 0.
int windowGetRect(Rect* r);
// The screen position of its upper-left corner, 0 when none.
int windowSX(void);
int windowSY(void);
// 1 when the screen point lies in the window (last column and row outside), else 0.
int pointInWindow(int x, int y);
// win_hide, win_show, win_draw of the current window; 1, or 0.
int windowHide(void);
int windowShow(void);
int windowDraw(void);
// Copies a window-relative rectangle of the current window (of slot `index`) to the screen; 1.
int windowDrawRect(int ulx, int uly, int lrx, int lry);
int windowDrawRectID(int index, int ulx, int uly, int lrx, int lry);
// Fills the whole window with the colour (components 0-1); 1, or 0.
int windowFill(float r, float g, float b);
// Fills a rectangle given in design coordinates with the colour; 1, or 0.
int windowFillRect(int x, int y, int width, int height, float r, float g, float b);
// The palette index of a colour given as three components 0-1 (outside that range held at 0 or 1).
int windowColorIndex(float r, float g, float b);

// --- scaling (window.cpp) ---
// Nearest-pixel scaling of a source rectangle onto a destination rectangle (copied when equal).
void drawScaled(uint8_t* dst, int dstWidth, int dstHeight, int dstPitch, const uint8_t* src, int srcWidth,
                int srcHeight, int srcPitch);
// drawScaled with both pitches equal to the widths.
void drawScaledBuf(uint8_t* dst, int dstWidth, int dstHeight, const uint8_t* src, int srcWidth, int srcHeight);

// --- text attributes, position and printing (window_text.cpp) ---
// Colour-and-flags words: palette index in bits 0-7 plus these flags (and the text renderer's
// shadow 0x10000, underline 0x20000, monospaced 0x40000).
constexpr int WINDOW_TEXT_TRANSPARENT = 0x2000000;
constexpr int WINDOW_TEXT_DEFAULT_FLAGS = 0x2010000;
enum : int { WINDOW_JUSTIFY_LEFT = 0, WINDOW_JUSTIFY_RIGHT = 1, WINDOW_JUSTIFY_CENTRE = 2 };

// Stores and selects the font; 1.
int windowSetFont(int font);
// The font last set.
int windowGetFont(void);
// Stores the text (highlight) colour, components 0-1 (held in that range); 1.
int windowSetTextColor(float r, float g, float b);
int windowSetHighlightColor(float r, float g, float b);
// The palette index of the text (highlight) colour.
int windowGetTextColor(void);
int windowGetHighlightColor(void);
// Sets the flags added to the text colour; 1.
int windowSetTextFlags(int flags);
int windowGetTextFlags(void);
// Text colour white and flags 0x2010000 (shadow, transparent); the highlight colour stays.
void windowResetTextAttributes(void);
// Sets the current window's text position from design coordinates; 1, or 0.
int windowGotoXY(int x, int y);
// Prints at the text position (not advanced) in the text colour and flags; 1, or 0.
int windowOutput(const char* text);
// win_print at design (x, y) with a width limit and a colour-and-flags word; 1, or 0.
int windowPrint(const char* text, int width, int x, int y, int colour);
// windowPrint in `font`, the previous font selected again afterwards; 1, or 0.
int windowPrintFont(const char* text, int width, int x, int y, int colour, int font);
// Word-wraps the text from the text position down to the window's bottom in the text colour; 1, or 0.
int windowPrintRect(const char* text, int width, int justification);
// Word-wraps the text into the rectangle (window pixels) in the text colour; 1, or 0.
int windowFormatMessage(const char* text, int x, int y, int width, int height, int justification);
// Prints one line of at most 255 characters (the first `length`) into the buffer of window-system
// window `window` at (x, y), justified in a box `width` wide (0 left, 1 right, 2 centred: a text
// wider than the box shows its start, end or middle), cut at the window's edges; nothing when
// y + text height > maxY. Nothing reaches the screen. 1 when something was drawn, else 0.
int windowPrintBuf(int window, const char* text, int length, int width, int maxY, int x, int y, int colour,
                   int justification);
// Word-wraps the text into lines no wider than `width` (the first line starting firstLineStart
// pixels in): breaks at spaces, inside a word too long for a line, and at each line feed; spaces
// after a break are dropped. Each line and the array are allocated; the count goes to *countOut.
// A null text gives null and 0.
char** windowWordWrap(const char* text, int width, int firstLineStart, int* countOut);
// Frees a word list (null: nothing).
void windowFreeWordList(char** lines, int count);
// Word-wraps the text and prints the lines one below another (text height + lineSpacing apart)
// with windowPrintBuf, leaving out those below y + height; the number of lines of the wrapped
// text, also those left out (0 for a null text).
int windowWrapLineWithSpacing(int window, const char* text, int width, int height, int x, int y, int colour,
                              int justification, int lineSpacing);
// windowWrapLineWithSpacing with line spacing 0.
int windowWrapLine(int window, const char* text, int width, int height, int x, int y, int colour, int justification);
// The number of lines the text needs (at least 1); a text ending right after a break counts the
// empty line after it.
int windowNumLines(const char* text, int width, int firstLineStart);

// --- pictures (window_picture.cpp). Copies are cut to the window. ---
// Puts a picture over the whole current window, scaled when its size differs.
void displayInWindow(const uint8_t* buffer, int width, int height, int pitch);
// Loads a picture file in the current palette (raw: its own) and fills the window with it.
void displayFile(const char* name);
void displayFileRaw(const char* name);
// displayFileRaw; 1, or 0 when the file does not load.
int windowDisplayRaw(const char* name);
// Copies the upper-left width x height pixels of a picture file to (x, y); 1, or 0.
int windowDisplay(const char* name, int x, int y, int width, int height);
// Scales a whole picture file into the rectangle; 1, or 0.
int windowDisplayScaled(const char* name, int x, int y, int width, int height);
// Copies width x height pixels of a buffer (pitch bufWidth) to (x, y); 1, or 0 with no window.
int windowDisplayBuf(const uint8_t* buffer, int bufWidth, int bufHeight, int x, int y, int width, int height);
// The same, leaving the window's pixel under every source pixel of value 0.
int windowDisplayTransBuf(const uint8_t* buffer, int bufWidth, int bufHeight, int x, int y, int width, int height);
// Scales the whole buffer into the rectangle; 1, or 0 with no window.
int windowDisplayBufScaled(const uint8_t* buffer, int bufWidth, int bufHeight, int x, int y, int width, int height);
// Shows a picture file with its own palette in the current window: the screen palette goes black
// (except the entries `keep` marks non-zero, kept from the current palette; null keeps none), the
// colour tables are rebuilt from the picture's palette, the window is drawn, then the new palette
// is set, so the old colours never show through the new picture; 1, or 0 when the file does not
// load (nothing changes).
int windowDisplayWithPalette(const char* name, const uint8_t* keep);
// Blends a width x height picture (pitch srcPitch) over a background (rows packed at the width)
// into dst through an alpha stream of runs per row: a big-endian word with 0x4000 copies that
// many picture pixels, with 0x8000 skips them, else blends them by one alpha byte each (padded
// to an even count); a run past the row's end is cut there, an empty one ends the row.
void alphaBltBuf(const uint8_t* src, int width, int height, int srcPitch, const uint8_t* background,
                 const uint8_t* alpha, uint8_t* dst, int dstPitch);
// Fills dst from a picture cut into 3 x 3 cells: the centre tiled over all, the edge cells tiled
// along the edges, the corners kept unscaled at the corners.
void fillBuf3x3(const uint8_t* src, int srcWidth, int srcHeight, uint8_t* dst, int dstWidth, int dstHeight);

// --- regions of the current window (window_region.cpp); 0 when none is current ---
// Starts a region in the first empty slot (or a new one) with room for n points; 1.
int windowStartRegion(int n);
// Adds a point to the region being built (design coordinates when scale is non-zero); 1.
int windowAddRegionPoint(int x, int y, int scale);
// Adds the four corners of a rectangle in order; 1.
int windowAddRegionRect(int ulx, int uly, int lrx, int lry, int scale);
// Closes the polygon with its first point and computes the bounds; the region's slot index.
int windowEndRegion(void);
// Names the region being built, deleting another region of that name; 1, or 0 (no region).
int windowAddRegionName(const char* name);
// Sets the left (right) callback and its data of the named region; 1, or 0.
int windowAddRegionCfunc(const char* name, region_callback_fn callback, void* data);
int windowAddRegionRightCfunc(const char* name, region_callback_fn callback, void* data);
// Sets the procedure owner and procedures of the named region; 1, or 0.
int windowAddRegionProc(const char* name, void* owner, void* enterProc, void* exitProc, void* pressProc,
                        void* releaseProc);
int windowAddRegionRightProc(const char* name, void* owner, void* rightPressProc, void* rightReleaseProc);
// ORs a flag into the named region's flags; 1, or 0.
int windowSetRegionFlag(const char* name, int flag);
// User data of the named region (0 when there is none); set: 1, or 0.
void* windowRegionGetUserData(const char* name);
int windowRegionSetUserData(const char* name, void* data);
// 1 when the current window has a region of that name.
int windowCheckRegionExists(const char* name);
// Deletes the named region (null: all) and raises the change count; 1, or 0 when none matched.
int windowDeleteRegion(const char* name);
// The named region of slot `index` (null: none), for the mouse dispatch.
Region* windowFindRegion(int index, const char* name);
// The region of a window whose points fall under the screen point's window-relative position
// first in slot order (null: none), for the mouse dispatch.
Region* windowRegionAt(int index, int x, int y);

// --- buttons of the current window (window_button.cpp). Found by name (any case); 1, or 0 when no
// window is current or no button has the name. ---
// Draws the default bevelled look (raised normal and hover faces, a sunken pressed face) into
// whichever of the three width x height pictures is not null.
void setButtonGFX(int width, int height, uint8_t* normal, uint8_t* pressed, uint8_t* hover);
// Makes a button at design (x, y, width, height), or replaces the one of that name in place; flags
// go to the window system (0x20: pictures drawn with transparency, started clear, the normal
// picture its mask; otherwise the default look). 1, or 0 when no window is current or the
// button would not lie wholly inside the window (then no button of that name is left).
int windowAddButton(const char* name, int x, int y, int width, int height, int flags);
// Loads each given picture file, scaled to the button, as its pressed, normal and hover picture
// (a file that does not load leaves its picture), then redraws the button.
int windowAddButtonGfx(const char* name, const char* pressedFile, const char* normalFile, const char* hoverFile);
// The same from pixel buffers of one size and pitch, each scaled onto a cleared picture.
int windowAddButtonBuf(const char* name, const uint8_t* pressedBuf, const uint8_t* normalBuf, const uint8_t* hoverBuf,
                       int srcWidth, int srcHeight, int srcPitch);
// Copies width x height bytes as the button's mask and registers it.
int windowAddButtonMask(const char* name, const uint8_t* mask);
// Stores the procedures (run through executeProc) and their owner.
int windowAddButtonProc(const char* name, void* owner, void* onProc, void* offProc, void* pressProc,
                        void* releaseProc);
int windowAddButtonRightProc(const char* name, void* owner, void* rightPressProc, void* rightReleaseProc);
// Stores the callback of left-button and hover events (0 press, 1 release, 2 on, 3 off).
int windowAddButtonCfunc(const char* name, void (*callback)(void* data, int event), void* data);
// Stores the right-button callback and makes the button take right-button events.
int windowAddButtonRightCfunc(const char* name, void (*callback)(void* data, int event), void* data);
// windowAddButtonTextWithOffsets with the pressed label 2 pixels right and down.
int windowAddButtonText(const char* name, const char* text);
// Draws the label, centred and moved by the offsets, in the text colour and flags onto the normal
// and pressed pictures (cut to the button), then redraws it.
int windowAddButtonTextWithOffsets(const char* name, const char* text, int pressedDx, int pressedDy, int normalDx,
                                   int normalDy);
// Deletes the named button, or every button for null (1 also without a window or buttons).
int windowDeleteButton(const char* name);
// The window system's id of the button, or -1.
int windowGetButtonID(const char* name);
// ORs flag into the button's state flags.
int windowSetButtonFlag(const char* name, int flag);
// The window system's handlers of the buttons (the code is not used).
void doButtonOn(int id, int code);
void doButtonOff(int id, int code);
void doButtonPress(int id, int code);
void doButtonRelease(int id, int code);
void doRightButtonPress(int id, int code);
void doRightButtonRelease(int id, int code);
// Runs an attached procedure: this system has no procedure interpreter, so it only says so on
// the debug channel.
void executeProc(void* owner, void* proc);

// --- input and the regions' mouse dispatch (window_input.cpp) ---
// An input filter: returns non-zero to consume the code.
typedef int (*window_input_fn)(int code);
// One input code from get_input, offered to each filter in order; -1 when one consumed it.
int getInput(void);
// Appends a filter; 1.
int windowAddInputFunc(window_input_fn filter);
// Forgets the filters and the last region window (called when the toolkit closes).
void windowInputClose(void);
// Region dispatch for managed window `index` with a screen position and mouse state bits (0x1
// left, 0x2 right, 0x4 left held, 0x8 right held): press, release, hold (event 5, once per press
// after the hold time), enter (2) and exit (3); a pass ends when a callback deletes a region. 1
// when any event was sent or region entered.
int windowCheckRegion(int index, int x, int y, int buttons);
// Forgets which regions hold the mouse and dispatches again for the window under it (enter
// events are sent again); 0 when the mouse is over no managed window.
int windowRefreshRegions(void);
// The per-frame dispatch for the window under the mouse (exits first for the regions of the
// window the mouse left); 0 when switched off or over no managed window.
int checkAllRegions(void);
// One pass over every managed window: the mouse dispatched to the regions (checkAllRegions),
// then the widgets' live values redrawn (update_widgets, when the widgets module is up); the
// result of checkAllRegions.
int updateWindows(void);
// Sends `event` to the named region of the current window as if it happened (6 and above: right
// button, event - 6); 1, or 0 without such a region.
int windowActivateRegion(const char* name, int event);
// Milliseconds a button must stay down in a region before event 5; 1.
int windowSetHoldTime(int ms);
// Switch checkAllRegions on or off; 1.
int windowEnableCheckRegion(void);
int windowDisableCheckRegion(void);
