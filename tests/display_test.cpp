// Display device and platform drivers: key mapping, command line, modes, palette, blits, focus,
// single instance, key batches and the BMP dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "platform/driver.h"
#include "platform/drivers_internal.h"
#include "platform/headless.h"
#include "platform/system.h"
#include "vrk/doscmdln.h"
#include "vrk/svga.h"
#include "vrk/winmain.h"

namespace {

bool has_driver(const char* name) {
  for (const plat_driver_entry* e = plat_driver_table(); e->name; ++e)
    if (std::strcmp(e->name, name) == 0) return true;
  return false;
}

// Starts the named driver with a fresh display state.
class DriverFixture : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(plat_driver_select("headless"), 0); VRK95_isActive = 1; }
  void TearDown() override {
    VRK95_reset_mode();
    VRK95_repaint_func = nullptr;
    plat_set_handlers(nullptr);
    plat_driver_shutdown();
  }
};

const uint8_t* frame(int* pitch = nullptr, int* bpp = nullptr) {
  return plat_headless_pixels(nullptr, nullptr, pitch, bpp);
}

}  // namespace

// --- SDL scancode -> DirectInput key code ---

TEST(SdlKeyMap, EveryKeyOfAFullKeyboard) {
  // (SDL scancode, DirectInput key code), written from the PC keyboard's scan-code chart.
  const std::vector<std::pair<int, int>> keys = {
      {41, 0x01}, {58, 0x3B}, {59, 0x3C}, {60, 0x3D}, {61, 0x3E}, {62, 0x3F}, {63, 0x40}, {64, 0x41},
      {65, 0x42}, {66, 0x43}, {67, 0x44}, {68, 0x57}, {69, 0x58},                        // Esc, F1-F12
      {53, 0x29}, {30, 0x02}, {31, 0x03}, {32, 0x04}, {33, 0x05}, {34, 0x06}, {35, 0x07}, {36, 0x08},
      {37, 0x09}, {38, 0x0A}, {39, 0x0B}, {45, 0x0C}, {46, 0x0D}, {42, 0x0E},            // ` 1-0 - = BS
      {43, 0x0F}, {20, 0x10}, {26, 0x11}, {8, 0x12}, {21, 0x13}, {23, 0x14}, {28, 0x15}, {24, 0x16},
      {12, 0x17}, {18, 0x18}, {19, 0x19}, {47, 0x1A}, {48, 0x1B}, {40, 0x1C},            // Tab Q-P [ ] Enter
      {57, 0x3A}, {4, 0x1E}, {22, 0x1F}, {7, 0x20}, {9, 0x21}, {10, 0x22}, {11, 0x23}, {13, 0x24},
      {14, 0x25}, {15, 0x26}, {51, 0x27}, {52, 0x28}, {49, 0x2B}, {50, 0x2B},            // Caps A-L ; ' \ #
      {225, 0x2A}, {100, 0x56}, {29, 0x2C}, {27, 0x2D}, {6, 0x2E}, {25, 0x2F}, {5, 0x30}, {17, 0x31},
      {16, 0x32}, {54, 0x33}, {55, 0x34}, {56, 0x35}, {229, 0x36},                       // LShift <> Z-M , . / RShift
      {224, 0x1D}, {227, 0xDB}, {226, 0x38}, {44, 0x39}, {230, 0xB8}, {231, 0xDC}, {101, 0xDD},
      {228, 0x9D},                                                                       // bottom row
      {70, 0xB7}, {71, 0x46}, {72, 0xC5},                                                // PrtSc ScrLk Pause
      {73, 0xD2}, {74, 0xC7}, {75, 0xC9}, {76, 0xD3}, {77, 0xCF}, {78, 0xD1},            // Ins Home PgUp Del End PgDn
      {82, 0xC8}, {80, 0xCB}, {81, 0xD0}, {79, 0xCD},                                    // arrows
      {83, 0x45}, {84, 0xB5}, {85, 0x37}, {86, 0x4A}, {95, 0x47}, {96, 0x48}, {97, 0x49}, {87, 0x4E},
      {92, 0x4B}, {93, 0x4C}, {94, 0x4D}, {89, 0x4F}, {90, 0x50}, {91, 0x51}, {88, 0x9C}, {98, 0x52},
      {99, 0x53},                                                                        // keypad
  };
  EXPECT_EQ(keys.size(), 106u);
  for (auto [sdl, dik] : keys) EXPECT_EQ(plat_sdl_scancode_to_dik(sdl), dik) << "SDL scancode " << sdl;

  // The grey keys are the 0xE0-prefixed ones: their code is 0x80 plus the scan code after the prefix.
  const std::vector<std::pair<int, int>> grey = {{88, 0x1C}, {228, 0x1D}, {84, 0x35}, {230, 0x38}, {74, 0x47},
                                                 {82, 0x48}, {75, 0x49}, {80, 0x4B}, {79, 0x4D}, {77, 0x4F},
                                                 {81, 0x50}, {78, 0x51}, {73, 0x52}, {76, 0x53}};
  for (auto [sdl, scan] : grey) EXPECT_EQ(plat_sdl_scancode_to_dik(sdl), 0x80 + scan) << "SDL scancode " << sdl;

  // Distinct keys get distinct codes (only the two keys beside Enter share the backslash code).
  std::set<int> codes;
  for (auto [sdl, dik] : keys) {
    if (sdl != 50) {
      EXPECT_TRUE(codes.insert(dik).second) << "duplicate code " << dik;
    }
  }
  EXPECT_EQ(plat_sdl_scancode_to_dik(0), 0);
  EXPECT_EQ(plat_sdl_scancode_to_dik(-1), 0);
  EXPECT_EQ(plat_sdl_scancode_to_dik(1000), 0);
}

