// vrkdemo: the window system at work on 640 x 480 x 8. Overlapping windows (one textured, one
// transparent, one that the mouse drags), text typed into a window (held keys repeat; F2 switches
// between the English US and German layouts), a window with a menu bar (Alt-F, Alt-H or a click
// on a title) and a button that opens a message box, timed messages, the pause window (Alt-P,
// Escape ends it), screen dumps (Alt-C writes "scr%.5d.bmp", F12 the screen as the driver shows
// it to "vrkdemo.bmp"); Escape ends the program. Runs on every display driver
// (VRK_VIDEO picks one). The palette, font and texture come from an archive the demo packs at
// start (VRKDEMO_ARCHIVE names another one with the same members).
//
// For unattended runs the window system plays a recorded session (VRK_PLAY=FILE, and VRK_RECORD=FILE
// records one), on every driver alike.
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "color/color.h"
#include "db/db.h"
#include "kit/build.h"
#include "platform/bmp.h"
#include "platform/driver.h"
#include "vrk/button.h"
#include "vrk/grbuf.h"
#include "vrk/input.h"
#include "vrk/intrface.h"
#include "vrk/kb.h"
#include "vrk/mouse.h"
#include "vrk/svga.h"
#include "vrk/text.h"
#include "vrk/vrk.h"
#include "vrk/winmain.h"

extern const unsigned char demo_font[];
extern const size_t demo_font_size;

namespace {

constexpr int W = 640, H = 480;

// The palette: black, eight bars, 32 greys from 8, a 6 x 6 x 6 colour cube from 40.
std::array<uint8_t, 768> demo_palette() {
  std::array<uint8_t, 768> p{};
  const uint8_t bars[8][3] = {{63, 0, 0}, {0, 63, 0}, {0, 0, 63}, {63, 63, 0}, {0, 63, 63}, {63, 0, 63}, {63, 63, 63}, {63, 32, 0}};
  for (int i = 0; i < 7; ++i)
    for (int c = 0; c < 3; ++c) p[(1 + i) * 3 + c] = bars[i][c];
  for (int g = 0; g < 32; ++g) p[(8 + g) * 3] = p[(8 + g) * 3 + 1] = p[(8 + g) * 3 + 2] = uint8_t(g * 2 + 1);
  for (int i = 0; i < 216; ++i) {
    p[(40 + i) * 3] = uint8_t((i / 36) * 63 / 5);
    p[(40 + i) * 3 + 1] = uint8_t((i / 6 % 6) * 63 / 5);
    p[(40 + i) * 3 + 2] = uint8_t((i % 6) * 63 / 5);
  }
  return p;
}

void put_be(std::vector<uint8_t>& b, uint32_t v, int bytes) {
  for (int i = bytes - 1; i >= 0; --i) b.push_back(uint8_t(v >> (8 * i)));
}

// A 32 x 32 IFF texture: diagonal stripes of two browns over the palette's cube.
std::vector<uint8_t> texture_image(const std::array<uint8_t, 768>& pal) {
  std::vector<uint8_t> f = {'F', 'O', 'R', 'M', 0, 0, 0, 0, 'I', 'L', 'B', 'M', 'B', 'M', 'H', 'D'};
  put_be(f, 20, 4);
  put_be(f, 32, 2);
  put_be(f, 32, 2);
  for (int i = 0; i < 6; ++i) f.push_back(0);
  f.push_back(0);  // no compression
  for (int i = 0; i < 9; ++i) f.push_back(0);
  for (const char* c = "CMAP"; *c; ++c) f.push_back(uint8_t(*c));
  put_be(f, 768, 4);
  for (uint8_t v : pal) f.push_back(uint8_t(v << 2));
  for (const char* c = "BODY"; *c; ++c) f.push_back(uint8_t(*c));
  put_be(f, 32 * 32, 4);
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 32; ++x) f.push_back(uint8_t(((x + y) / 4) % 2 ? 40 + 36 * 2 + 6 * 1 : 40 + 36 * 3 + 6 * 2));
  return f;
}

