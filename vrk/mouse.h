// The mouse cursor of the window system.
#pragma once

// Hides the mouse cursor (nested: each hide wants a show).
void mouse_hide(void);
// Shows the mouse cursor again.
void mouse_show(void);