// --- command line ---

TEST(DOSCmdLine, SplitsAtWhiteSpaceOnly) {
  DOSCmdLine rec;
  DOSCmdLineInit(&rec);
  ASSERT_EQ(DOSCmdLineCreate(&rec, "a  b\tc"), 1);
  ASSERT_EQ(rec.argc, 4);
  EXPECT_GT(std::strlen(rec.argv[0]), 0u);
  EXPECT_STREQ(rec.argv[1], "a");
  EXPECT_STREQ(rec.argv[2], "b");
  EXPECT_STREQ(rec.argv[3], "c");
  EXPECT_EQ(rec.argv[4], nullptr);
  DOSCmdLineDestroy(&rec);
  EXPECT_EQ(rec.argc, 0);
  EXPECT_EQ(rec.argv, nullptr);

  ASSERT_EQ(DOSCmdLineCreate(&rec, ""), 1);
  EXPECT_EQ(rec.argc, 1);
  DOSCmdLineDestroy(&rec);
  ASSERT_EQ(DOSCmdLineCreate(&rec, nullptr), 1);
  EXPECT_EQ(rec.argc, 1);
  DOSCmdLineDestroy(&rec);

  // Quotes are ordinary characters.
  ASSERT_EQ(DOSCmdLineCreate(&rec, " \"C:\\My Games\" x "), 1);
  ASSERT_EQ(rec.argc, 4);
  EXPECT_STREQ(rec.argv[1], "\"C:\\My");
  EXPECT_STREQ(rec.argv[2], "Games\"");
  EXPECT_EQ(DOSCmdLineFatalError(&rec), 0);
  EXPECT_EQ(rec.argc, 0);
  DOSCmdLineInit(nullptr);
}

// --- modes ---

TEST_F(DriverFixture, RefusedModesLeaveTheDisplayAlone) {
  ASSERT_EQ(init_mode_640_480(), 0);
  EXPECT_EQ(scr_size.lrx, 639);
  EXPECT_EQ(scr_size.lry, 479);
  EXPECT_EQ(scr_blit, VRK95_ShowRect);
  EXPECT_EQ(mouse_blit_trans, nullptr);
  VRK95_SetPaletteEntry(9, 1, 2, 3);
  uint8_t px = 9;
  scr_blit(&px, 1, 1, 0, 0, 1, 1, 10, 10);
  for (auto refused : {init_mode_640_200, init_mode_640_240, init_mode_800_300, init_mode_1024_384,
                       init_mode_1280_512, init_mode_640_480_16})
    EXPECT_EQ(refused(), -1);
  EXPECT_EQ(VRK95_init_mode_ex(640, 480, 24), -1);
  EXPECT_EQ(VRK95_init_mode_ex(0, 480, 8), -1);
  EXPECT_EQ(init_vesa_mode(0x101, 640, 480, 1), -1);
  int w = 0, h = 0, pitch = 0;
  const uint8_t* fb = plat_headless_pixels(&w, &h, &pitch, nullptr);
  ASSERT_NE(fb, nullptr);
  EXPECT_EQ(w, 640);
  EXPECT_EQ(h, 480);
  EXPECT_EQ(fb[10 * pitch + 10], 9);
  int r, g, b;
  ASSERT_EQ(VRK95_GetPaletteEntry(9, &r, &g, &b), 0);
  EXPECT_EQ((std::array{r, g, b}), (std::array{1, 2, 3}));
}

