// Main flow: panel sequence and result codes, the "End" programs with their macros, quoting,
// working directory and refusals, and the leak report at the end of clean-up.
#include "setup/main.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/instutil.h"
#include "setup/panels.h"
#include "kit/build.h"
#include "base/memdbg.h"
#include "base/settings.h"
#include "platform/os.h"
#include "tests/support/env.h"
#include "tests/support/files.h"
#include "tests/support/tempdir.h"
#ifndef _WIN32
#include "platform/host/machine.h"
#endif
#include "vrk/debug.h"

namespace fs = std::filesystem;

namespace {

struct SpawnCall {
  std::string path;
  std::string args;
  int wait;
  std::string cwd;
  int argc;
};
std::vector<SpawnCall> calls;
int spawnResult = 0;

int fakeSpawn(const char* path, const char* const* argv, int wait) {
  SpawnCall c{path, argv[1] ? argv[1] : "<null>", wait, "", 0};
  while (argv[c.argc]) ++c.argc;
  char cwd[MAIN_PATH_SIZE];
  if (os_getcwd(cwd, sizeof cwd) == 0) c.cwd = cwd;
  calls.push_back(c);
  return spawnResult;
}

std::string logText;
int captureLog(const char* text) {
  logText += text;
  return 0;
}

// Windows spells a directory as it was created or as it was named; either way the letters match.
bool strcasecmp_eq(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  return true;
}

std::vector<int> panelOrder;
int results[NUM_PANELS];
int panel0() { panelOrder.push_back(0); return results[0]; }
int panel1() { panelOrder.push_back(1); return results[1]; }
int panel2() { panelOrder.push_back(2); return results[2]; }

class MainFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    calls.clear();
    logText.clear();
    panelOrder.clear();
    spawnResult = 0;
    mainSpawn = fakeSpawn;
    ASSERT_EQ(initSettings(), 1);
    std::strcpy(sourcePath, "D:\\SETUP");
    std::strcpy(destPath, "C:\\GAMES\\MINE");
    runExternals = 0;
    installType = 0;
    std::memset(instTypes, 0, sizeof instTypes);
  }
  void TearDown() override {
    settingsClose();
    mainSpawn = os_spawn;
    debug_register_func(nullptr);
    for (panel_fn& p : panels) p = nullptr;
  }
  void setEnd(const char* key, const std::string& value) {
    ASSERT_EQ(cfgSetString(&settings, "End", key, value.c_str()), 1);
  }
  // Runs "Run" with `value` and returns the captured argument line ("<none>" when not started).
  std::string argsFor(const std::string& value) {
    calls.clear();
    setEnd("Run", value);
    runExternal("Run", 1);
    return calls.empty() ? "<none>" : calls.back().args;
  }
};

TEST_F(MainFlow, PanelResultsDecideTheSequenceAndTheExternals) {
  panels[0] = panel0;
  panels[1] = panel1;
  panels[2] = panel2;
  struct {
    int r0, r1, r2;
    std::vector<int> order;
    int externals;
  } cases[] = {
      {3, 3, 3, {0, 1, 2}, 1},
      {0, 0, 3, {0, 1, 2}, 1},
      {3, 3, 0, {0, 1, 2}, 0},
      {3, 3, 2, {0, 1, 2}, 0},
      {1, 3, 3, {0}, 0},
      {3, 1, 3, {0, 1}, 0},
      {3, 3, 1, {0, 1, 2}, 0},
  };
  for (const auto& c : cases) {
    panelOrder.clear();
    runExternals = 0;
    results[0] = c.r0;
    results[1] = c.r1;
    results[2] = c.r2;
    doInstall();
    EXPECT_EQ(panelOrder, c.order) << c.r0 << c.r1 << c.r2;
    EXPECT_EQ(runExternals, c.externals) << c.r0 << c.r1 << c.r2;
  }
}

