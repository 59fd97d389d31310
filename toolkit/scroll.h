// Scroll devices and list devices of the installer's toolkit, drawn into the current managed
// window and driven by polling (the owner keeps that window current while it polls).
//
// A scroll device (scroll.cpp) is a scroll bar: a track with a draggable thumb and two buttons,
// all drawn from pictures; its position is a whole number of divisions 0..D. Once per frame the
// owner calls doScrollDeviceInterface and, with each key (or -1 when none came),
// doScrollDeviceKeyHandling; every new position goes to the move-thumb callback.
//
// A list device (scroll_list.cpp) shows an array of strings (topics) in a rectangle, selects one
// by mouse (click, double click) or keys (Up/Down with auto-repeat, type-ahead), keeps the
// selection in view, and tells its owner at once of every selection change and, once more, half a
// second after the last key that moved it (the timed selection).
//
// Results: 1 success or change, 0 none; calls given a null device do nothing and return 0.
#pragma once

#include <cstdint>

typedef void (*scroll_callback_fn)(int value);
typedef void (*scroll_rect_fn)(int x, int y, int width, int height);

// Flags of a scroll device.
enum : int { SCROLL_VERTICAL = 0x1, SCROLL_TRANSPARENT = 0x2 };
// Key groups of the key routines.
enum : int { SCROLL_KEYS_ARROWS = 0x1, SCROLL_KEYS_PAGE = 0x2, SCROLL_KEYS_HOME_END = 0x4, SCROLL_KEYS_TYPE = 0x8 };
// Flags of a list device.
enum : int { LIST_WRAP = 0x1, LIST_SAVED_BACKGROUND = 0x2 };
// Milliseconds: one mouse step per frame, the delay before a held key or button repeats, the
// longest gap of a double click.
constexpr int SCROLL_STEP_MS = 33;
constexpr int SCROLL_REPEAT_DELAY_MS = 500;
constexpr int LIST_DOUBLE_CLICK_MS = 250;

struct ScrollDevice {
  int trackX, trackY, trackWidth, trackHeight;
  int upX, upY, upWidth, upHeight;
  int downX, downY, downWidth, downHeight;
  int thumbWidth, thumbHeight;
  const uint8_t* upNormal;
  const uint8_t* upPressed;
  const uint8_t* downNormal;
  const uint8_t* downPressed;
  const uint8_t* thumb;
  int upPitch, downPitch, thumbPitch;
  uint8_t flags;
  int thumbOffset;  // pixels from the track's start
  int grabOffset;   // where inside the thumb the mouse holds it
  int divisions;
  int pageIncrement;
  int minimum, maximum;  // -1: none
  int position;
  scroll_callback_fn moveThumb;
  scroll_rect_fn fill;
  scroll_rect_fn draw;
  uint32_t lastStepTime;
  uint32_t pressTime;
  int mouseHeld;
  int partPressed;  // 0 none, 1 up, 2 down, 3 track before the thumb, 4 after it, 5 thumb
  int upShownPressed, downShownPressed;
  int keyRepeating;
  uint32_t keyRepeatStart;
  int paused;
  uint8_t* loaded[5];  // pictures owned by the device: up normal, up pressed, down normal, down pressed, thumb
  void* userData;
  int busy;     // the device's own routines under way (a callback of theirs may delete it)
  int deleted;  // deleted meanwhile: 1 (cleanupScrollDevice) or 2 (deleteScrollDevice), done at the end
};

struct ListDevice {
  int x, y, width, height;
  uint8_t flags;
  const char* const* topics;  // the caller's
  int topicCount;
  int topicsShown;  // how many topics the last repaint printed
  int head;         // first topic shown; -1 after attaching until set
  int selection;    // -1: none
  scroll_callback_fn selected;
  scroll_callback_fn timedSelected;
  scroll_callback_fn doubleClick;
  scroll_rect_fn fill;
  scroll_rect_fn draw;
  scroll_callback_fn moveThumb;
  scroll_callback_fn page;
  int font;
  int spacing;
  int normalColour, highlightColour;
  uint32_t lastStepTime, pressTime, lastClickTime;
  int mouseHeld;
  int keyRepeating;
  uint32_t keyRepeatStart;
  uint32_t lastKeyTime;
  int timedSelectPending;
  int typeAheadActive, typeAheadLength;
  int multipleSelect;
  int busy;     // the device's own routines under way (a callback of theirs may delete it)
  int deleted;  // deleted meanwhile: freed when the outermost of them returns
};

