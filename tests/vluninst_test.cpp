// The uninstaller's engine: an install undone leaves the machine as it was; a user's file
// survives with its folders; a hostile or damaged log removes nothing it should not; a removal
// that fails keeps a log of what is left for a second run.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine_util.h"
#include "engine/registry.h"
#include "engine/undo.h"
#include "tests/support/files.h"
#include "tests/support/run_tool.h"

using namespace engine_util;

namespace {

[[maybe_unused]] void put(const fs::path& file, const std::string& text) {
  fs::create_directories(file.parent_path());
  write_whole_file(file, text);
}

class Uninstaller : public EngineTest {
 protected:
  void installSample() {
    makeMedium(defaultIni(), {{"typical.lst", "s=30000\nd=DATA\nd=DATA\\SUB\nf=game.exe\nf=readme.txt\nf=DATA\\SUB\\a.bin\n"}},
               {{"game.exe", content(20000, 1)}, {"readme.txt", "hello"}, {"DATA\\SUB\\a.bin", content(9000, 2)}});
    ASSERT_EQ(install(), 3);
  }
  int uninstall(const std::string& log, VluPlan* plan) {
    if (!vluReadPlan(log.c_str(), plan)) return -1;
    const int rc = vluRemove(plan, nullptr, nullptr);
    vluFreePlan(plan);
    return rc;
  }
  // The machine without the shared uninstaller, which the program itself looks after. A fresh
  // machine's registry comes into being on first use.
  std::map<std::string, std::string> machine() {
    char programs[INST_PATH_SIZE];
    GetProgramsDirectory(programs, sizeof programs);
    auto m = snapshot();
    for (auto it = m.begin(); it != m.end();)
      it = it->first.find("vluninst.exe") != std::string::npos ? m.erase(it) : std::next(it);
    return m;
  }
};

}  // namespace

#ifndef _WIN32
TEST_F(Uninstaller, InstallThenUninstallLeavesTheMachineAsItWas) {
  auto before = machine();
  installSample();
  ASSERT_NE(machine(), before);
  VluPlan plan;
  EXPECT_EQ(uninstall(dest + "\\uninst.log", &plan), VLU_ALL_REMOVED);
  EXPECT_EQ(machine(), before);
}

TEST_F(Uninstaller, AUsersFileSurvivesWithTheFoldersLeadingToIt) {
  installSample();
  put(host(dest + "\\DATA") + "/SUB/save.dat", "mine");
  VluPlan plan;
  EXPECT_EQ(uninstall(dest + "\\uninst.log", &plan), VLU_PARTIAL);
  EXPECT_EQ(slurp(host(dest + "\\DATA\\SUB\\save.dat")), "mine");
  EXPECT_FALSE(fs::exists(host(dest + "\\game.exe")));
  EXPECT_FALSE(fs::exists(host(dest + "\\DATA\\SUB\\a.bin")));
  EXPECT_FALSE(fs::exists(host(dest + "\\uninst.log")));  // kept folders are not a failure
}

