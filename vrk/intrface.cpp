// Dialogs and menu bars: the calls the window system makes at start, at exit and for hot keys.
// The dialogs themselves (win_msg, win_yes_no) and the menus come with the dialog module.
#include "vrk/intrface.h"

void VRK_intr_init(void) {}
void VRK_intr_exit(void) {}
void VRK_menu_free(MenuBar*) {}
int VRK_menu_hot_key(MenuBar*, int code) { return code; }