// --- callbacks shared by both kinds of device ---
// The callback that does nothing (all the generic names below are this one function).
void genericScrollCallback(int value);
inline constexpr scroll_callback_fn genericDoubleClickCallback = genericScrollCallback;
inline constexpr scroll_callback_fn genericMoveThumbCallback = genericScrollCallback;
inline constexpr scroll_callback_fn genericPageIncCallback = genericScrollCallback;
inline constexpr scroll_callback_fn genericSelectedCallback = genericScrollCallback;
// Fills the rectangle of the current window black (windowFillRect).
void defaultFillFunc(int x, int y, int width, int height);
// Shows the rectangle of the current window on the screen (windowDrawRect).
void defaultDrawFunc(int x, int y, int width, int height);

// --- scroll devices (scroll.cpp) ---
// A zero-filled device: no limits, default callbacks, last step now; null (and a debug line)
// when memory runs out.
ScrollDevice* newScrollDevice(void);
// newScrollDevice with the track rectangle, the flags and the do-nothing move-thumb callback.
ScrollDevice* createScrollDevice(int x, int y, int width, int height, int flags);
// Frees the pictures the device loaded and the record. Called from one of the device's callbacks,
// it takes effect when the device's routine returns (which does nothing more with the device).
void deleteScrollDevice(ScrollDevice* device);
// Frees the record only (not the pictures); forgets it as the current device. From a callback,
// as deleteScrollDevice.
void cleanupScrollDevice(ScrollDevice* device);
// Frees the pictures the device loaded.
void freeScrollDeviceBuffers(ScrollDevice* device);
// Sets the track rectangle.
void setScrollDeviceScrollRegion(ScrollDevice* device, int x, int y, int width, int height);
// Sets a button's pictures (caller-owned) and rectangle.
void setScrollDeviceUpButton(ScrollDevice* device, const uint8_t* normal, const uint8_t* pressed, int x, int y,
                             int width, int height, int pitch);
void setScrollDeviceDownButton(ScrollDevice* device, const uint8_t* normal, const uint8_t* pressed, int x, int y,
                               int width, int height, int pitch);
// Sets the thumb's picture; the position becomes -1 so that the next setThumbPosition repaints.
void setScrollDeviceThumbButton(ScrollDevice* device, const uint8_t* picture, int width, int height, int pitch);
// Loads each named picture (null: that one unchanged) in the order up normal, up pressed, down
// normal, down pressed, thumb, replacing one loaded before; a button takes its picture's size at
// the given place. 1, or 0 when a named picture does not load (that one is left unchanged).
int setScrollDeviceGfx(ScrollDevice* device, const char* upPressedFile, const char* upNormalFile, int upX, int upY,
                       const char* downPressedFile, const char* downNormalFile, int downX, int downY,
                       const char* thumbFile);
void setScrollDeviceFlags(ScrollDevice* device, int flags);
// Each non-null argument replaces that callback.
void setScrollDeviceCallbacks(ScrollDevice* device, scroll_callback_fn moveThumb, scroll_rect_fn fill,
                              scroll_rect_fn draw);
void setScrollDivisions(ScrollDevice* device, int divisions, int pageIncrement);
void setPageIncNum(ScrollDevice* device, int pageIncrement);
// Position limits, -1 for none.
void setMinMaxDivisions(ScrollDevice* device, int minimum, int maximum);
// Moves the thumb to a position (kept within 0..divisions and the limits set); on a change the
// move-thumb callback hears it and the thumb is repainted. Nothing for a paused device.
void setThumbPosition(ScrollDevice* device, int position);
// Shows each button pressed or not, and hands both button rectangles to the draw callback.
void setScrollDeviceButtons(ScrollDevice* device, int upPressed, int downPressed);
// The per-frame mouse routine: 1 when it ran a step, 0 when not (paused, fewer than 2
// divisions, or less than 33 ms since its last step).
int doScrollDeviceInterface(ScrollDevice* device);
// The key routine (key: a key code, negative when none came this frame; keyGroups: SCROLL_KEYS_*
// bits); 1 when the position changed.
int doScrollDeviceKeyHandling(ScrollDevice* device, int key, int keyGroups);
void pauseScrollDevice(ScrollDevice* device);
void unpauseScrollDevice(ScrollDevice* device);
// The device most recently handled by a call of this module, or null.
ScrollDevice* getCurrentScrollDevice(void);
void setScrollDeviceUserData(ScrollDevice* device, void* data);
void* getScrollDeviceUserData(ScrollDevice* device);
// Draws a picture into the current window, transparently when the device says so; 1.
int windowDisplayScrollBuf(const ScrollDevice* device, const uint8_t* picture, int pitch, int pictureHeight, int x,
                           int y, int width, int height);

