// The keyboard driver: key state, lock keys, the key-record buffer, the five layouts and the
// DirectInput side (key map, key repeat).
#include "vrk/kb.h"

#include <cstdlib>
#include <cstring>
#include <iterator>

#include "vrk/dxinput.h"
#include "vrk/input.h"
#include "vrk/svga.h"

uint8_t keys[256];

namespace {

struct KeyRecord {
  uint8_t key;
  uint16_t mods;
};

enum : int { MOD_CAPS = 0x001, MOD_NUM = 0x002, MOD_SCROLL = 0x004, MOD_LSHIFT = 0x008, MOD_RSHIFT = 0x010,
             MOD_LALT = 0x020, MOD_RALT = 0x040, MOD_LCTRL = 0x080, MOD_RCTRL = 0x100 };
enum : int { COL_NORMAL = 0, COL_SHIFT = 1, COL_LALT = 2, COL_RALT = 3, COL_CTRL = 4 };

uint8_t kb_installed = 0;
int keynumpress = 0;
int extended_code = 0;
int kb_lock_flags = 0;
KeyRecord kb_buffer[KB_BUFFER_SIZE];
int kb_put = 0, kb_get = 0;
int kb_layout = KB_ENGLISH_US;
int16_t ascii_table[256][5];
int kb_disabled = 0, kb_numpad_disabled = 0;
uint32_t kb_idle_start_time = 0;
void (*vcr_record_hook)(int scan) = nullptr;
int (*vcr_device_hook)(int down) = nullptr;

uint8_t VRK95_key_map[256];
struct TimeStamp {
  int64_t time;  // -1 while the key is up
  uint16_t count;
};
TimeStamp VRK95_key_time_stamps[256];

// --- the layouts ---

void set_row(int k, int n, int s, int la, int ra, int c) {
  ascii_table[k][COL_NORMAL] = int16_t(n);
  ascii_table[k][COL_SHIFT] = int16_t(s);
  ascii_table[k][COL_LALT] = int16_t(la);
  ascii_table[k][COL_RALT] = int16_t(ra);
  ascii_table[k][COL_CTRL] = int16_t(c);
}

void english_us_table() {
  for (auto& row : ascii_table)
    for (auto& v : row) v = -1;
  const char* rows[] = {"qwertyuiop", "asdfghjkl", "zxcvbnm"};
  const int starts[] = {0x10, 0x1E, 0x2C};
  for (int r = 0; r < 3; ++r)
    for (int i = 0; rows[r][i]; ++i) {
      int k = starts[r] + i, c = rows[r][i];
      set_row(k, c, c - 32, 256 + k, 256 + k, c - 'a' + 1);
    }
  const char* digits = "1234567890-=";
  const char* shifted = "!@#$%^&*()_+";
  for (int i = 0; i < 12; ++i) set_row(0x02 + i, digits[i], shifted[i], -1, -1, -1);
  const struct {
    int k;
    char n, s;
  } punct[] = {{0x1A, '[', '{'}, {0x1B, ']', '}'}, {0x27, ';', ':'}, {0x28, '\'', '"'}, {0x29, '`', '~'},
               {0x2B, '\\', '|'}, {0x33, ',', '<'},  {0x34, '.', '>'},  {0x35, '/', '?'}};
  for (auto p : punct) set_row(p.k, p.n, p.s, -1, -1, -1);
  ascii_table[0x2B][COL_CTRL] = 192;
  set_row(0x01, 27, 27, 27, 27, 27);
  set_row(0x0E, 8, 8, 8, 8, 127);
  set_row(0x0F, 9, 9, 9, 9, 9);
  set_row(0x1C, 13, 13, 13, 13, 10);
  set_row(0x39, 32, 32, 32, 32, 32);
  for (int i = 0; i < 10; ++i) set_row(0x3B + i, 315 + i, 340 + i, 360 + i, 360 + i, 350 + i);
  set_row(0x57, 389, 391, 395, 395, 393);
  set_row(0x58, 390, 392, 396, 396, 394);
  // Grey keys: normal (and Shift), Alt, Control.
  const struct {
    int k, n, a, c;
  } grey[] = {{0xC7, 327, 407, 375}, {0xC8, 328, 408, 397}, {0xC9, 329, 409, 388}, {0xCB, 331, 411, 371},
              {0xCD, 333, 413, 372}, {0xCF, 335, 415, 373}, {0xD0, 336, 416, 401}, {0xD1, 337, 417, 374},
              {0xD2, 338, 418, 402}, {0xD3, 339, 419, 403}};
  for (auto g : grey) set_row(g.k, g.n, g.n, g.a, g.a, g.c);
  // The keypad's digit keys: the grey key in the same place, the digit with Shift.
  const struct {
    int k, grey;
    char digit;
  } pad[] = {{0x47, 0xC7, '7'}, {0x48, 0xC8, '8'}, {0x49, 0xC9, '9'}, {0x4B, 0xCB, '4'}, {0x4D, 0xCD, '6'},
             {0x4F, 0xCF, '1'}, {0x50, 0xD0, '2'}, {0x51, 0xD1, '3'}, {0x52, 0xD2, '0'}};
  for (auto p : pad) {
    std::memcpy(ascii_table[p.k], ascii_table[p.grey], sizeof ascii_table[0]);
    ascii_table[p.k][COL_SHIFT] = int16_t(p.digit);
  }
  set_row(0x4C, 332, '5', 9999, 9999, 399);
  set_row(0x53, 339, '.', -1, 419, 403);
  set_row(0x37, '*', '*', -1, -1, -1);
  set_row(0x4A, '-', '-', -1, -1, -1);
  set_row(0x4E, '+', '+', -1, -1, -1);
  set_row(0xB5, '/', '/', -1, -1, 3);
  set_row(0x9C, 13, 13, -1, -1, -1);
}

// The European layouts' differences from English US: "key: normal, Shift, left Alt, right Alt,
// Control" entries separated by ';', "-" for no code. Keys are numbered by their place on the
// keyboard (the US key in that place), and each gives what the layout's keyboard prints on it:
// on a French keyboard the key in the US Q's place is A.
const char* const kLayoutChanges[5] = {
    "",
    // French
    "0x02: 38, 49, -, -, -; 0x03: 233, 50, -, 152, -; 0x04: 34, 51, -, 35, -; 0x05: 39, 52, -, 123, -;"
    "0x06: 40, 53, -, 91, -; 0x07: 45, 54, -, 166, -; 0x08: 232, 55, -, 96, -; 0x09: 95, 56, -, 92, -;"
    "0x0A: 231, 57, -, 136, -; 0x0B: 224, 48, -, 64, -; 0x0C: 41, 176, -, 93, -; 0x0D: 61, 43, -, 125, -;"
    "0x10: 97, 65, 286, 286, 1; 0x11: 122, 90, 300, 300, 26; 0x1A: 136, 168, -, -, -; 0x1B: 36, 163, -, 164, -;"
    "0x1E: 113, 81, 272, 272, 17; 0x27: 109, 77, 306, 306, 13; 0x28: 249, 37, -, -, -; 0x29: 178, -, -, -, -;"
    "0x2B: 42, 181, -, -, -; 0x2C: 119, 87, 273, 273, 23; 0x32: 44, 63, -, -, -; 0x33: 59, 46, -, -, -;"
    "0x34: 58, 47, -, -, -; 0x35: 33, 167, -, -, -; 0x56: 60, 62, -, -, -",
    // German
    "0x03: 50, 34, -, 178, -; 0x04: 51, 167, -, 179, -; 0x07: 54, 38, -, -, -; 0x08: 55, 47, -, 123, -;"
    "0x09: 56, 40, -, 91, -; 0x0A: 57, 41, -, 93, -; 0x0B: 48, 61, -, 125, -; 0x0C: 223, 63, -, 92, -;"
    "0x0D: 180, 96, -, -, -; 0x10: 113, 81, 272, 64, 17; 0x15: 122, 90, 300, 300, 26; 0x1A: 252, 220, -, -, -;"
    "0x1B: 43, 42, -, 152, -; 0x27: 246, 214, -, -, -; 0x28: 228, 196, -, -, -; 0x29: 136, 176, -, -, -;"
    "0x2B: 35, 39, -, -, -; 0x2C: 121, 89, 277, 277, 25; 0x32: 109, 77, 306, 181, 13; 0x33: 44, 59, -, -, -;"
    "0x34: 46, 58, -, -, -; 0x35: 45, 95, -, -, -; 0x53: 339, 44, -, 419, 403; 0x56: 60, 62, -, 124, -",
    // Italian
    "0x03: 50, 34, -, -, -; 0x04: 51, 163, -, -, -; 0x07: 54, 38, -, -, -;"
    "0x08: 55, 47, -, -, -; 0x09: 56, 40, -, -, -; 0x0A: 57, 41, -, -, -; 0x0B: 48, 61, -, -, -;"
    "0x0C: 39, 63, -, -, -; 0x0D: 236, 94, -, -, -; 0x1A: 232, 233, -, 91, -; 0x1B: 43, 42, -, 93, -;"
    "0x27: 242, 231, -, 64, -; 0x28: 224, 176, -, 35, -; 0x29: 92, 124, -, -, -; 0x2B: 249, 167, -, -, -;"
    "0x33: 44, 59, -, -, -; 0x34: 46, 58, -, -, -; 0x35: 45, 95, -, -, -; 0x56: 60, 62, -, -, -",
    // Spanish
    "0x02: 49, 33, -, 124, -; 0x03: 50, 34, -, 64, -; 0x04: 51, 183, -, 35, -;"
    "0x07: 54, 38, -, 172, -; 0x08: 55, 47, -, -, -; 0x09: 56, 40, -, -, -; 0x0A: 57, 41, -, -, -;"
    "0x0B: 48, 61, -, -, -; 0x0C: 39, 63, -, -, -; 0x0D: 161, 191, -, -, -; 0x1A: 96, 94, -, 91, -;"
    "0x1B: 43, 42, -, 93, -; 0x27: 241, 209, -, -, -; 0x28: 168, 180, -, 123, -; 0x29: 186, 170, -, 92, -;"
    "0x2B: 231, 199, -, 125, -; 0x33: 44, 59, -, -, -; 0x34: 46, 58, -, -, -; 0x35: 45, 95, -, -, -;"
    "0x56: 60, 62, -, -, -",
};

void apply_changes(const char* p) {
  while (*p) {
    char* end;
    int k = int(std::strtol(p, &end, 16));
    p = end + 1;  // past ':'
    int16_t v[5];
    for (int i = 0; i < 5; ++i) {
      while (*p == ' ' || *p == ',') ++p;
      if (*p == '-') {
        v[i] = -1;
        ++p;
      } else {
        v[i] = int16_t(std::strtol(p, &end, 10));
        p = end;
      }
    }
    std::memcpy(ascii_table[k & 0xFF], v, sizeof v);
    while (*p == ';' || *p == ' ') ++p;
  }
}

// --- conversion ---

int count_records() { return (kb_put - kb_get + KB_BUFFER_SIZE) % KB_BUFFER_SIZE; }
const KeyRecord& peek(int i) { return kb_buffer[(kb_get + i) % KB_BUFFER_SIZE]; }
void take(int n) { kb_get = (kb_get + n) % KB_BUFFER_SIZE; }

bool is_letter(int k) {
  int c = ascii_table[k][COL_NORMAL];
  return c >= 'a' && c <= 'z';
}

uint16_t invert_shift(uint16_t m) {
  return (m & (MOD_LSHIFT | MOD_RSHIFT)) ? uint16_t(m & ~(MOD_LSHIFT | MOD_RSHIFT)) : uint16_t(m | MOD_LSHIFT);
}

bool is_numpad_digit(int k) { return (k >= 0x47 && k <= 0x49) || (k >= 0x4B && k <= 0x4D) || (k >= 0x4F && k <= 0x53); }
bool is_numpad_operator(int k) { return k == 0x37 || k == 0x4A || k == 0x4E || k == 0xB5 || k == 0x9C; }

int column(uint16_t m) {
  if (m & (MOD_LCTRL | MOD_RCTRL)) return COL_CTRL;
  if (m & MOD_LALT) return COL_LALT;
  if (m & MOD_RALT) return COL_RALT;
  if (m & (MOD_LSHIFT | MOD_RSHIFT)) return COL_SHIFT;
  return COL_NORMAL;
}

// The shared conversion of the oldest record, whose modifiers the layout routine may have changed.
int kb_next_ascii(uint16_t m) {
  const int k = peek(0).key;
  if (is_numpad_operator(k) && kb_numpad_disabled) {
    take(1);
    return -1;
  }
  if (is_numpad_digit(k)) {
    if (kb_numpad_disabled) {
      take(1);
      return -1;
    }
    if (!(m & (MOD_LALT | MOD_RALT)) && (m & MOD_NUM)) m = invert_shift(m);
  }
  take(1);
  return ascii_table[k][column(m)];
}

int kb_next_ascii_English_US() {
  if (count_records() == 0) return -1;
  uint16_t m = peek(0).mods;
  if ((m & MOD_CAPS) && is_letter(peek(0).key)) m = invert_shift(m);
  return kb_next_ascii(m);
}

// A dead key of a European layout: the accent it puts on a e i o u (lower, then upper case).
struct DeadKey {
  int key;
  bool shifted;
  int lower[5], upper[5];
};
constexpr DeadKey kCircumflex = {0, false, {226, 234, 238, 244, 251}, {194, 202, 206, 212, 219}};
constexpr DeadKey kDiaeresis = {0, false, {228, 235, 239, 246, 252}, {196, 203, 207, 214, 220}};
constexpr DeadKey kAcute = {0, false, {225, 233, 237, 243, 250}, {193, 201, 205, 211, 218}};
constexpr DeadKey kGrave = {0, false, {224, 232, 236, 242, 249}, {192, 200, 204, 210, 217}};

// The accent of record r in the current layout, or null when r is not a dead key.
const DeadKey* dead_key(const KeyRecord& r) {
  const bool shift = r.mods & (MOD_LSHIFT | MOD_RSHIFT);
  if (r.mods & (MOD_LALT | MOD_RALT | MOD_LCTRL | MOD_RCTRL)) return nullptr;
  switch (kb_layout) {
    case KB_FRENCH:
      if (r.key == 0x1A) return shift ? &kDiaeresis : &kCircumflex;
      break;
    case KB_GERMAN:
      if (r.key == 0x0D) return shift ? &kGrave : &kAcute;
      if (r.key == 0x29 && !shift) return &kCircumflex;
      break;
    case KB_SPANISH:
      if (r.key == 0x1A) return shift ? &kCircumflex : &kGrave;
      if (r.key == 0x28) return shift ? &kDiaeresis : &kAcute;
      break;
    default:
      break;
  }
  return nullptr;
}

int vowel_index(int k) {
  const int a = kb_layout == KB_FRENCH ? 0x10 : 0x1E;
  const int vowels[5] = {a, 0x12, 0x17, 0x18, 0x16};
  for (int i = 0; i < 5; ++i)
    if (vowels[i] == k) return i;
  return -1;
}

bool is_shift(int k) { return k == 0x2A || k == 0x36; }

int kb_next_ascii_European() {
  if (count_records() == 0) return -1;
  const KeyRecord first = peek(0);
  if (const DeadKey* d = dead_key(first)) {
    const int n = count_records();
    if (n == 1) return -1;
    int next = 1;
    bool upper = false;
    if (is_shift(peek(1).key)) {
      if (n == 2) return -1;
      next = 2;
      upper = true;
    }
    int v = vowel_index(peek(next).key);
    if (v >= 0) {
      take(next + 1);
      return upper ? d->upper[v] : d->lower[v];
    }
    take(1);
    return ascii_table[first.key][column(first.mods)];
  }
  uint16_t m = first.mods;
  if (m & MOD_CAPS) {
    if (kb_layout == KB_FRENCH || kb_layout == KB_GERMAN) m |= MOD_LSHIFT;  // a Shift lock
    else if (is_letter(first.key)) m = invert_shift(m);
  }
  return kb_next_ascii(m);
}

}  // namespace

