// Controls of the installer's toolkit: a focus ring of up to 32 named rectangles in the current
// managed window. The focused control is framed in the on colour, the others in the off colour;
// a left click inside a control focuses it, and each input code goes to the focused control's
// input function. The ring's order is the slot order.
#pragma once

constexpr int CONTROLS_MAX = 32;

typedef int (*control_input_fn)(int input);

struct Control {
  int id;  // its own slot index; -1 marks a free slot
  char name[32];
  int x, y, width, height;
  control_input_fn input;
};

// Frees every slot and takes the current window's pitch and the default colours (black off,
// yellow on); 1.
int initControls(void);
// Sets the frame colours (palette indices); 1.
int controlsSetColors(int offColour, int onColour);
// Adds a control (or replaces the one of that name in its slot), framed off; slot 0 takes the
// focus. The slot index, or -1 when all 32 are in use.
int addControl(const char* name, int x, int y, int width, int height, control_input_fn input);
// Frees the named control (its frame stays drawn, the focus index unchanged); the new count, or
// -1 when no control has that name.
int deleteControl(const char* name);
// Moves the focus to `index` (below 0 wraps to the last control, past the last to 0) and redraws
// both frames; the focused index.
int setControlFocus(int index);
// Focus on the next (previous) control of the ring; the focused index.
int setNextControl(void);
int setPreviousControl(void);
// Focuses the named control; its index, or -1 when the name is null or not found.
int setControlFocusByName(const char* name);
// The focused control's name, or null.
const char* getCurrentControlName(void);
// Focuses the control under a left click, then hands `input` to the focused control's input
// function; its result, or 0.
int processControlInput(int input);
// Deletes every control; the focus becomes -1; 1.
int controlsClose(void);
// Frames a control in the on (or off) colour and shows the frame.
void drawFocusBox(const Control* control, int on);
