// Driver table, driver selection, the handlers back into the window system, the key batch
// buffer shared by every driver, and the calls of one pass of an input loop.
#include <array>
#include <cstdlib>

#include "platform/drivers_internal.h"

namespace {

// In order of preference; win32 exists only in Windows builds, sdl only when SDL2 was found.
const plat_driver_entry kTable[] = {
#if defined(_WIN32)
    {"win32", plat_win32_available, plat_win32_create},
#endif
#if defined(SETUP_HAVE_SDL)
    {"sdl", plat_sdl_available, plat_sdl_create},
#endif
    {"headless", plat_headless_available, plat_headless_create},
    {nullptr, nullptr, nullptr},
};

plat_driver current{};
bool have_current = false;
bool tried_default = false;
plat_handlers handlers{};

std::array<plat_key_event, PLAT_KEY_BATCH> key_batch{};
int key_index = 0;
int key_count = 0;

bool names_equal(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b) {
    char x = *a >= 'A' && *a <= 'Z' ? char(*a + 32) : *a;
    char y = *b >= 'A' && *b <= 'Z' ? char(*b + 32) : *b;
    if (x != y) return false;
  }
  return *a == *b;
}

const plat_driver_entry* find(const char* name) {
  for (const plat_driver_entry* e = kTable; e->name; ++e)
    if (names_equal(e->name, name)) return e;
  return nullptr;
}

const plat_driver_entry* default_entry() {
  const char* env = std::getenv("VRK_VIDEO");
  if (env && *env) return find(env);
  for (const plat_driver_entry* e = kTable; e->name; ++e) {
    const int a = e->available();
    if (a > 0) return e;
    if (a < 0) return nullptr;  // the system's display is there but cannot be reached: no fallback
  }
  return nullptr;
}

bool start(const plat_driver_entry* e) {
  if (!e || e->available() <= 0) return false;
  plat_driver d{};
  if (e->create(&d) != 0) return false;
  current = d;
  have_current = true;
  key_index = key_count = 0;
  return true;
}

}  // namespace

const plat_driver_entry* plat_driver_table(void) { return kTable; }

const char* plat_driver_choice(void) {
  if (have_current) return current.name;
  const plat_driver_entry* e = default_entry();
  return e ? e->name : nullptr;
}

plat_driver* plat_driver_get(void) {
  if (have_current) return &current;
  if (tried_default) return nullptr;
  tried_default = true;
  return start(default_entry()) ? &current : nullptr;
}

int plat_driver_select(const char* name) {
  plat_driver_shutdown();
  tried_default = true;
  const plat_driver_entry* e = name ? find(name) : default_entry();
  return start(e) ? 0 : -1;
}

void plat_driver_shutdown(void) {
  if (!have_current) return;
  have_current = false;
  current.destroy();
  current = plat_driver{};
  tried_default = false;
  key_index = key_count = 0;
}

void plat_set_handlers(const plat_handlers* h) { handlers = h ? *h : plat_handlers{}; }
const plat_handlers* plat_get_handlers(void) { return &handlers; }

void plat_notify_activate(int active) {
  if (handlers.activate) handlers.activate(active ? 1 : 0);
}

void plat_notify_paint(int ulx, int uly, int lrx, int lry) {
  if (handlers.paint) handlers.paint(ulx, uly, lrx, lry);
}

void plat_notify_close(void) {
  if (handlers.close) {
    handlers.close();
    return;
  }
  std::exit(0);
}

void plat_present(void) {
  if (plat_driver* d = plat_driver_get()) d->present();
}

void plat_pump(void) {
  if (plat_driver* d = plat_driver_get()) {
    d->pump();
    d->present();
  }
}

int plat_wait_events(int ms) {
  plat_driver* d = plat_driver_get();
  if (!d) return 0;
  d->present();
  return d->wait_events(ms);
}

int plat_read_mouse(plat_mouse_state* out) {
  plat_driver* d = plat_driver_get();
  if (!d) return 0;
  d->present();
  return d->read_mouse(out);
}

uint32_t plat_time_ms(void) {
  plat_driver* d = plat_driver_get();
  return d ? d->time_ms() : 0;
}

int plat_read_key(plat_key_event* out) {
  if (key_index >= key_count) {
    plat_driver* d = plat_driver_get();
    if (!d) return 0;
    key_index = 0;
    key_count = d->read_keys(key_batch.data(), PLAT_KEY_BATCH);
    if (key_count < 0) key_count = 0;
    if (key_count == 0) return 0;
  }
  *out = key_batch[key_index++];
  return 1;
}

void plat_flush_keys(void) {
  key_index = key_count = 0;
  if (plat_driver* d = plat_driver_get()) d->flush_keys();
}