// Packs "color.pal" (palette and its colour table), "font0.fon" and a texture into an archive.
bool make_archive(const std::string& path) {
  auto pal = demo_palette();
  std::array<uint8_t, 768> pal8{};
  for (int i = 0; i < 768; ++i) pal8[i] = uint8_t(pal[i] << 2 | pal[i] >> 4);
  colorBuildColorTable(pal8.data(), nullptr);
  std::vector<kit_member> members(4);
  members[0].path = "COLOR.PAL";
  members[0].data.assign(pal.begin(), pal.end());
  members[0].data.insert(members[0].data.end(), colorTable, colorTable + COLOR_TABLE_SIZE);
  members[1].path = "FONT0.FON";
  members[1].data.assign(demo_font, demo_font + demo_font_size);
  members[2].path = "STRIPES.IFF";
  members[2].data = texture_image(pal);
  const std::string desc = "stripes.iff\n80 60 20\n100 90 60\n40 25 10\n100 100 100\n100 100 30\n100 10 10\n";
  members[3].path = "STRIPES.TXT";
  members[3].data.assign(desc.begin(), desc.end());
  std::string error;
  if (!kit_build_archive(path, members, error)) {
    std::fprintf(stderr, "vrkdemo: %s\n", error.c_str());
    return false;
  }
  return true;
}

// --- the windows ---

int textured = -1, typing = -1, glass = -1, handle = -1, menus = -1;
constexpr int kFileKey = 289, kHelpKey = 291;  // Alt-F, Alt-H
constexpr int kMessageCode = 1001;             // the "Message" button
const char* const file_items[] = {"Message box", "Timed message", "", "Quit"};
const char* const help_items[] = {"About"};
std::string typed;
int last_code = -1;
bool quit = false;

void draw_typing() {
  win_fill(typing, 6, 6, win_width(typing) - 12, win_height(typing) - 12, 257);
  const int h = text_height();
  win_print(typing, "Type here (F2: layout, Alt-P: pause, Alt-C: dump)", 0, 12, 10, 260);
  std::string shown = typed.size() > 40 ? typed.substr(typed.size() - 40) : typed;
  win_print(typing, ("> " + shown + "_").c_str(), 0, 12, 14 + h, 7);
  char line[80];
  std::snprintf(line, sizeof line, "layout: %s   last code: %d", kb_get_layout() == KB_GERMAN ? "German" : "English US",
                last_code);
  win_print(typing, line, 0, 12, 18 + 2 * h, 259);
  win_draw(typing);
}

void make_windows() {
  win_set_bk_color(8 + 4);
  win_texture("stripes.txt");
  textured = win_add(24, 24, 300, 220, 256, 0);
  win_border(textured);
  win_print(textured, "A textured window", 0, 16, 14, 7);
  win_draw(textured);

  typing = win_add(150, 180, 420, 110, 257, 0);
  win_border(typing);
  draw_typing();

  glass = win_add(300, 40, 240, 200, 0, WIN_TRANSPARENT);
  uint8_t* g = win_get_buf(glass);
  draw_box(g, 240, 0, 0, 239, 199, 4);
  draw_circle(g, 240, 120, 100, 80, 3);
  draw_circle(g, 240, 120, 100, 60, 5);
  for (int i = 0; i < 200; i += 20) draw_line(g, 240, 0, i, 239, 199 - i, 6);
  text_to_buf(g + 10 * 240 + 10, "A transparent window", 220, 240, 7);
  win_draw(glass);

  handle = win_add(40, 300, 180, 100, 258, WIN_DRAGGABLE);
  win_border(handle);
  win_print(handle, "Drag me", 0, 16, 14, 7);
  win_shaded_box(handle, 16, 40, 160, 80, 258, 259);
  win_draw(handle);

  menus = win_add(396, 310, 232, 150, 256, 0);
  win_border(menus);
  const int h = text_height();
  win_register_menu_bar(menus, 6, 6, 220, h + 6, 7, 258);
  win_register_menu_pulldown(menus, 8, "File", kFileKey, 4, file_items, 7, 257);
  win_register_menu_pulldown(menus, 60, "Help", kHelpKey, 1, help_items, 7, 257);
  win_print(menus, "Alt-F, Alt-H: the menus", 0, 16, h + 22, 260 | TEXT_SHADOW);
  win_register_text_button(menus, 16, 64, -1, -1, -1, kMessageCode, "Message", 0);
  win_draw(menus);
}

