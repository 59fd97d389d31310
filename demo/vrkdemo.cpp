// vrkdemo: sets 640 x 480 x 8, loads "color.pal" and a font through the archive layer, draws
// colour bars, a grey ramp and text, shows the last key and the mouse, dumps the screen as BMP
// on F12 and ends on Escape. Runs on every display driver (VRK_VIDEO picks one).
//
// For unattended runs, VRKDEMO_SCRIPT names a file of input lines, one every 10 ms of the clock:
//   key CODE DOWN        a DirectInput key code (0x1E, 30 ...) going down (1) or up (0)
//   mouse DX DY BUTTONS  relative motion and raw buttons (1 left, 2 right)
//   dump PATH            writes the screen as an 8-bit BMP
//   quit                 ends the program
// With the headless driver, key and mouse lines become events of its timeline and come back
// through the driver's reads like typed input; the program ends after the script (there is no
// one to type). On the other drivers they go to the program directly, and live input is read
// but set aside until the script is done, so that every driver shows the same picture.
// VRKDEMO_ARCHIVE names an archive holding "color.pal" and "font0.fon" to use instead of the
// built-in ones.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "kit/build.h"
#include "db/db.h"
#include "platform/bmp.h"
#include "platform/driver.h"
#include "platform/headless.h"
#include "vrk/grbuf.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/winmain.h"

extern const unsigned char demo_font[];
extern const size_t demo_font_size;

