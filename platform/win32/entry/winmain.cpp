// The Windows program entry: WinMain hands the command line and show flag to the window system.
// Compiled into the programs that have no main of their own (target platform_entry), never into
// the platform library, so tests and tools with a main never see it.
#include <windows.h>

#include "platform/entry.h"

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR cmdline, int show) {
  return plat_program_entry(cmdline, show);
}
