// The Windows program entry for programs that bring no main of their own (the installer): it
// hands over to VRK95_WinMain with the application's entry vrk_main. A program with its own main
// (tests, tools) never pulls this file in.
#if defined(_WIN32)
#include "vrk/winmain.h"

int vrk_main(int argc, char** argv);

extern "C" int __attribute__((stdcall)) WinMain(void* /*instance*/, void* /*previous*/, char* cmdline, int show) {
  return VRK95_WinMain(cmdline, show, vrk_main);
}
#endif