// --- the driver ---

int VRK_kb_set(void) {
  if (kb_installed) return -1;
  kb_installed = 1;
  std::memset(keys, 0, sizeof keys);
  keynumpress = 0;
  extended_code = 0;
  kb_put = kb_get = 0;
  dxinput_flush_keyboard_buffer();
  VRK95_clear_time_stamps();
  kb_lock_flags = 0;
  VRK_kb_read_locks();
  kb_set_layout(KB_ENGLISH_US);
  kb_idle_start_time = get_time();
  return 0;
}

void VRK_kb_restore(void) { kb_installed = 0; }

void VRK_kb_read_locks(void) {
  plat_driver* d = plat_driver_get();
  if (kb_installed && d) kb_lock_flags = d->lock_keys() & 7;
}

void kb_clear(void) {
  std::memset(keys, 0, sizeof keys);
  keynumpress = 0;
  extended_code = 0;
  kb_put = kb_get = 0;
  VRK95_clear_time_stamps();
  dxinput_flush_keyboard_buffer();
}

int (*kb_scan_to_ascii)(void) = kb_next_ascii_English_US;

int kb_getch(void) {
  if (!kb_installed) return -1;
  return kb_scan_to_ascii();
}

void kb_wait(void) {
  kb_clear();
  while (keynumpress == 0 && kb_installed) {
    VRK95_process_message();
    if (keynumpress == 0) plat_wait_events(50);
  }
  kb_clear();
}