// Writes what is on the screen (read back through the driver) as an 8-bit BMP.
void dump(const char* path) {
  std::vector<uint8_t> pixels(W * H);
  plat_present();
  plat_driver* d = plat_driver_get();
  plat_surface s{};
  bool locked = d && d->lock(&s) == 0;
  if (locked && s.bpp == 8 && s.width >= W && s.height >= H)
    for (int y = 0; y < H; ++y) std::memcpy(&pixels[y * W], s.pixels + size_t(y) * s.pitch, W);
  if (locked) d->unlock(0, 0, -1, -1);  // nothing changed
  const uint8_t* pal = VRK95_GetPalette();
  FILE* f = std::fopen(path, "wb");
  if (!f || !pal || plat_write_bmp8(f, W, H, pixels.data(), W, pal) != 0)
    std::fprintf(stderr, "vrkdemo: cannot write %s\n", path);
  if (f) std::fclose(f);
}

// A menu's choice comes as its hot key, then the item's index.
int menu_key = -1;
bool on_menu(int c) {
  if (menu_key == -1) {
    if (c != kFileKey && c != kHelpKey) return false;
    menu_key = c;
    return true;
  }
  const int key = menu_key;
  menu_key = -1;
  if (key == kFileKey && c == 0) win_msg("A message box, chosen from the File menu.", 180, 190, 260 | TEXT_SHADOW);
  if (key == kFileKey && c == 1) win_timed_msg("A timed message: it goes by itself.", 7 | TEXT_SHADOW);
  if (key == kFileKey && c == 3) quit = true;
  if (key == kHelpKey && c == 0)
    win_msg("vrkdemo: windows, buttons, menus\nand dialogs of the window system.", 180, 190, 260);
  return true;
}

void on_code(int c) {
  if (on_menu(c)) return;
  last_code = c;
  if (c == kMessageCode) win_msg("The button opened this box.\nEscape or Done closes it.", 200, 200, 260 | TEXT_SHADOW);
  if (c == 27) quit = true;
  if (c == 390) dump("vrkdemo.bmp");  // F12
  if (c == 316) kb_set_layout(kb_get_layout() == KB_GERMAN ? KB_ENGLISH_US : KB_GERMAN);  // F2
  if (c == 8 && !typed.empty()) typed.pop_back();
  if (c >= 32 && c < 127) typed.push_back(char(c));
  draw_typing();
}

// The input loop: one code per pass; a press on the draggable window drags it.
void run() {
  while (!quit) {
    int c = get_input();
    if (c == -2) {
      int x, y;
      get_input_position(&x, &y);
      if ((mouse_get_buttons() & MOUSE_LEFT_PRESSED) && win_get_top_win(x, y) == handle) win_drag(handle);
    } else if (c != -1) {
      on_code(c);
    }
    if (!quit && c == -1) plat_wait_events(10);
  }
}

int demo_main(int, char**) {
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
  plat_driver* d = plat_driver_get();
  char title[64];
  std::snprintf(title, sizeof title, "vrkdemo (%s)", d ? d->name : "no driver");
  win_set_minimized_title(title);
  int err = win_init(init_mode_640_480, nullptr, WIN_INIT_BUFFER);
  if (err != 0) {
    char text[80];
    std::snprintf(text, sizeof text, "vrkdemo: the window system cannot start (error %d).", err);
    VRKSystemError(text);
    db_exit();
    return 1;
  }
  win_buffering(1);
  make_windows();
  mouse_show();
  run();
  win_exit();
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