TEST_F(MainFlow, CleanupRunsTheThreeProgramsInOrderAndReportsLeaksLast) {
  setEnd("ConfigExe", "setcfg.exe");
  setEnd("Run", "game.exe -first");
  setEnd("Run2", "readme.exe");
  runExternals = 1;
  debug_register_func(captureLog);
  cleanup();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].path, "setcfg.exe");
  EXPECT_EQ(calls[0].wait, 1);
  EXPECT_EQ(calls[1].path, "game.exe");
  EXPECT_EQ(calls[1].args, "-first");
  EXPECT_EQ(calls[1].wait, 1);
  EXPECT_EQ(calls[2].path, "readme.exe");
  EXPECT_EQ(calls[2].wait, 0);
  EXPECT_EQ(calls[0].argc, 2);  // program and one argument line, then the terminator
  EXPECT_EQ(calls[0].args, "");
  EXPECT_EQ(settingsInitialized, 0);
  std::string last = "bytes of total memory still allocated.\n";
  ASSERT_GE(logText.size(), last.size());
  EXPECT_EQ(logText.substr(logText.size() - last.size()), last);
  char report[80];
  std::snprintf(report, sizeof report, "\n%d bytes of total memory still allocated.\n", get_current_memory());
  EXPECT_NE(logText.find(report), std::string::npos) << logText;
}

TEST_F(MainFlow, CleanupSkipsEmptyValuesAndRunsNothingUnlessAsked) {
  setEnd("Run", "game.exe");
  runExternals = 0;
  cleanup();
  EXPECT_TRUE(calls.empty());
  ASSERT_EQ(initSettings(), 1);
  setEnd("Run", "game.exe");  // ConfigExe stays empty, Run2 absent
  runExternals = 1;
  cleanup();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, "game.exe");
}

TEST_F(MainFlow, DestinationIsQuotedOnlyWhenItHoldsABlank) {
  std::strcpy(destPath, "C:\\My Games");
  EXPECT_EQ(argsFor("setup.exe %destdir% /s"), "\"C:\\My Games\" /s");
  std::strcpy(destPath, "C:\\Games");
  EXPECT_EQ(argsFor("setup.exe %destdir% /s"), "C:\\Games /s");
  std::strcpy(destPath, "C:\\Tab\tGames");  // a tab is no reason to quote
  EXPECT_EQ(argsFor("setup.exe %destdir%"), "C:\\Tab\tGames");
  std::strcpy(sourcePath, "E:\\CD ROM");
  EXPECT_EQ(argsFor("x.exe %SrcDir%"), "\"E:\\CD ROM\"");
}

TEST_F(MainFlow, MacrosAreWholeTokensIgnoringCase) {
  std::strcpy(instTypes[1].name, "Full");
  std::strcpy(instTypes[1].fullName, "Full install (12.3 MB)");
  instTypes[1].size = 3000000000u;
  installType = 1;
  EXPECT_EQ(argsFor("p.exe %SRCDRIVE% %destdrive%"), "D: C:");
  EXPECT_EQ(argsFor("p.exe %instname% %instsize% %insttype%"), "\"Full install (12.3 MB)\" 3000000000 Full");
  EXPECT_EQ(argsFor("p.exe %OS% x%srcdrive%"), "WIN x%srcdrive%");
  EXPECT_EQ(argsFor("p.exe  a\t\tb   "), "a b");
  // An embedded "%os%" (first one only) is expanded over the whole argument line.
  EXPECT_EQ(argsFor("p.exe dir%os% more%os%"), "dirWIN more%os%");
}

TEST_F(MainFlow, ProgramNameExpandsOnlyTheFirstOs) {
  setEnd("Run", "game%os%%os%.exe");
  runExternal("Run", 1);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].path, "gameWIN%os%.exe");
  // The stored value is left whole.
  char* v = nullptr;
  cfgGetString(&settings, "End", "Run", &v);
  EXPECT_STREQ(v, "game%os%%os%.exe");
}

