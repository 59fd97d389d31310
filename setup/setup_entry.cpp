// The setup program's own object: it names the main flow's entry, so that the linker takes the
// main flow from the installer library before the window system's entry asks for it.
#include "setup/main.h"

extern int (*const setupEntry)(int, char**);
int (*const setupEntry)(int, char**) = vrk_main;