TEST_F(DriverFixture, NewModeHasGreyRampAndModeChangeKeepsPalette) {
  ASSERT_EQ(init_mode_640_480(), 0);
  int r, g, b;
  ASSERT_EQ(VRK95_GetPaletteEntry(200, &r, &g, &b), 0);
  EXPECT_EQ((std::array{r, g, b}), (std::array{50, 50, 50}));
  VRK95_SetPaletteEntry(1, 63, 0, 0);
  ASSERT_EQ(init_mode_800_600(), 0);
  ASSERT_EQ(init_mode_640_480(), 0);
  ASSERT_EQ(VRK95_GetPaletteEntry(1, &r, &g, &b), 0);
  EXPECT_EQ((std::array{r, g, b}), (std::array{63, 0, 0}));
  EXPECT_EQ(scr_size.lrx, 639);
  VRK95_reset_mode();
  VRK95_reset_mode();  // safe twice
  EXPECT_EQ(plat_headless_pixels(nullptr, nullptr, nullptr, nullptr), nullptr);
}

// --- palette ---

TEST_F(DriverFixture, PaletteRoundTripThroughTheDevice) {
  ASSERT_EQ(init_mode_640_480(), 0);
  int calls = 0;
  static int* counter;
  counter = &calls;
  set_update_palette_func([] { ++*counter; });
  std::array<uint8_t, 768> pal{};
  for (int i = 0; i < 768; ++i) pal[i] = uint8_t((i * 7) & 63);
  VRK95_SetPalette(pal.data());
  VRK95_SetPaletteEntry(5, 63, 0, 0);
  pal[15] = 63, pal[16] = 0, pal[17] = 0;
  EXPECT_EQ(calls, 2);
  set_update_palette_func(nullptr);
  const uint8_t* back = VRK95_GetPalette();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(0, std::memcmp(back, pal.data(), 768));
  std::array<uint8_t, 768> device{};
  plat_headless_palette(device.data());
  EXPECT_EQ(device, pal);

  // The screen colour of 6-bit 63 is 252: look at the palette of a dump.
  auto path = std::filesystem::temp_directory_path() / "display_test_pal.bmp";
  ASSERT_EQ(plat_headless_dump(path.string().c_str()), 0);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  in.close();
  std::filesystem::remove(path);
  ASSERT_EQ(bytes.size(), 640u * 480u + 1078u);
  EXPECT_EQ(bytes[54 + 5 * 4 + 2], 252);  // red of entry 5 (entries are blue, green, red, 0)
  EXPECT_EQ(bytes[54 + 5 * 4 + 1], 0);
  EXPECT_EQ(bytes[54 + 5 * 4 + 0], 0);
}

TEST(Palette, RecordedWithoutAMode) {
  VRK95_reset_mode();
  int before = VRK95_PaletteChanges();
  VRK95_SetPaletteEntry(3, 10, 20, 30);
  VRK95_SetPaletteEntry(300, 1, 1, 1);  // ignored
  int r, g, b;
  ASSERT_EQ(VRK95_GetPaletteEntry(3, &r, &g, &b), 0);
  EXPECT_EQ((std::array{r, g, b}), (std::array{10, 20, 30}));
  EXPECT_EQ(VRK95_GetPaletteEntry(256, &r, &g, &b), -1);
  EXPECT_EQ(VRK95_PaletteChanges(), before + 1);
}