// --- list devices (scroll_list.cpp) ---
// A new record: default callbacks, times now; null (and a debug line) when memory runs out.
ListDevice* newListDevice(void);
// Frees the record. Called from one of the list's callbacks, it takes effect when the list's
// routine returns (which does nothing more with the list).
void deleteListDevice(ListDevice* list);
// A device over the rectangle; with LIST_SAVED_BACKGROUND the window's pixels under it are saved
// (one device at a time) and put back before each repaint. Null when memory runs out.
ListDevice* createListDevice(int x, int y, int width, int height, int flags);
// Frees the saved background and the record; from a callback, as deleteListDevice.
void cleanupListDevice(ListDevice* list);
void setListDeviceTextRegion(ListDevice* list, int x, int y, int width, int height);
void setListDeviceFlags(ListDevice* list, int flags);
// Each non-null argument replaces that callback.
void setListDeviceCallbacks(ListDevice* list, scroll_callback_fn selected, scroll_rect_fn fill, scroll_rect_fn draw);
void setListDeviceFuncs(ListDevice* list, scroll_callback_fn selected, scroll_callback_fn moveThumb,
                        scroll_callback_fn page, scroll_callback_fn doubleClick);
void setListDeviceMoveThumbFunc(ListDevice* list, scroll_callback_fn fn);
void setListDevicePageIncFunc(ListDevice* list, scroll_callback_fn fn);
void setListDeviceTimedSelectedFunc(ListDevice* list, scroll_callback_fn fn);
void setListDeviceDoubleClickFunc(ListDevice* list, scroll_callback_fn fn);
// Attaches the caller's topics (kept, not copied): head -1, nothing shown, no selection.
void attachListToListDevice(ListDevice* list, const char* const* topics, int count, int font, int spacing,
                            int normalColour, int highlightColour);
// Attaches with spacing 1, shows from the first topic and, with a scroll device, fits its
// divisions and page to the list and puts its thumb at 0.
void activateListDevice(ListDevice* list, ScrollDevice* scrollDevice, const char* const* topics, int count, int font,
                        int normalColour, int highlightColour);
// Shows the list from topic `head` (kept within the list); repaints when it changed.
void setListDeviceHead(ListDevice* list, int head);
int getCurrentListHead(ListDevice* list);
int getCurrentListSelection(ListDevice* list);
// Selects topic `index`, scrolls it into view and repaints; 1, or 0 for an index outside the
// list. chooseListItem also tells the selected callback.
int selectListItem(ListDevice* list, int index);
int chooseListItem(ListDevice* list, int index);
// No selection; repaints.
void unselectAll(ListDevice* list);
void setMultipleSelectFlag(ListDevice* list, int flag);
// Moves the selection one topic up (down), or to topic 0 when none is selected; 1 when it moved.
int selectPreviousItem(ListDevice* list);
int selectNextItem(ListDevice* list);
// Repaints the list.
void updateTextList(ListDevice* list);
// How many topics fit in the rectangle when the list is scrolled to its end.
int numUnclippedTopicsOnLastPage(ListDevice* list);
// The per-frame mouse routine: 0 when less than 33 ms passed since its last step, else 1.
int doListDeviceInterface(ListDevice* list);
// The key routine (SCROLL_KEYS_ARROWS and SCROLL_KEYS_TYPE groups); 1 when the selection changed.
int doListDeviceKeyHandling(ListDevice* list, int key, int keyGroups);
// The mouse routine, then (handleKeys non-zero) the key routine with arrows and type-ahead; the
// key routine's result, or the mouse routine's. The scroll device is not used.
int processScrollInput(ScrollDevice* scrollDevice, ListDevice* list, int key, int handleKeys);
// 1 when the first n characters of a and b are equal ignoring letter case (n <= 0: 1).
int partialStringCompare(const char* a, const char* b, int n);