// Every line naming a place an install cannot have made is skipped, and what it names survives.
TEST_F(Uninstaller, HostileLinesAreSkippedAndWhatTheyNameSurvives) {
  installSample();
  put(host("C:\\WINDOWS") + "/WIN.INI", "x");
  put(host("C:\\GAMES") + "/OTHER/keep.txt", "x");
  os_hkey k;
  ASSERT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "SYSTEM\\Keep", &k, nullptr), 0);
  os_reg_close(k);
  const std::string hostile[] = {
      "Copied C:\\WINDOWS\\WIN.INI",
      "Copied " + dest + "\\..\\OTHER\\keep.txt",
      "Copied " + dest + "/../OTHER/keep.txt",
      "Copied C:\\GAMES\\OTHER\\keep.txt",
      "Copied GAMES\\OTHER\\keep.txt",
      "Copied \\\\server\\share\\keep.txt",
      "MadeDir C:\\GAMES\\OTHER",
      "MadeDir C:\\",
      "MadeShortcut C:\\GAMES\\OTHER\\keep.txt",
      "MadeShortcut " + dest + "\\game.exe",
      "AddedRegKey \\\\HKEY_LOCAL_MACHINE\\SYSTEM\\Keep",
      "AddedRegKey \\\\HKEY_LOCAL_MACHINE\\SOFTWARE",
      "AddedRegKey \\\\HKEY_CURRENT_USER\\Software\\Microsoft",
      "Deleted C:\\GAMES\\OTHER\\keep.txt",
      "Copied",
  };
  std::string text = slurp(host(dest + "\\uninst.log"));
  size_t end = text.find("-- Log End--");
  std::string lines;
  for (const std::string& h : hostile) lines += h + "\n";
  text.insert(end, lines);
  put(host(dest + "\\uninst.log"), text);
  VluPlan plan;
  ASSERT_EQ(vluReadPlan((dest + "\\uninst.log").c_str(), &plan), 1);
  EXPECT_EQ(plan.skipped, int(std::size(hostile)));
  EXPECT_EQ(vluRemove(&plan, nullptr, nullptr), VLU_PARTIAL);  // C:\GAMES holds OTHER
  vluFreePlan(&plan);
  EXPECT_EQ(slurp(host("C:\\WINDOWS\\WIN.INI")), "x");
  EXPECT_EQ(slurp(host("C:\\GAMES\\OTHER\\keep.txt")), "x");
  EXPECT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, "SYSTEM\\Keep", &k), 0);
  os_reg_close(k);
  EXPECT_FALSE(fs::exists(host(dest)));
}

// A kill while the log was written can leave its last line cut, naming another path (here the
// user's file "read", where the line was to name "readme.txt"): that line is skipped.
TEST_F(Uninstaller, ALastLineCutByAKillIsSkipped) {
  installSample();
  put(host(dest) + "/read", "mine");
  std::string text = slurp(host(dest + "\\uninst.log"));
  text.erase(text.find("-- Log End--"));
  put(host(dest + "\\uninst.log"), text + "Copied " + dest + "\\read");
  VluPlan plan;
  ASSERT_EQ(vluReadPlan((dest + "\\uninst.log").c_str(), &plan), 1);
  EXPECT_EQ(plan.skipped, 1);
  EXPECT_EQ(vluRemove(&plan, nullptr, nullptr), VLU_PARTIAL);
  vluFreePlan(&plan);
  EXPECT_EQ(slurp(host(dest) + "/read"), "mine");
  EXPECT_FALSE(fs::exists(host(dest + "\\game.exe")));
}

