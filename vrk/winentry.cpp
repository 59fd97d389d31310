// The window system's side of the program entry: programs without a main of their own (the
// installer) start here, and the application's entry vrk_main runs inside VRK95_WinMain. Kept in
// a file of its own so that only those programs need a vrk_main.
#include "platform/entry.h"
#include "vrk/winmain.h"

int vrk_main(int argc, char** argv);

// The process ends with vrk_main's value, or 1 when start-up stopped before it ran.
int plat_program_entry(const char* cmdline, int show) {
  return VRK95_WinMain(cmdline, show, vrk_main) ? VRK95_app_status : 1;
}
