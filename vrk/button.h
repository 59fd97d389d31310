// Buttons of windows: rectangles that change their look as the mouse enters, presses and releases
// them, and report what happened as input codes (queued for get_input) or by calling the owner's
// routines. Push buttons, toggles, radio and limited check groups, hit masks, right-button
// handling and disabled looks are variants of one record and one state machine
// (VRK_check_buttons), which the input pass runs on the topmost window under the mouse.
//
// Ids are the smallest free number from 1 across all windows. Every call returns -1 for an id
// that names no button, or before win_init. Codes of -1 are never queued.
#pragma once

#include <cstdint>

#include "vrk/rect.h"

struct Window;

// A routine of a button: called with the button's id and the event's code.
typedef void (*button_fn)(int id, int code);
// A check group's routine: called with the id of the button whose press it refused.
typedef void (*button_group_fn)(int id);

// Button flags.
enum : int {
  BUTTON_TOGGLE = 0x01,            // stays down after a click until clicked again or raised by its group
  BUTTON_ON_PRESS = 0x02,          // (toggles) changes state when the mouse button goes down, not up
  BUTTON_STAY_DOWN = 0x04,         // (toggles) a down toggle cannot be raised by clicking it
  BUTTON_DISABLED = 0x08,          // no events, disabled images
  BUTTON_DRAG = 0x10,              // pressing it drags its window
  BUTTON_TRANS = 0x20,             // images copied with transparency (pixel value 0)
  BUTTON_ALWAYS_CODE = 0x40,       // queue the code even when a routine handles the event
  BUTTON_CALLER_IMAGES = 0x10000,  // the caller owns the images
  BUTTON_IS_DOWN = 0x20000,        // state: down (toggles; push buttons of a group while held)
  BUTTON_RADIO = 0x40000,          // member of a radio group
  BUTTON_RIGHT = 0x80000,          // the right mouse button is handled
};

constexpr int BUTTON_MAX_GROUPS = 64;
constexpr int BUTTON_GROUP_SIZE = 64;

struct ButtonGroup;

// The button record. Images are width x height pixels (pitch = width); the mask, when given,
// is width x height bytes and a point is on the button only where its byte is not 0.
struct Button {
  int id;
  int flags;
  Rect rect;  // window coordinates, inclusive
  int enter_code, exit_code;
  int press_code, release_code;
  int right_press_code, right_release_code;
  uint8_t *up_image, *down_image, *hover_image;
  uint8_t *disabled_up_image, *disabled_down_image, *disabled_hover_image;
  uint8_t* current_image;
  uint8_t* mask;
  button_fn enter_func, exit_func, press_func, release_func;
  button_fn right_press_func, right_release_func;
  button_fn press_sound_func, release_sound_func;
  ButtonGroup* group;
  Button *prev, *next;
};

// A group: at most max_down members down at once (a radio group has 1 and raises the others).
struct ButtonGroup {
  int max_down;
  int num_down;
  button_group_fn func;
  int count;  // members; 0: the entry is free
  Button* members[BUTTON_GROUP_SIZE];
};

// A button with caller-owned images (up required when down or hover are given) inside window
// win, drawn at once; its id, or -1 (no window, or the rectangle does not fit inside it).
int win_register_button(int win, int x, int y, int width, int height, int enter, int exit, int press, int release,
                        uint8_t* up, uint8_t* down, uint8_t* hover, int flags);
// A bevelled text button of its own images (text_width + 16 by text_height + 6), drawn at once;
// its id, or -1.
int win_register_text_button(int win, int x, int y, int enter, int exit, int press, int release, const char* text,
                             int flags);
// The looks used while disabled (any may be null: the normal look then); 0 or -1.
int win_register_button_disable(int id, uint8_t* up, uint8_t* down, uint8_t* hover);
// New caller-owned images (not for buttons that own theirs), redrawn now when redraw is set; 0 or -1.
int win_register_button_image(int id, uint8_t* up, uint8_t* down, uint8_t* hover, int redraw);
// The enter, exit, press and release routines (null: none); 0 or -1.
int win_register_button_func(int id, button_fn enter, button_fn exit, button_fn press, button_fn release);
// Right-button codes and routines; the right button is handled from then on when any is given
// (not -1 or null); 0 or -1.
int win_register_right_button(int id, int press, int release, button_fn press_func, button_fn release_func);
// Routines called when the look changes to pressed (with the press code) and back to up (with
// the release code); 0 or -1.
int win_register_button_sound_func(int id, button_fn press_sound, button_fn release_sound);
// The hit mask (null: the whole rectangle); 0 or -1.
int win_register_button_mask(int id, uint8_t* mask);
// 1 for a toggle that is down, else 0.
int win_button_down(int id);
// The id of the button's window, or -1.
int win_button_winID(int id);
// The window that last had a button event, or -1.
int win_last_button_winID(void);
// Takes the button off its window (its rectangle filled with the window colour, not refreshed)
// and frees it; 0 or -1.
int win_delete_button(int id);
// A button routine that closes a dialog: deletes the button's whole window, then queues code.
void win_delete_button_win(int id, int code);
// The id the next button would get.
int button_new_id(void);
// Enables / disables the button and redraws it; a disabled button under the mouse sends its exit
// code. 0 or -1.
int win_enable_button(int id);
int win_disable_button(int id);
// Sets a toggle up (down 0) or down from the program, redrawn at once; the code of the change is
// queued when send is set. A radio member going down raises the others. 0, or -1 (not a toggle).
int win_set_button_rest_state(int id, int down, int send);
// Makes a check group of count buttons of which at most max_down are down at once; func is
// called with a button's id when its press is refused. 0, or -1 (count above 64 or below 1, an
// id names no button, or every group is taken).
int win_group_check_buttons(int count, const int* ids, int max_down, button_group_fn func);
// A radio group: at most one down, pressing one raises the others; 0 or -1.
int win_group_radio_buttons(int count, const int* ids);
// Plays a click from the program: pressed look, press routine or code, up look, release routine
// or code; 0, or -1 (also for a disabled button).
int win_button_press_and_release(int id);

// --- the window system's own calls ---
// The mouse's button event on w into *event (-1 none); 0 when w took the mouse, -1 when the next
// window down should be asked.
int VRK_check_buttons(Window* w, int* event);
// Frees a button record (its own images, its place in a group); the window's list is not touched.
void VRK_delete_button(Button* b);
// Puts the current image of every button of w into w's buffer for the screen rectangle r, the
// newest last (on top).
void VRK_button_refresh(Window* w, const Rect* r);
