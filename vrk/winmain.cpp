// The program entry and the driver call-backs of the window system.
#include "vrk/winmain.h"
#include "vrk/input.h"

#include <csignal>
#include <cstdio>

#include "platform/driver.h"
#include "platform/system.h"
#include "vrk/doscmdln.h"
#include "vrk/dxinput.h"
#include "vrk/svga.h"

intptr_t VRK95_mutex = -1;
char VRK95_title[256] = {};
const char* VRK95_lpszCmdLine = nullptr;
int VRK95_nCmdShow = 0;
int VRK95_app_status = 0;
void (*VRK95_hook_input_func)(int on) = nullptr;
void (*VRK95_exit_func)(void) = nullptr;

namespace {

void on_paint(int ulx, int uly, int lrx, int lry) {
  Rect r{ulx, uly, lrx, lry};
  VRK95_paint(&r);
}

const plat_handlers kHandlers = {VRK95_activate, on_paint, VRK95_close};

}  // namespace

void VRK95_activate(int active) {
  VRK95_isActive = active ? 1 : 0;
  if (VRK95_hook_input_func) {
    VRK95_hook_input_func(VRK95_isActive);
  } else if (VRK95_isActive) {
    dxinput_acquire_keyboard();
    dxinput_acquire_mouse();
  } else {
    dxinput_unacquire_keyboard();
    dxinput_unacquire_mouse();
  }
  // Nothing was drawn while in the background: the whole screen comes back.
  if (VRK95_isActive && VRK95_repaint_func) VRK95_repaint_func(&scr_size);
}

void VRK95_paint(const Rect* r) {
  if (r && VRK95_repaint_func) VRK95_repaint_func(r);
}

int VRKSystemError(const char* message) {
  plat_show_cursor(1);
  plat_message_box(message ? message : "", nullptr);
  return 1;
}

void VRK95_set_title(const char* title) {
  if (!title) return;
  std::snprintf(VRK95_title, sizeof VRK95_title, "%s", title);
  if (plat_driver* d = plat_driver_get()) d->set_title(VRK95_title);
}

void SignalHandler(int sig) {
  if (VRK95_exit_func) VRK95_exit_func();
  else VRK95_reset_mode();
  // Returning would run the faulting code again: end the way the signal would have.
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

int VRK95_WinMain(const char* cmdline, int show, vrk_app_fn app) {
  if (plat_guard_acquire("VRK95MUTEX", &VRK95_mutex) != 1) {
    VRK95_mutex = -1;
    return 0;  // another copy runs: end silently
  }
  plat_show_cursor(0);
  if (!plat_check_requirements()) {
    plat_guard_release(VRK95_mutex);
    VRK95_mutex = -1;
    return 0;
  }
  VRK95_lpszCmdLine = cmdline;
  VRK95_nCmdShow = show;
  DOSCmdLine record;
  DOSCmdLineInit(&record);
  if (!DOSCmdLineCreate(&record, cmdline)) {
    plat_guard_release(VRK95_mutex);
    VRK95_mutex = -1;
    return 0;
  }
  std::signal(SIGABRT, SignalHandler);
  std::signal(SIGILL, SignalHandler);
  std::signal(SIGSEGV, SignalHandler);
  plat_set_handlers(&kHandlers);
  VRK95_isActive = 1;
  VRK_program_running = 1;
  VRK95_app_status = app ? app(record.argc, record.argv) : 0;
  VRK_program_running = 0;
  DOSCmdLineDestroy(&record);
  // The window system normally released the guard long ago; release it here if nobody did.
  if (VRK95_mutex != -1) {
    plat_guard_release(VRK95_mutex);
    VRK95_mutex = -1;
  }
  return 1;
}
