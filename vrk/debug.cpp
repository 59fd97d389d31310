// Debug output channels.
#include "vrk/debug.h"

#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/os.h"

namespace {

debug_func_fn debug_func = nullptr;
debug_func_fn windowChannel = nullptr;  // set by the window system once its debug window exists
FILE* fd = nullptr;

int logChannel(const char* text) {
  if (!fd) return -1;
  if (std::fprintf(fd, "%s", text) < 0) return -1;
  if (std::fflush(fd) != 0) return -1;
  return 0;
}

int screenChannel(const char* text) {
  std::printf("%s", text);
  return 0;
}

void closeLog() {
  if (fd) {
    std::fclose(fd);
    fd = nullptr;
  }
}

// Makes `fn` the channel; selecting the current one again does nothing, any other closes the log.
bool selectChannel(debug_func_fn fn) {
  if (fn == debug_func) return false;
  closeLog();
  debug_func = fn;
  return true;
}

}  // namespace

int debug_printf(const char* format, ...) {
  if (!debug_func) return -1;
  char buffer[260];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buffer, sizeof buffer, format, args);
  va_end(args);
  return debug_func(buffer);
}

int debug_puts(const char* text) {
  if (!debug_func) return -1;
  return debug_func(text);
}

void debug_register_screen(void) { selectChannel(screenChannel); }

void debug_register_log(const char* name, const char* mode) {
  if (!mode || (mode[0] != 'w' && mode[0] != 'a') || mode[1] != 't') return;
  if (!selectChannel(logChannel)) return;
  // The runtime's text-mode flag is not portable; line-ending translation is the runtime's own.
  const char plain[2] = {mode[0], '\0'};
  // A file that cannot be opened leaves the channel selected with no file: every write fails. The
  // name is the running system's own (a developer's file beside the program, as the screen dumps).
  fd = name ? os_fopen_native(name, plain) : nullptr;
}

void debug_register_func(debug_func_fn fn) { selectChannel(fn); }

debug_func_fn debug_current(void) { return debug_func; }

void debug_set_window_channel(debug_func_fn fn) { windowChannel = fn; }

void debug_register_env(void) {
  const char* env = std::getenv("DEBUGACTIVE");
  if (!env) return;
  std::string value(env);
  for (char& c : value) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  if (value == "log") {
    debug_register_log("debug.log", "wt");
  } else if (value == "screen") {
    debug_register_screen();
  } else if (value == "vrk") {
    // Until the window system has announced its debug window there is nothing to select.
    if (windowChannel) debug_register_func(windowChannel);
  }
  // "mono" and anything else: no change (no character-cell display on these platforms).
}

void VRK_debug_init(void) {
  static bool registered = false;
  if (!registered) {
    registered = true;
    std::atexit(debug_exit);
  }
}

void debug_exit(void) { closeLog(); }