TEST_F(MainFlow, ResultFollowsTheStartCall) {
  setEnd("Run", "game.exe");
  spawnResult = 0;
  EXPECT_EQ(runExternal("Run", 1), 1);
  spawnResult = 5;
  EXPECT_EQ(runExternal("Run", 1), 0);
  spawnResult = -1;
  EXPECT_EQ(runExternal("Run", 0), 0);
  calls.clear();
  EXPECT_EQ(runExternal("Run2", 1), 0);  // absent
  setEnd("Run", " \t ");
  EXPECT_EQ(runExternal("Run", 1), 0);   // no program token
  EXPECT_TRUE(calls.empty());
}

TEST_F(MainFlow, OverlongLinesAreRefused) {
  debug_register_func(captureLog);
  EXPECT_EQ(argsFor("p.exe " + std::string(259, 'a')), std::string(259, 'a'));  // exactly fits
  EXPECT_EQ(argsFor("p.exe " + std::string(260, 'a')), "<none>");
  EXPECT_NE(logText.find("too long"), std::string::npos);
  EXPECT_EQ(argsFor("p.exe " + std::string(200, 'a') + " " + std::string(59, 'b')), "<none>");
  std::memset(destPath, 'd', 250);
  destPath[250] = '\0';
  EXPECT_EQ(argsFor("p.exe %destdir% /verylongswitch"), "<none>");
  std::strcpy(destPath, "C:\\X");
  EXPECT_EQ(argsFor(std::string(255, 'p')), "");
  EXPECT_EQ(argsFor(std::string(256, 'p')), "<none>");
}

// Paths are compared as the OS layer spells them, so the test holds on the emulated machine (where
// the start directory is the medium's root, "Z:\\") and on Windows alike.
TEST_F(MainFlow, ProgramInASubdirectoryStartsThere) {
  char before[MAIN_PATH_SIZE];
  ASSERT_EQ(os_getcwd(before, sizeof before), 0);
  std::string base = before;
  if (base.back() != '\\') base += '\\';
  fs::create_directories("runsub");
  setEnd("Run", "runsub\\prog.exe");
  runExternal("Run", 1);
  setEnd("Run", "prog.exe");
  runExternal("Run", 1);
  setEnd("Run", base + "runsub\\prog.exe");  // absolute: its own directory, wherever we are
  runExternal("Run", 1);
  char after[MAIN_PATH_SIZE];
  ASSERT_EQ(os_getcwd(after, sizeof after), 0);
  fs::remove_all("runsub");
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_TRUE(strcasecmp_eq(calls[0].path, base + "runsub\\prog.exe")) << calls[0].path;  // by its full path
  EXPECT_TRUE(strcasecmp_eq(calls[0].cwd, base + "runsub")) << calls[0].cwd;
  EXPECT_TRUE(strcasecmp_eq(calls[1].cwd, before)) << calls[1].cwd;
  EXPECT_TRUE(strcasecmp_eq(calls[2].cwd, base + "runsub")) << calls[2].cwd;
  EXPECT_STREQ(after, before);
}

// A real program in a subdirectory, started through the OS services: it runs in its own directory
// with the expanded arguments, and waiting gives its exit status (7: the start call did not
// return 0).
TEST_F(MainFlow, ARealProgramInASubdirectoryRunsThere) {
  mainSpawn = os_spawn;
  fs::create_directories("DX");
  fs::copy_file(SPAWN_PROBE, fs::path("DX") / "SETUP.EXE", fs::copy_options::overwrite_existing);
  setEnd("Run", "DX\\SETUP.EXE %destdir% %os%");
  EXPECT_EQ(runExternal("Run", 1), 0);
  const std::string out = read_whole_file(fs::path("DX") / "probe.out");
  fs::remove_all("DX");
  EXPECT_EQ(out, "C:\\GAMES\\MINE WIN\n");
}