void kb_disable(void) { kb_disabled = 1; }
void kb_enable(void) { kb_disabled = 0; }
int kb_is_disabled(void) { return kb_disabled; }
void kb_disable_numpad(void) { kb_numpad_disabled = 1; }
void kb_enable_numpad(void) { kb_numpad_disabled = 0; }
int kb_numpad_is_disabled(void) { return kb_numpad_disabled; }

void kb_set_layout(int layout) {
  if (layout < KB_ENGLISH_US || layout > KB_SPANISH) return;
  kb_layout = layout;
  kb_scan_to_ascii =
      layout == KB_ENGLISH_US || layout == KB_ITALIAN ? kb_next_ascii_English_US : kb_next_ascii_European;
  english_us_table();
  apply_changes(kLayoutChanges[layout]);
  VRK95_build_key_map();
}

int kb_get_layout(void) { return kb_layout; }

int kb_ascii_to_scan(int code) {
  for (int k = 0; k < 256; ++k)
    for (int c = 0; c < 5; ++c)
      if (ascii_table[k][c] == code) return k;
  return -1;
}

int kb_elapsed_time(void) { return elapsed_time(kb_idle_start_time); }
void kb_reset_elapsed_time(void) { kb_idle_start_time = get_time(); }

void VRK_kb_hook_vcr(void (*record)(int scan), int (*device)(int down)) {
  vcr_record_hook = record;
  vcr_device_hook = device;
}

