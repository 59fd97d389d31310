// The portable half of the system services: the message box and cursor through the current
// driver, and the name space of the single-instance guard.
#include <cstdio>
#include <cstdlib>

#include "platform/driver.h"
#include "platform/system.h"

void plat_show_cursor(int show) {
  if (plat_driver* d = plat_driver_get()) d->show_cursor(show);
}

int plat_message_box(const char* text, const char* caption) {
  plat_driver* d = plat_driver_get();
  if (!d || !d->message_box(text ? text : "", caption)) {
    if (caption && *caption) std::fprintf(stderr, "%s: ", caption);
    std::fprintf(stderr, "%s\n", text ? text : "");
  }
  return 1;
}

int plat_guard_name(const char* name, char* buf, int size) {
  if (!name || !buf || size <= 0) return -1;
  const char* ns = std::getenv("VRK_GUARD_NS");
  int n = ns && *ns ? std::snprintf(buf, size_t(size), "%s_%s", ns, name) : std::snprintf(buf, size_t(size), "%s", name);
  return n >= 0 && n < size ? n : -1;
}
