// The install panel on the headless driver with the real toolkit, over an emulated machine whose
// drives report the free space machine.ini gives them: its picture (golden), its keys, and what
// Next makes of the lists and the directory box.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>

#include "toolkit/fontmgr.h"
#include "engine/instutil.h"
#include "setup/panels.h"
#include "base/settings.h"
#include "engine/uninst.h"
#include "toolkit/widget.h"
#include "toolkit/window.h"
#include "tests/support/golden.h"
#include "tests/vrk_util.h"
#include "vrk/kb.h"
#ifndef _WIN32
#include "platform/host/machine.h"
#endif

namespace fs = std::filesystem;

namespace {

constexpr int kTab = 0x0F, kEnter = 0x1C, kEscape = 0x01, kBackspace = 0x0E, kShift = 0x2A, kAlt = 0x38;
constexpr int kDown = 0xD0;

const std::string kScript =
    "[Strings]\nInstSizeStr=Choose the size of the installation\nSelectDriveStr=Choose a drive\n"
    "SelectDirStr=Choose a directory\nButtonNext=Next\nButtonExit=Exit\nErrNoSpace=No drive has room for this.\n"
    "DriveListEntry=%c: %u MB\n[Install]\nTitle=Test Game\nTitleFont=100\n";
const std::string kTypes =
    "[Typical]\nList=typical.lst\nFullName=Typical (%.1f MB)\n[Full]\nList=full.lst\nFullName=Full (%.1f MB)\n";
const std::string kTwoTypes = "InstallTypes=Typical,Full\n" + kTypes, kOneType = "InstallTypes=Typical\n" + kTypes;
const std::map<std::string, std::string> kLists{{"typical.lst", "s=2000000\n"}, {"full.lst", "s=5000000\n"}};
constexpr uint64_t kMB = 1000000;
const std::map<std::string, uint64_t> kFourDrives{
    {"C", 900 * kMB}, {"D", 800 * kMB}, {"E", 700 * kMB}, {"F", 600 * kMB}};

// The screen under the panel at the last input poll while it was up, and the most windows seen.
bool seen = false;
Rect rect;
std::vector<uint8_t> shot;
int mostWindows = 0;

void watch() {
  mostWindows = std::max(mostWindows, num_windows);
  if (!windowGetName() || std::string(windowGetName()) != "installpanel") return;
  seen = windowGetRect(&rect);
  int w = 0, h = 0, pitch = 0, bpp = 0;
  const uint8_t* p = plat_headless_pixels(&w, &h, &pitch, &bpp);
  shot.clear();
  for (int y = rect.uly; y <= rect.lry; ++y)
    shot.insert(shot.end(), p + y * pitch + rect.ulx, p + y * pitch + rect.lrx + 1);
}

class Panel : public vrk_util::Stage {
 protected:
  std::unique_ptr<TempDir> scratch;
  fs::path root, oldCwd = fs::current_path();
  uint32_t t = 0;

  void SetUp() override {
    Stage::SetUp();
    scratch = std::make_unique<TempDir>("panels_test");
    root = scratch->path / "root";
    fs::create_directories(scratch->path / "medium");
    fs::current_path(scratch->path / "medium");
#ifndef _WIN32
    setenv("VRK_ROOT", root.c_str(), 1);
#endif
    destPath[0] = '\0';
    seen = false;
    mostWindows = 0;
  }
  void TearDown() override {
    remove_bk_process(watch);
    uninstDiscard();
    freeDriveSizes();
    FMExit();
    widgetsClose();
    windowClose();
    settingsClose();
    fs::current_path(oldCwd);
#ifndef _WIN32
    unsetenv("VRK_ROOT");
    os_host_reset();
#endif
    scratch.reset();
    Stage::TearDown();
  }