void kb_simulate_key(int s) {
  s &= 0xFF;
  if (vcr_record_hook) vcr_record_hook(s);
  kb_idle_start_time = get_time();
  if (s == 0xE0) {
    extended_code = 0x80;
    return;
  }
  int state = 1;
  if (s & 0x80) {
    state = 0;
    s &= 0x7F;
  }
  const int k = s + extended_code;
  if (state == 1 && keys[k]) state = 2;
  if (keys[k] != state) {
    if (state == 1) ++keynumpress;
    if (state == 0 && keynumpress > 0) --keynumpress;
    keys[k] = uint8_t(state);
  }
  if (state != 0) {
    // The lock keys act when pressed, not again while held (as the system's own lock state does).
    if (state == 1 && k == 0x3A) {
      if (!(kb_lock_flags & KB_CAPS_LOCK)) kb_lock_flags |= KB_CAPS_LOCK;
      else if (kb_layout == KB_ENGLISH_US) kb_lock_flags &= ~KB_CAPS_LOCK;
    } else if (state == 1 && k == 0x45) {
      kb_lock_flags ^= KB_NUM_LOCK;
    } else if (state == 1 && k == 0x46) {
      kb_lock_flags ^= KB_SCROLL_LOCK;
    } else if (is_shift(k) && (kb_lock_flags & KB_CAPS_LOCK) && kb_layout != KB_ENGLISH_US) {
      kb_lock_flags &= ~KB_CAPS_LOCK;
    }
    uint16_t m = 0;
    if (kb_lock_flags & KB_CAPS_LOCK) m |= MOD_CAPS;
    if (kb_lock_flags & KB_NUM_LOCK) m |= MOD_NUM;
    if (kb_lock_flags & KB_SCROLL_LOCK) m |= MOD_SCROLL;
    if (keys[0x2A]) m |= MOD_LSHIFT;
    if (keys[0x36]) m |= MOD_RSHIFT;
    if (keys[0x38]) m |= MOD_LALT;
    if (keys[0xB8]) m |= MOD_RALT;
    if (keys[0x1D]) m |= MOD_LCTRL;
    if (keys[0x9D]) m |= MOD_RCTRL;
    int next = (kb_put + 1) % KB_BUFFER_SIZE;
    if (next != kb_get) {
      kb_buffer[kb_put] = {uint8_t(k), m};
      kb_put = next;
    }
  }
  extended_code = 0;
  if (keys[0xC6]) {
    // Control-Break: everything is forgotten.
    std::memset(keys, 0, sizeof keys);
    keynumpress = 0;
    kb_put = kb_get = 0;
    VRK95_clear_time_stamps();
  }
}