TEST_F(DriverFixture, HiColourPixelsFollowThePalette) {
  ASSERT_EQ(init_mode_640_480_hi(), 0);
  EXPECT_EQ(scr_blit, VRK95_ShowRect16);
  EXPECT_NE(mouse_blit_trans, nullptr);
  EXPECT_EQ(w95rshift, 8);
  EXPECT_EQ(w95gshift, 3);
  EXPECT_EQ(w95bshift, -3);
  static int repaints;
  repaints = 0;
  VRK95_repaint_func = [](const Rect* r) { repaints += r->lrx == 639 && r->lry == 479; };
  VRK95_SetPaletteEntry(5, 63, 0, 0);
  EXPECT_EQ(repaints, 1);  // pixels on a hi-colour screen are redrawn after a palette change
  EXPECT_EQ(VRK95_Pal16[5], 0xF800);  // 63 -> 252 -> the top five bits of red
  int r, g, b;
  ASSERT_EQ(VRK95_GetPaletteEntry(5, &r, &g, &b), 0);
  EXPECT_EQ((std::array{r, g, b}), (std::array{63, 0, 0}));
  VRK95_pixel16_to_color(VRK95_color_to_pixel16(0, 63, 0), &r, &g, &b);
  EXPECT_EQ((std::array{r, g, b}), (std::array{0, 63, 0}));  // green keeps all six bits

  VRK95_SetPaletteEntry(6, 0, 0, 63);
  const uint8_t src[4] = {5, 6, 0, 5};
  scr_blit(src, 4, 1, 0, 0, 4, 1, 100, 20);
  mouse_blit_trans(src, 4, 1, 0, 0, 4, 1, 100, 21, 5);
  int pitch = 0, bpp = 0;
  const uint8_t* fb = frame(&pitch, &bpp);
  ASSERT_EQ(bpp, 16);
  auto at = [&](int x, int y) {
    uint16_t p;
    std::memcpy(&p, fb + y * pitch + x * 2, 2);
    return p;
  };
  EXPECT_EQ(at(100, 20), 0xF800);
  EXPECT_EQ(at(101, 20), 0x001F);
  EXPECT_EQ(at(103, 20), 0xF800);
  EXPECT_EQ(at(100, 21), 0);       // transparent index 5 leaves the screen
  EXPECT_EQ(at(101, 21), 0x001F);
  EXPECT_EQ(VRK95_ffs(0), 0);
  EXPECT_EQ(VRK95_ffs(0xF800), 15);
  EXPECT_EQ(VRK95_ffs(0x80000000u), 31);
}

// --- blits ---

TEST_F(DriverFixture, BlitsReadBackAndClipAtTheEdges) {
  ASSERT_EQ(init_mode_640_480(), 0);
  std::vector<uint8_t> src(16 * 8);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i + 1);
  scr_blit(src.data(), 16, 8, 2, 3, 5, 4, 600, 400);  // source (2,3) 5x4 -> screen (600,400)
  int pitch = 0;
  const uint8_t* fb = frame(&pitch);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x) EXPECT_EQ(fb[(400 + y) * pitch + 600 + x], src[(3 + y) * 16 + 2 + x]);
  EXPECT_EQ(fb[400 * pitch + 605], 0);
  // Past the right and bottom edges and the top-left corner: only the part on screen is drawn.
  scr_blit(src.data(), 16, 8, 0, 0, 16, 8, 632, 476);
  EXPECT_EQ(fb[479 * pitch + 639], src[3 * 16 + 7]);
  scr_blit(src.data(), 16, 8, 0, 0, 16, 8, -10, -5);
  EXPECT_EQ(fb[0], src[5 * 16 + 10]);
  EXPECT_EQ(fb[2 * pitch + 5], src[7 * 16 + 15]);
  // Wholly off screen, on every side: the screen does not change at all.
  const std::vector<uint8_t> before(fb, fb + size_t(480) * size_t(pitch));
  for (auto [x, y] : {std::pair{700, 10}, {10, 500}, {-16, 10}, {10, -8}, {640, 480}})
    scr_blit(src.data(), 16, 8, 0, 0, 16, 8, x, y);
  EXPECT_TRUE(std::equal(before.begin(), before.end(), frame(&pitch)));
}