namespace {

constexpr int W = 640, H = 480;
constexpr int kWhite = 255, kBlack = 0, kGreyBase = 16;

std::vector<uint8_t> screen(W * H);
int last_key = -1, last_down = 0;
int mouse_x = W / 2, mouse_y = H / 2, mouse_buttons = 0;
bool quit = false;

std::array<uint8_t, 768> demo_palette() {
  std::array<uint8_t, 768> p{};
  const uint8_t bars[8][3] = {{63, 0, 0}, {0, 63, 0}, {0, 0, 63}, {63, 63, 0},
                              {0, 63, 63}, {63, 0, 63}, {63, 63, 63}, {63, 32, 0}};
  for (int i = 0; i < 8; ++i)
    for (int c = 0; c < 3; ++c) p[(1 + i) * 3 + c] = bars[i][c];
  for (int g = 0; g < 64; ++g) p[(kGreyBase + g) * 3] = p[(kGreyBase + g) * 3 + 1] = p[(kGreyBase + g) * 3 + 2] = uint8_t(g);
  p[kWhite * 3] = p[kWhite * 3 + 1] = p[kWhite * 3 + 2] = 63;
  return p;
}

// Packs "color.pal" (palette and an empty colour table) and "font0.fon" into an archive.
bool make_archive(const std::string& path) {
  std::vector<kit_member> members(2);
  auto pal = demo_palette();
  members[0].path = "COLOR.PAL";
  members[0].data.assign(pal.begin(), pal.end());
  members[0].data.resize(768 + 32768, 0);
  members[1].path = "FONT0.FON";
  members[1].data.assign(demo_font, demo_font + demo_font_size);
  std::string error;
  if (!kit_build_archive(path, members, error)) {
    std::fprintf(stderr, "vrkdemo: %s\n", error.c_str());
    return false;
  }
  return true;
}

void draw() {
  buf_fill(screen.data(), W, H, W, kBlack);
  for (int i = 0; i < 8; ++i) buf_fill(screen.data() + 40 * W + 40 + i * 70, 60, 120, W, 1 + i);
  for (int g = 0; g < 64; ++g) buf_fill(screen.data() + 190 * W + 40 + g * 9, 9, 60, W, kGreyBase + g);
  draw_box(screen.data(), W, 20, 20, W - 21, H - 21, kWhite);
  char line[128];
  // The driver's name goes to the title, not the screen: every driver must show the same picture.
  text_to_buf(screen.data() + 280 * W + 40, "vrkdemo - F12 dumps the screen, Escape ends", W - 80, W, kWhite);
  if (last_key >= 0)
    std::snprintf(line, sizeof line, "last key: 0x%02X %s", last_key, last_down ? "down" : "up");
  else
    std::snprintf(line, sizeof line, "last key: none");
  text_to_buf(screen.data() + 310 * W + 40, line, W - 80, W, kWhite);
  std::snprintf(line, sizeof line, "mouse: %d, %d  buttons %d", mouse_x, mouse_y, mouse_buttons);
  text_to_buf(screen.data() + 340 * W + 40, line, W - 80, W, kWhite);
  // A small cross at the mouse position.
  draw_line(screen.data(), W, mouse_x > 4 ? mouse_x - 4 : 0, mouse_y, mouse_x < W - 5 ? mouse_x + 5 : W - 1, mouse_y, kWhite);
  draw_line(screen.data(), W, mouse_x, mouse_y > 4 ? mouse_y - 4 : 0, mouse_x, mouse_y < H - 5 ? mouse_y + 4 : H - 1, kWhite);
}

void show() {
  if (scr_blit) scr_blit(screen.data(), W, H, 0, 0, W, H, 0, 0);
}

void repaint(const Rect*) { show(); }

// Writes what is on the screen (read back through the driver) as an 8-bit BMP.
void dump(const char* path) {
  std::vector<uint8_t> pixels(W * H);
  plat_driver* d = plat_driver_get();
  plat_surface s{};
  bool locked = d && d->lock(&s) == 0;
  if (locked && s.bpp == 8 && s.width >= W && s.height >= H) {
    for (int y = 0; y < H; ++y) std::memcpy(&pixels[y * W], s.pixels + size_t(y) * s.pitch, W);
  } else {
    pixels = screen;
  }
  if (locked) d->unlock(0, 0, -1, -1);  // nothing changed
  const uint8_t* pal = VRK95_GetPalette();
  FILE* f = std::fopen(path, "wb");
  if (!f || !pal || plat_write_bmp8(f, W, H, pixels.data(), W, pal) != 0)
    std::fprintf(stderr, "vrkdemo: cannot write %s\n", path);
  if (f) std::fclose(f);
}

void on_key(int code, int down) {
  last_key = code;
  last_down = down;
  if (code == 0x01 && down) quit = true;
  if (code == 0x58 && down) dump("vrkdemo.bmp");
}

void on_mouse(int dx, int dy, int buttons) {
  mouse_x = std::clamp(mouse_x + dx, 0, W - 1);
  mouse_y = std::clamp(mouse_y + dy, 0, H - 1);
  mouse_buttons = buttons;
}

// One line of the script, due at a time of the clock.
struct Step {
  uint32_t time;
  enum { key, mouse, dump, quit } kind;
  int a, b, c;
  std::string path;
};

std::vector<Step> read_script(const char* path, uint32_t start) {
  std::vector<Step> steps;
  FILE* f = std::fopen(path, "r");
  if (!f) {
    std::fprintf(stderr, "vrkdemo: cannot read %s\n", path);
    return steps;
  }
  char line[512];
  while (std::fgets(line, sizeof line, f)) {
    char word[16] = {};
    char arg[400] = {};
    long a = 0, b = 0, c = 0;
    uint32_t at = start + 10 * uint32_t(steps.size() + 1);
    if (std::sscanf(line, "%15s", word) != 1 || word[0] == '#') continue;
    if (!std::strcmp(word, "key") && std::sscanf(line, "%*s %li %li", &a, &b) == 2)
      steps.push_back({at, Step::key, int(a & 0xFF), b != 0, 0, {}});
    else if (!std::strcmp(word, "mouse") && std::sscanf(line, "%*s %li %li %li", &a, &b, &c) == 3)
      steps.push_back({at, Step::mouse, int(a), int(b), int(c), {}});
    else if (!std::strcmp(word, "dump") && std::sscanf(line, "%*s %399s", arg) == 1)
      steps.push_back({at, Step::dump, 0, 0, 0, arg});
    else if (!std::strcmp(word, "quit"))
      steps.push_back({at, Step::quit, 0, 0, 0, {}});
  }
  std::fclose(f);
  return steps;
}

// The input loop: one pass pumps, reads keys and mouse through the platform, plays the script
// lines that are due, redraws what changed and waits for the next event.
void run(bool headless) {
  std::vector<Step> steps;
  const char* script = std::getenv("VRKDEMO_SCRIPT");
  if (script && *script) steps = read_script(script, plat_time_ms());
  size_t next = 0;
  if (headless) {
    // Typed input for the headless driver: its timeline delivers it through the reads.
    for (const Step& s : steps) {
      if (s.kind == Step::key) plat_headless_at_key(s.time, s.a, s.b);
      if (s.kind == Step::mouse) plat_headless_at_mouse(s.time, s.a, s.b, s.c);
    }
  }
  while (!quit) {
    plat_pump();
    bool live = headless || next == steps.size();
    bool changed = false;
    plat_key_event ev;
    while (plat_read_key(&ev)) {
      if (live) on_key(ev.code, ev.down);
      changed = true;
    }
    plat_mouse_state m{};
    if (plat_read_mouse(&m) && live && (m.dx || m.dy || (m.left | m.right << 1) != mouse_buttons)) {
      on_mouse(m.dx, m.dy, m.left | m.right << 1);
      changed = true;
    }
    uint32_t now = plat_time_ms();
    for (; next < steps.size() && steps[next].time <= now && !quit; ++next) {
      const Step& s = steps[next];
      if (s.kind == Step::key && !headless) on_key(s.a, s.b);
      if (s.kind == Step::mouse && !headless) on_mouse(s.a, s.b, s.c);
      if (s.kind == Step::quit) quit = true;
      if (s.kind == Step::dump) {
        draw();
        show();
        dump(s.path.c_str());
      }
      changed = true;
    }
    if (changed) {
      draw();
      show();
    }
    if (headless && next == steps.size() && plat_headless_pending() == 0) quit = true;
    int wait = 10;
    if (next < steps.size()) wait = int(std::min<uint32_t>(10, steps[next].time - now));
    if (!quit) plat_wait_events(wait);
  }
}

int demo_main(int, char**) {
  // VRKDEMO_ARCHIVE names an archive with "color.pal" and "font0.fon" made by setupkit; without
  // it the demo packs its own (the palette above and the font it carries).
  const char* given = std::getenv("VRKDEMO_ARCHIVE");
  bool own = !(given && *given);
  // A name of its own, so that demos running side by side (the tests do) never share the file;
  // made in the current directory, where the program finds its own files.
  std::string name = "vrkdemo-" + std::to_string(std::random_device{}()) + ".dat";
  std::string archive = own ? name : given;
  if ((own && !make_archive(archive)) || db_init(archive.c_str(), nullptr, nullptr) == -1) {
    VRKSystemError(own ? "vrkdemo: cannot build or open its archive." : "vrkdemo: cannot open VRKDEMO_ARCHIVE.");
    return 1;
  }
  if (VRK_text_init() != 0) {
    VRKSystemError("vrkdemo: cannot load font0.fon from the archive.");
    return 1;
  }
  char title[64];
  std::snprintf(title, sizeof title, "vrkdemo (%s)", plat_driver_get() ? plat_driver_get()->name : "no driver");
  VRK95_set_title(title);
  if (init_mode_640_480() != 0) {
    VRKSystemError("vrkdemo: cannot set 640 x 480 x 8.");
    return 1;
  }
  std::array<uint8_t, 768> pal{};
  db_file* pf = db_fopen("color.pal", "rb");
  if (!pf || db_fread(pal.data(), 1, pal.size(), pf) != pal.size()) {
    if (pf) db_fclose(pf);
    VRK95_reset_mode();
    VRKSystemError("vrkdemo: cannot read color.pal.");
    return 1;
  }
  db_fclose(pf);
  VRK95_SetPalette(pal.data());
  VRK95_repaint_func = repaint;
  plat_driver* d = plat_driver_get();
  if (!d->input_init() || !d->acquire_keyboard(1) || !d->acquire_mouse(1))
    std::fprintf(stderr, "vrkdemo: keyboard or mouse not available; showing the screen only\n");
  d->hook_timer(1);
  draw();
  show();
  run(std::strcmp(d->name, "headless") == 0);
  d->hook_timer(0);
  d->acquire_mouse(0);
  d->acquire_keyboard(0);
  d->input_exit();
  VRK95_repaint_func = nullptr;
  VRK95_reset_mode();
  VRK_text_exit();
  db_exit();
  std::error_code ec;
  if (own) std::filesystem::remove(archive, ec);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // The command line the entry splits again: the words after the program name.
  std::string line;
  for (int i = 1; i < argc; ++i) (line += i > 1 ? " " : "") += argv[i];
  int r = VRK95_WinMain(line.c_str(), 1, demo_main);
  plat_driver_shutdown();
  return r == 1 ? 0 : 1;
}