// Lines naming another product's keys and shortcut, or a log at a drive root that is not the
// installer's running log: the uninstaller removes only what is still this install's and keeps
// the rest, marked as no longer the install's.
TEST_F(Uninstaller, AnotherProductsKeysAndShortcutSurviveLinesThatNameThem) {
  installSample();
  const std::string cv = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\";
  auto setKey = [](const std::string& key, const char* name, const char* value) {
    os_hkey k;
    ASSERT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, key.c_str(), &k, nullptr), 0);
    if (name) os_reg_set_string(k, name, value);
    os_reg_close(k);
  };
  setKey("SOFTWARE\\OtherCo\\Other", "Colour", "blue");
  setKey(cv + "App Paths\\other.exe", "Path", "C:\\OTHER");
  setKey(cv + "Uninstall\\Other", "UninstallString", "C:\\WINDOWS\\vluninst.exe -fC:\\OTHER\\uninst.log");
  char programs[INST_PATH_SIZE];
  ASSERT_EQ(GetProgramsDirectory(programs, sizeof programs), 1);
  const std::string link = std::string(programs) + "\\Other\\Other.lnk";
  ASSERT_EQ(os_mkdir((std::string(programs) + "\\Other").c_str()), 0);
  ASSERT_EQ(os_shell_link(link.c_str(), "C:\\OTHER\\other.exe", "Other", "C:\\OTHER", nullptr, 0, OS_SHOW_DEFAULT), 0);
  const std::string lines = "AddedRegKey \\\\HKEY_LOCAL_MACHINE\\SOFTWARE\\OtherCo\\Other\n"
                            "AddedRegKey \\\\HKEY_LOCAL_MACHINE\\" + cv + "App Paths\\other.exe\n"
                            "AddedRegKey \\\\HKEY_LOCAL_MACHINE\\" + cv + "Uninstall\\Other\n"
                            "MadeShortcut " + link + "\n";
  std::string text = slurp(host(dest + "\\uninst.log"));
  text.insert(text.find("-- Log End--"), lines);
  put(host(dest + "\\uninst.log"), text);
  VluPlan plan;
  ASSERT_EQ(vluReadPlan((dest + "\\uninst.log").c_str(), &plan), 1);
  EXPECT_EQ(vluRemove(&plan, nullptr, nullptr), VLU_PARTIAL);
  int foreign = 0;
  for (int i = 0; i < plan.count; ++i) foreign += plan.entries[i].foreign;
  EXPECT_EQ(foreign, 4);
  vluFreePlan(&plan);
  for (const std::string& key : {std::string("SOFTWARE\\OtherCo\\Other"), cv + "App Paths\\other.exe", cv + "Uninstall\\Other"}) {
    os_hkey k;
    EXPECT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, key.c_str(), &k), 0) << key;
    os_reg_close(k);
  }
  EXPECT_EQ(os_access(link.c_str()), 0);
  EXPECT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, (cv + "Uninstall\\Test Game").c_str(), nullptr), -1);

  // A log at a drive root that is not the installer's running log names nothing.
  put(host("C:\\WINDOWS") + "/SYSTEM.INI", "s");
  put(host("C:\\") + "/notes.log", "x\n-- Log Begin --\nCopied C:\\WINDOWS\\SYSTEM.INI\nMadeDir C:\\WINDOWS\n-- Log End--\n");
  ASSERT_EQ(vluReadPlan("C:\\notes.log", &plan), 1);
  EXPECT_EQ(plan.count, 0);
  vluFreePlan(&plan);
}

TEST_F(Uninstaller, ADamagedLogRemovesNothing) {
  installSample();
  const std::string good = slurp(host(dest + "\\uninst.log"));
  std::string noBegin = good, withNul = good, longLine = good;
  noBegin.erase(noBegin.find("-- Log Begin --"), 15);
  withNul[withNul.size() / 2] = '\0';
  longLine.insert(longLine.find("-- Log End--"), "Copied " + dest + "\\" + std::string(600, 'x') + "\n");
  for (const std::string& text : {noBegin, withNul, longLine, std::string()}) {
    put(host(dest + "\\uninst.log"), text);
    auto before = snapshot();
    VluPlan plan;
    EXPECT_EQ(uninstall(dest + "\\uninst.log", &plan), -1);
    EXPECT_EQ(snapshot(), before);
  }
}

// A file that cannot be removed keeps the log, listing only what is left; once the obstacle is
// gone a second run finishes.
TEST_F(Uninstaller, AFailedRemovalKeepsALogOfWhatIsLeft) {
  installSample();
  const std::string blocked = dest + "\\readme.txt";
  fs::remove(host(blocked));
  fs::create_directories(fs::path(host(dest)) / "readme.txt" / "inside");  // a folder os_remove cannot delete
  VluPlan plan;
  EXPECT_EQ(uninstall(dest + "\\uninst.log", &plan), VLU_PARTIAL);
  const std::vector<std::string> left = logEntries(dest);
  EXPECT_EQ(left, (std::vector<std::string>{"MadeDir C:\\GAMES", "MadeDir " + dest, "Copied " + blocked}));
  fs::remove_all(fs::path(host(dest)) / "readme.txt");
  EXPECT_EQ(uninstall(dest + "\\uninst.log", &plan), VLU_ALL_REMOVED);
  EXPECT_FALSE(fs::exists(host("C:\\GAMES")));
}
#endif