TEST_F(DriverFixture, BackgroundProgramDrawsNothingAndRepaintsOnReturn) {
  ASSERT_EQ(init_mode_640_480(), 0);
  static std::vector<Rect> repaints;
  repaints.clear();
  VRK95_repaint_func = [](const Rect* r) { repaints.push_back(*r); };
  static const plat_handlers h = {VRK95_activate, [](int a, int b, int c, int d) {
                                    Rect r{a, b, c, d};
                                    VRK95_paint(&r);
                                  },
                                  [] { repaints.push_back({-7, -7, -7, -7}); }};
  plat_set_handlers(&h);
  plat_headless_focus(0);
  EXPECT_EQ(VRK95_isActive, 1);  // the system tells the program only when it pumps
  plat_pump();
  EXPECT_EQ(VRK95_isActive, 0);
  EXPECT_EQ(plat_headless_active(), 0);
  uint8_t px = 42;
  scr_blit(&px, 1, 1, 0, 0, 1, 1, 0, 0);
  EXPECT_EQ(frame()[0], 0);
  EXPECT_TRUE(repaints.empty());
  plat_headless_focus(1);
  plat_pump();
  EXPECT_EQ(VRK95_isActive, 1);
  ASSERT_EQ(repaints.size(), 1u);
  EXPECT_EQ(repaints[0].ulx, 0);
  EXPECT_EQ(repaints[0].lrx, 639);
  EXPECT_EQ(repaints[0].lry, 479);
  scr_blit(&px, 1, 1, 0, 0, 1, 1, 0, 0);
  EXPECT_EQ(frame()[0], 42);
  plat_headless_expose(1, 2, 3, 4);
  plat_pump();
  ASSERT_EQ(repaints.size(), 2u);
  EXPECT_EQ(repaints[1].lry, 4);
  plat_headless_close();
  plat_pump();
  ASSERT_EQ(repaints.size(), 3u);
  EXPECT_EQ(repaints[2].ulx, -7);
}

// --- input and clock ---

TEST_F(DriverFixture, KeysArriveInBatchesInOrderOnlyWhileAcquired) {
  plat_driver* d = plat_driver_get();
  ASSERT_NE(d, nullptr);
  plat_headless_key(0x1E, 1);
  plat_key_event ev{};
  EXPECT_EQ(plat_read_key(&ev), 0);  // not acquired
  EXPECT_EQ(d->acquire_keyboard(1), 0);  // no devices yet
  ASSERT_EQ(d->input_init(), 1);
  ASSERT_EQ(d->acquire_keyboard(1), 1);
  plat_flush_keys();
  for (int i = 0; i < 40; ++i) plat_headless_key(0x80 + i, i & 1);
  for (int i = 0; i < 40; ++i) {
    ASSERT_EQ(plat_read_key(&ev), 1) << i;
    EXPECT_EQ(ev.code, 0x80 + i);
    EXPECT_EQ(ev.down, i & 1);
  }
  EXPECT_EQ(plat_read_key(&ev), 0);

  ASSERT_EQ(d->acquire_mouse(1), 1);
  plat_headless_mouse(3, -2, 1);
  plat_headless_mouse(1, 0, 3);
  plat_mouse_state m{};
  ASSERT_EQ(plat_read_mouse(&m), 1);
  EXPECT_EQ(m.dx, 4);
  EXPECT_EQ(m.dy, -2);
  EXPECT_EQ(m.left, 1);
  EXPECT_EQ(m.right, 1);
  ASSERT_EQ(d->read_mouse(&m), 1);
  EXPECT_EQ(m.dx, 0);
  d->acquire_mouse(0);
  EXPECT_EQ(d->read_mouse(&m), 0);
  d->acquire_keyboard(0);
}

// --- entry ---