// The whole run from vrk_main: the component services the shell's link object needs are started
// before the panels (a panel makes a shortcut) and stopped at the end.
int linkMade = -1;
std::string linkPath;  // on Windows the medium's own folder; on the host drive C (the medium is a disc there)
int shortcutPanel() {
  linkMade = os_shell_link(linkPath.c_str(), "C:\\GAME\\GAME.EXE", "Game", "C:\\GAME", nullptr, 0, OS_SHOW_DEFAULT) == 0
                 ? 1
                 : 0;
  return PANEL_QUIT;
}

TEST(MainRun, PanelsCanMakeShortcuts) {
  TempDir medium("main_run");
  const std::string ini = "[Install]\nInstallTypes=Typical\n[Typical]\nList=t.lst\n";
  // The whole start runs: the window system on the headless display with the medium's font.
  std::vector<kit_member> members = {{"install.ini", std::vector<uint8_t>(ini.begin(), ini.end())},
                                     {"t.lst", {'s', '=', '0', '\n'}},
                                     {"font0.fon", {}}};
  const std::string font = read_whole_file(fs::path(TEST_DATA_DIR) / "dejavu11.fon");
  members.back().data.assign(font.begin(), font.end());
  set_env("VRK_VIDEO", "headless");
  std::string error;
  ASSERT_TRUE(kit_build_archive(medium.file("install.dat"), members, error)) << error;
  const fs::path before = fs::current_path();
  fs::current_path(medium.path);
#ifndef _WIN32
  set_env("VRK_ROOT", (medium.path / "root").string().c_str());
  os_host_reset();  // the medium is the directory the program starts in
  linkPath = "C:\\made.lnk";
  const fs::path made = medium.path / "root" / "C" / "made.lnk";
#else
  linkPath = (medium.path / "made.lnk").string();
  const fs::path made = medium.path / "made.lnk";
#endif
  panels[0] = shortcutPanel;
  linkMade = -1;
  EXPECT_EQ(vrk_main(0, nullptr), 0);
  panels[0] = nullptr;
  set_env("VRK_VIDEO", nullptr);
  const bool exists = fs::exists(made);
  fs::current_path(before);
#ifndef _WIN32
  set_env("VRK_ROOT", nullptr);
  os_host_reset();
#endif
  EXPECT_EQ(linkMade, 1);
  EXPECT_TRUE(exists);
}

TEST(MainHelpers, QuotingAndMacroExpansionStayInsideTheirBuffers) {
  char buf[12] = "ab";
  EXPECT_EQ(strcatAddQuotes(buf, sizeof buf, "c d"), buf);
  EXPECT_STREQ(buf, "ab\"c d\"");
  EXPECT_EQ(strcatAddQuotes(buf, sizeof buf, "e f"), nullptr);  // would need 13 bytes
  EXPECT_STREQ(buf, "ab\"c d\"");
  EXPECT_EQ(strcatAddQuotes(buf, sizeof buf, "efgh"), buf);  // 11 characters: fits
  EXPECT_STREQ(buf, "ab\"c d\"efgh");

  char out[8];
  EXPECT_EQ(expandMacro(out, sizeof out, "a%os%b"), 1);
  EXPECT_STREQ(out, "aWINb");
  EXPECT_EQ(expandMacro(out, sizeof out, "plain"), 0);
  EXPECT_STREQ(out, "plain");
  EXPECT_EQ(expandMacro(out, sizeof out, "%OS%"), 0);  // only the lower-case form
  EXPECT_EQ(expandMacro(out, sizeof out, "toolong%os%"), 0);
  EXPECT_STREQ(out, "");
}

TEST(MainWrappers, ChargeTheTaggedAllocator) {
  int base = get_current_memory();
  void* a = assocMalloc(10);
  a = assocRealloc(a, 20);
  char* s = dbStrdup("xyz");
  void* d = dbMalloc(6);
  EXPECT_EQ(get_current_memory(), base + 30);
  assocFree(a);
  dbFree(s);
  dbFree(d);
  EXPECT_EQ(get_current_memory(), base);
}

}  // namespace