// --- the DirectInput side ---

namespace {

bool is_grey(int c) {
  return c == 0x9C || c == 0x9D || c == 0xB5 || c == 0xB8 || (c >= 0xC7 && c <= 0xC9) || c == 0xCB || c == 0xCD ||
         (c >= 0xCF && c <= 0xD3);
}

}  // namespace

void VRK95_process_key(const plat_key_event* e) {
  if (!e) return;
  if (vcr_device_hook && vcr_device_hook(e->down)) return;
  const int code = e->code;
  int s = VRK95_key_map[code];
  if (is_grey(code)) {
    kb_simulate_key(0xE0);
    s -= 0x80;
  }
  if (!e->down) {
    s |= 0x80;
    VRK95_key_time_stamps[code].time = -1;
  } else {
    VRK95_key_time_stamps[code] = {int64_t(get_time()), 0};
  }
  kb_simulate_key(s);
}

void VRK95_build_key_map(void) {
  for (int c = 0; c < 256; ++c) {
    int s = 0;
    if ((c >= 0x01 && c <= 0x53) || c == 0x57 || c == 0x58 || is_grey(c)) s = c;
    else if (c == 0xB7) s = 0x54;
    else if ((c >= 0x64 && c <= 0x66) || c == 0x70 || c == 0x79 || c == 0x7B || c == 0x7D || c == 0x8D ||
             (c >= 0x90 && c <= 0x97) || c == 0xB3 || (c >= 0xDB && c <= 0xDD))
      s = 0xFF;
    VRK95_key_map[c] = uint8_t(s);
  }
  // The ISO key between left Shift and Z ("<>" on European keyboards).
  VRK95_key_map[0x56] = 0x56;
  // Every layout keeps the keys in place: the key codes name places on the keyboard, as the
  // layouts' tables do, so no layout moves a key here.
}

void VRK95_clear_time_stamps(void) {
  for (auto& t : VRK95_key_time_stamps) t = {-1, 0};
}

void VRK95_repeat_keys(void) {
  const uint32_t now = get_time();
  for (int c = 0; c < 256; ++c) {
    TimeStamp& t = VRK95_key_time_stamps[c];
    if (t.time < 0) continue;
    const int wait = t.count == 0 ? VRK95_repeat_delay : VRK95_repeat_rate;
    if (elapsed_tocks(now, uint32_t(t.time)) > wait) {
      plat_key_event e = {uint8_t(c), 1};
      VRK95_process_key(&e);
      t = {int64_t(now), 1};
    }
  }
}
