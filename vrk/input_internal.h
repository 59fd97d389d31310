// Shared between the input module's files: the pause state and the background list's reset.
#pragma once

#include "vrk/input.h"

extern int game_paused;  // 1 while the pause window is up: background processes do not run
// Frees every background process and enables them again.
void VRK_free_bk_list(void);