#if !defined(_WIN32) && defined(VLUNINST_EXE)
namespace {

// A played session that presses and releases each scan code in turn, one per pass.
std::string session(const std::vector<int>& scans) {
  std::string out;
  auto be32 = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) out += char(v >> s);
  };
  for (uint32_t v : {1u, 0u, 0u, 320u, 240u, 0u}) be32(v);
  uint32_t counter = 5;
  for (int scan : scans)
    for (int code : {scan, scan | 0x80}) {
      be32(2);
      be32(0);
      be32(counter += 5);
      out += char(0);
      out += char(code);
    }
  return out;
}

}  // namespace

// The program itself: /S removes everything, its own shared copy included, and exits 0; asked,
// Escape (No) removes nothing and exits 1, Enter (Yes) removes everything.
TEST_F(Uninstaller, TheProgramUndoesAnInstallSilentlyOrWhenTheUserSaysYes) {
  const auto before = machine();
  const auto whole = snapshot();
  installSample();
  ASSERT_EQ(copyUninstallToWindows(), 1);
  const std::string log = "-f" + dest + "\\uninst.log";
  ToolResult r = run_tool("timeout", {"60", VLUNINST_EXE, "/S", log}, tmp);
  os_host_reset();  // the program changed the machine: forget what this process had read of it
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(snapshot(), whole);  // the shared uninstaller went too: no other product names it

  ASSERT_EQ(install(), 3);  // again, from the same medium
  ASSERT_EQ(copyUninstallToWindows(), 1);
  const auto installed = snapshot();
  write_whole_file(tmp / "no.vcr", session({0x01}));  // Escape answers the question No
  setenv("VRK_VIDEO", "headless", 1);
  setenv("VRK_PLAY", (tmp / "no.vcr").c_str(), 1);
  r = run_tool("timeout", {"60", VLUNINST_EXE, log}, tmp);
  os_host_reset();
  EXPECT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(snapshot(), installed);
  write_whole_file(tmp / "yes.vcr", session({0x1C, 0x01}));  // Enter: Yes; Escape closes the closing message
  setenv("VRK_PLAY", (tmp / "yes.vcr").c_str(), 1);
  r = run_tool("timeout", {"60", VLUNINST_EXE, "-f", dest + "\\uninst.log"}, tmp);
  os_host_reset();
  unsetenv("VRK_PLAY");
  unsetenv("VRK_VIDEO");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(machine(), before);
  // Silent, it still says why: the log is gone with the install; a damaged log removes nothing.
  r = run_tool("timeout", {"60", VLUNINST_EXE, "/S", log}, tmp);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("There is nothing to remove"), std::string::npos) << r.err;
  put(host("C:\\") + "/damaged.log", "no begin line");
  r = run_tool("timeout", {"60", VLUNINST_EXE, "/S", "-fC:\\damaged.log"}, tmp);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot be read"), std::string::npos) << r.err;
}
#endif

#if !defined(_WIN32) && defined(VLUNINST_EXE)
// A product title wider than the screen: the question is shown over several lines and Enter
// answers it Yes.
TEST_F(Uninstaller, TheQuestionNamingALongTitleIsShownAndAnswered) {
  const auto before = machine();
  installSample();
  ASSERT_EQ(copyUninstallToWindows(), 1);
  const std::string logHost = host(dest + "\\uninst.log");
  std::string text = slurp(logHost);
  const size_t at = text.find("Program: ");
  ASSERT_NE(at, std::string::npos);
  std::string title = "The Collected Adventures";
  while (title.size() < 300) title += " of the Extraordinarily Long Product Title";
  text.insert(at + 9, title + " ");
  write_whole_file(logHost, text);
  write_whole_file(tmp / "yes.vcr", session({0x1C, 0x01}));  // Enter: Yes; Escape closes the closing message
  setenv("VRK_VIDEO", "headless", 1);
  setenv("VRK_PLAY", (tmp / "yes.vcr").c_str(), 1);
  ToolResult r = run_tool("timeout", {"60", VLUNINST_EXE, "-f" + dest + "\\uninst.log"}, tmp);
  os_host_reset();
  unsetenv("VRK_PLAY");
  unsetenv("VRK_VIDEO");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(machine(), before);
}
#endif