TEST(Entry, SecondInstanceEndsSilently) {
  intptr_t first = -1;
  ASSERT_EQ(plat_guard_acquire("VRK95MUTEX", &first), 1);
  static int ran;
  ran = 0;
  EXPECT_EQ(VRK95_WinMain("", 1, [](int, char**) { return ++ran; }), 0);
  EXPECT_EQ(ran, 0);
  plat_guard_release(first);

  ASSERT_EQ(plat_driver_select("headless"), 0);
  static int argc_seen;
  EXPECT_EQ(VRK95_WinMain("x y", 1, [](int argc, char**) { return argc_seen = argc; }), 1);
  EXPECT_EQ(argc_seen, 3);
  EXPECT_EQ(VRK95_app_status, 3);  // what the program returned is the process's status
  EXPECT_EQ(VRK95_isActive, 1);
  intptr_t again = -1;
  EXPECT_EQ(plat_guard_acquire("VRK95MUTEX", &again), 1);  // released after the program ended
  plat_guard_release(again);
  plat_set_handlers(nullptr);
  plat_driver_shutdown();
}

TEST(Drivers, TableAndChoice) {
  EXPECT_TRUE(has_driver("headless"));
  EXPECT_EQ(plat_driver_select("no-such-driver"), -1);
  EXPECT_EQ(plat_driver_get(), nullptr);
  EXPECT_EQ(init_mode_640_480(), -1);  // a driver that cannot start gives -1
  EXPECT_EQ(plat_driver_select("HEADLESS"), 0);
  ASSERT_NE(plat_driver_get(), nullptr);
  EXPECT_STREQ(plat_driver_get()->name, "headless");
  VRK95_set_title("Setup");
  EXPECT_STREQ(plat_headless_title(), "Setup");
  plat_driver_shutdown();
}

// --- the other drivers, where they can run ---

namespace {

void palette_and_blit_round_trip(const char* name) {
  ASSERT_EQ(plat_driver_select(name), 0) << name;
  VRK95_isActive = 1;
  ASSERT_EQ(init_mode_640_480(), 0) << name;
  std::array<uint8_t, 768> pal{};
  for (int i = 0; i < 768; ++i) pal[i] = uint8_t((i * 5 + 1) & 63);
  VRK95_SetPalette(pal.data());
  const uint8_t* back = VRK95_GetPalette();
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(0, std::memcmp(back, pal.data(), 768)) << name;
  std::vector<uint8_t> src(64 * 32);
  for (size_t i = 0; i < src.size(); ++i) src[i] = uint8_t(i * 13);
  scr_blit(src.data(), 64, 32, 0, 0, 64, 32, 100, 50);
  plat_surface s{};
  plat_driver* d = plat_driver_get();
  ASSERT_EQ(d->lock(&s), 0);
  int bad = 0;
  for (int y = 0; y < 32; ++y)
    for (int x = 0; x < 64; ++x) bad += s.pixels[(50 + y) * s.pitch + 100 + x] != src[y * 64 + x];
  d->unlock(0, 0, -1, -1);
  EXPECT_EQ(bad, 0) << name;
  // The input devices come up after the mode, are read without pumping, and go.
  ASSERT_EQ(d->input_init(), 1) << name;
  EXPECT_EQ(d->acquire_keyboard(1), 1) << name;
  EXPECT_EQ(d->acquire_mouse(1), 1) << name;
  plat_mouse_state m{};
  EXPECT_EQ(plat_read_mouse(&m), 1) << name;
  plat_key_event ev;
  for (int i = 0; i < 64 && plat_read_key(&ev); ++i) {
  }
  plat_wait_events(0);
  d->input_exit();
  EXPECT_EQ(plat_read_mouse(&m), 0) << name;
  VRK95_reset_mode();
  plat_driver_shutdown();
}

}  // namespace

TEST(SdlDriver, PaletteAndBlitRoundTrip) {
  if (!has_driver("sdl")) GTEST_SKIP() << "built without SDL2";
#if !defined(_WIN32)
  setenv("SDL_VIDEODRIVER", "dummy", 0);  // no display needed
#endif
  if (plat_driver_select("sdl") != 0) GTEST_SKIP() << "SDL video cannot start here";
  palette_and_blit_round_trip("sdl");
}

TEST(Win32Driver, PaletteAndPrimarySurfaceRoundTrip) {
  if (!has_driver("win32")) GTEST_SKIP() << "not a Windows build";
  // Under Wine the display needs an X server; the CI step runs this with Xvfb.
  const char* display = std::getenv("DISPLAY");
  const char* force = std::getenv("VRK_TEST_WIN32");
  if (!(display && *display) && !(force && *force)) GTEST_SKIP() << "no display";
  palette_and_blit_round_trip("win32");
}
