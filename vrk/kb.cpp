// The keyboard driver.
#include "vrk/kb.h"

int VRK_kb_set(void) { return 0; }
void VRK_kb_restore(void) {}
int kb_getch(void) { return -1; }
void kb_clear(void) {}
int kb_is_disabled(void) { return 0; }
void VRK95_process_key(const plat_key_event*) {}
void VRK95_build_key_map(void) {}
void VRK95_clear_time_stamps(void) {}
void VRK95_repeat_keys(void) {}
