// The program entry of programs that bring no main of their own (the installer): the system
// starts the program in the platform layer, which hands over to the window system at once.
#pragma once

// Provided by the window system: runs the program from the raw command line and the show flag
// the system gave; the program's exit status.
int plat_program_entry(const char* cmdline, int show);