  // Drives with their free bytes, the medium's script (kScript, then `script`) and lists, the
  // types and drives, and a patterned "Main" of mainW x mainH in the main window's font.
  void start(const std::map<std::string, uint64_t>& freeSpace, const std::string& script,
             const std::map<std::string, std::string>& lists = kLists, int mainW = 640, int mainH = 480) {
    fs::create_directories(root);
    std::ofstream ini(root / "machine.ini");
    ini << "[FreeSpace]\n";
    for (const auto& [drive, bytes] : freeSpace) {
      fs::create_directories(root / drive);
      ini << drive << "=" << bytes << "\n";
    }
    ini.close();
#ifndef _WIN32
    os_host_reset();
#endif
    const std::string text = kScript + script;
    std::vector<kit_member> members{{"install.ini", std::vector<uint8_t>(text.begin(), text.end())},
                                    vrk_util::color_pal_member(),
                                    {"FONT0.FON", archive_util::read_file(golden_path("dejavu11.fon"))},
                                    {"FONT0.AAF", archive_util::read_file(golden_path("dejavu14.aaf"))}};
    for (const auto& [name, body] : lists) members.push_back({name, std::vector<uint8_t>(body.begin(), body.end())});
    std::string error;
    ASSERT_TRUE(kit_build_archive("install.dat", members, error)) << error;
    ASSERT_GE(db_init("install.dat", nullptr, nullptr), 0);
    ASSERT_EQ(initSettings(), 1);
    ASSERT_EQ(initInstTypes(), 1);
    initDriveSizes();
    win_set_minimized_title("panel test");
    initWindow(1, 1);
    ASSERT_EQ(createWindow("Main", 0, 0, mainW, mainH, 0, 0), 0);
    selectWindow("Main");
    uint8_t* screen = windowGetBuffer();
    for (int i = 0; i < mainW * mainH; ++i) {
      const int x = i % mainW, y = i / mainW;
      screen[i] = uint8_t((x + y) / 24 % 2 ? 45 + 36 * (y / 80 % 6) : 8 + x / 20 % 32);
    }
    windowShow();
    windowDraw();
    windowSetFont(0);
    ASSERT_EQ(FMInit(), 0);
    const text_manager fm = FMtext_manager();
    ASSERT_EQ(text_add_manager(&fm), 0);
    text_font(0);
    initWidgets();
    mouse_set_position(5, 5);  // off the panel
    t = get_time() + 100;
    add_bk_process(watch);
  }

  // A key on the timeline, 100 ms after the one before; `with` held around it (0: none).
  void key(int scan, int with = 0) {
    if (with) plat_headless_at_key(t - 20, with, 1);
    plat_headless_at_key(t, scan, 1);
    plat_headless_at_key(t + 5, scan, 0);
    if (with) plat_headless_at_key(t + 30, with, 0);
    t += 100;
  }
  // The panel's result; an Escape after the keys ends a panel that is still up.
  int run() {
    key(kEscape);
    const int result = panelInstall();
    plat_headless_clear_timeline();
    return result;
  }
  ::testing::AssertionResult golden(const char* name) {
    return golden_picture(name, shot.data(), rect.lrx - rect.ulx + 1, rect.lry - rect.uly + 1, 460);
  }
};

}  // namespace

#ifndef _WIN32
// Two types and four drives: title, size label, type list, drive label, drive list with its scroll
// buttons, directory box, Exit and Next, the focus on the type list; the panel goes with Escape.
TEST_F(Panel, TwoTypesAndFourDrives) {
  start(kFourDrives, kTwoTypes);
  EXPECT_EQ(run(), 1);
  ASSERT_TRUE(seen);
  EXPECT_EQ(rect.ulx, 92);  // x 90 on a multiple of 4, as managed windows are
  EXPECT_EQ(rect.lrx - rect.ulx + 1, 460);
  EXPECT_EQ(rect.uly, (480 - (rect.lry - rect.uly + 1)) / 2);
  EXPECT_TRUE(golden("panel_install.hex"));
  EXPECT_FALSE(windowGetDefined("installpanel"));
  EXPECT_STREQ(windowGetName(), "Main");
}

// One type and three drives: no type list nor its label (the drive label moves up), and no
// scroll buttons for three drives.
TEST_F(Panel, OneTypeHasNoTypeList) {
  start({{"C", 900 * kMB}, {"D", 800 * kMB}, {"E", 700 * kMB}}, kOneType);
  EXPECT_EQ(run(), 1);
  EXPECT_TRUE(golden("panel_install_one_type.hex"));
}

// Escape, Alt+X and Alt+F4 each end the installer from the panel, leaving nothing behind.
TEST_F(Panel, EscapeAltXAndAltF4Exit) {
  start(kFourDrives, kTwoTypes);
  for (auto [scan, with] : {std::pair{kEscape, 0}, {0x2D, kAlt}, {0x3E, kAlt}}) {
    t = get_time() + 100;
    key(scan, with);
    key(kTab);  // Next in the directory box, were the panel still up
    key(kTab);
    key(kEnter);
    EXPECT_EQ(panelInstall(), 1) << scan;
    plat_headless_clear_timeline();
    EXPECT_STREQ(destPath, "");
    EXPECT_FALSE(uninstIsOpen());
  }
}

// Tab twice reaches the directory box; a typed directory and Enter install to it on the selected
// first drive.
TEST_F(Panel, EnterInTheDirectoryBoxActsAsNext) {
  start(kFourDrives, kTwoTypes);
  key(kTab);
  key(kTab);
  for (int i = 0; i < 9; ++i) key(kBackspace);  // "\VELLACRD"
  for (char c : std::string("games")) key(kb_ascii_to_scan(c));
  key(kEnter);
  EXPECT_EQ(run(), 3);
  EXPECT_STREQ(destPath, "C:\\games");
  EXPECT_TRUE(fs::is_directory(root / "C" / "games"));
  EXPECT_TRUE(uninstIsOpen());
}

// Down in the type list, Tab and Down in the drive list, Shift-Tab twice round the ring to Next,
// Enter: the second type on the second drive.
TEST_F(Panel, TheSelectedTypeAndDriveGoToNext) {
  start(kFourDrives, kTwoTypes);
  key(kDown);
  key(kTab);
  key(kDown);
  key(kTab, kShift);
  key(kTab, kShift);
  key(kEnter);
  EXPECT_EQ(run(), 3);
  EXPECT_EQ(installType, 1);
  EXPECT_STREQ(destPath, "D:\\VELLACRD");
}

// A type that fits on no drive empties the drive list and shows "ErrNoSpace" in its place.
TEST_F(Panel, ATypeThatFitsNowhereShowsErrNoSpace) {
  start({{"C", 900 * kMB}, {"D", 800 * kMB}}, kTwoTypes,
        {{"typical.lst", "s=2000000\n"}, {"full.lst", "s=900000000000\n"}});
  key(kDown);
  EXPECT_EQ(run(), 1);
  EXPECT_EQ(panelDriveCount, 0);
  // The drive list with its frame: below the title, the size label, the type list and the label.
  text_font(100);
  const int T = text_height();
  text_font(0);
  const int F = text_height(), top = T + 35 + F + 8 + 3 * F + 31 + F + 8 - 3;
  EXPECT_TRUE(golden_picture("panel_no_space.hex", shot.data() + top * 460 + 92, 276, 3 * F + 8, 460));
}
#endif

// A panel that cannot be made (the window beneath is too small for it) says so and ends the
// installer rather than going on without a destination.
TEST_F(Panel, NoPanelWindowEndsTheInstaller) {
  start({{"C", 900 * kMB}}, kTwoTypes, kLists, 320, 240);
  const int before = num_windows;
  EXPECT_EQ(run(), 1);  // its Escape dismisses the message box
  EXPECT_FALSE(seen);
  EXPECT_GT(mostWindows, before);
  EXPECT_FALSE(windowGetDefined("installpanel"));
  EXPECT_STREQ(destPath, "");
}
