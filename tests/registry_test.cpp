// Registry keys and shortcuts on the emulated machine: every new key level logged once, outermost
// first; nothing logged over an existing install; App Paths and Uninstall values; shortcuts only
// to installed files. Host only: under Wine these would change the prefix's own registry.
#ifndef _WIN32
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdarg>

#include "engine_util.h"

using namespace engine_util;

namespace {

std::vector<std::string> logged;
int captureLog(const char* format, ...) {
  char buf[1024];
  va_list args;
  va_start(args, format);
  int n = std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  logged.push_back(buf);
  return n;
}

std::string value(os_reg_root root, const char* path, const char* name) {
  os_hkey key = nullptr;
  if (os_reg_open(root, path, &key) != 0) return "<no key>";
  char buf[600];
  std::string out = os_reg_get_string(key, name, buf, sizeof buf) == 0 ? buf : "<no value>";
  os_reg_close(key);
  return out;
}

class Registry : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    logged.clear();
    regSetLogFunc(captureLog);
  }
  std::vector<std::string> keyEntries(const std::vector<std::string>& entries) {
    std::vector<std::string> out;
    for (const auto& e : entries)
      if (e.rfind("AddedRegKey ", 0) == 0) out.push_back(e);
    return out;
  }
};

const std::string HKLM = "AddedRegKey \\\\HKEY_LOCAL_MACHINE\\";

TEST_F(Registry, NewLevelsAreLoggedOnceOutermostFirstAndNeverAgain) {
  makeMedium(defaultIni(), {}, {});
  ASSERT_EQ(regCreateKey(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\TestCo", nullptr), 1);
  logged.clear();
  EXPECT_EQ(regAddAppKeys("TestCo", "Test Game", "1.0", "C:\\GAMES\\FOO", "FOO.EXE"), 1);
  // The company existed: only the title and version levels are new, title first.
  ASSERT_GE(logged.size(), 3u);
  EXPECT_EQ(logged[0], HKLM + "SOFTWARE\\TestCo\\Test Game");
  EXPECT_EQ(logged[1], HKLM + "SOFTWARE\\TestCo\\Test Game\\1.0");
  EXPECT_EQ(logged.back(), HKLM + "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\FOO.EXE");
  std::vector<std::string> sorted = logged;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(std::adjacent_find(sorted.begin(), sorted.end()), sorted.end());
  // Each logged key's parent is either logged before it or existed already.
  for (size_t i = 1; i < logged.size(); ++i) EXPECT_NE(logged[i - 1], logged[i]);

  const char* appPaths = "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\FOO.EXE";
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, appPaths, ""), "C:\\GAMES\\FOO\\FOO.EXE");
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, appPaths, "Path"), "C:\\GAMES\\FOO");

  logged.clear();
  EXPECT_EQ(regAddAppKeys("TestCo", "Test Game", "1.0", "D:\\", "FOO.EXE"), 1);
  EXPECT_TRUE(logged.empty());
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, appPaths, ""), "D:\\FOO.EXE");
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, appPaths, "Path"), "D:\\");
}

TEST_F(Registry, UninstallKeyStartsTheUninstallerWithTheLog) {
  makeMedium(defaultIni(), {}, {});
  EXPECT_EQ(regAddUninstallKey("Test Game", "C:\\GAMES\\TEST"), 1);
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Test Game";
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, key, "DisplayName"), "Test Game");
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, key, "UninstallString"),
            "C:\\WINDOWS\\vluninst.exe -fC:\\GAMES\\TEST\\uninst.log");
  EXPECT_EQ(logged.back(), HKLM + key);
  EXPECT_EQ(regAddUninstallKey(std::string(300, 't').c_str(), "C:\\X"), 0);
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0].rfind("Cannot make key ", 0), 0u);
}

TEST_F(Registry, CreateKeyHandsTheOpenKeyToTheCaller) {
  makeMedium(defaultIni(), {}, {});
  os_hkey key = nullptr;
  ASSERT_EQ(regCreateKey(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B\\", &key), 1);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(os_reg_set_string(key, "v", "w"), 0);
  os_reg_close(key);
  EXPECT_EQ(value(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\A\\B", "v"), "w");
  EXPECT_EQ(logged, (std::vector<std::string>{HKLM + "SOFTWARE\\A", HKLM + "SOFTWARE\\A\\B"}));
  EXPECT_EQ(regCreateKey(OS_HKEY_LOCAL_MACHINE, std::string(300, 'k').c_str(), &key), 0);
}

TEST_F(Registry, InstallMakesShortcutsOnlyToInstalledFilesAndASecondRunCarriesTheFirst) {
  makeMedium(defaultIni(), {{"typical.lst", "s=10\nf=game.exe\n"}}, {{"game.exe", "0123456789"}});
  EXPECT_EQ(install(), 3);
  const std::string folder = "C:\\WINDOWS\\Start Menu\\Programs\\Test Game";
  auto entries = logEntries(dest);
  EXPECT_NE(std::find(entries.begin(), entries.end(), "MadeDir " + folder), entries.end());
  EXPECT_NE(std::find(entries.begin(), entries.end(), "MadeShortcut " + folder + "\\Test Game.lnk"), entries.end());
  for (const auto& e : entries) EXPECT_EQ(e.find("Readme"), std::string::npos) << e;
  EXPECT_TRUE(fs::exists(host(folder + "\\Test Game.lnk")));
  EXPECT_FALSE(fs::exists(host(folder + "\\Readme.lnk")));
  // A fresh machine already has SOFTWARE, App Paths and Uninstall: only the product's own keys
  // are logged, so the uninstaller never removes a system key.
  const std::string cv = HKLM + "Software\\Microsoft\\Windows\\CurrentVersion\\";
  EXPECT_EQ(keyEntries(entries),
            (std::vector<std::string>{HKLM + "SOFTWARE\\TestCo", HKLM + "SOFTWARE\\TestCo\\Test Game",
                                      HKLM + "SOFTWARE\\TestCo\\Test Game\\1.0", cv + "App Paths\\game.exe",
                                      cv + "Uninstall\\Test Game"}));
  EXPECT_TRUE(fs::exists(host("C:\\WINDOWS\\vluninst.exe")));

  // The same product again: its log carries the first install's entries, so that one uninstall
  // takes off both; the run itself made no key, folder or shortcut (they were there).
  const auto first = entries;
  uiScriptReset();
  EXPECT_EQ(install(), 3);
  entries = logEntries(dest);
  const auto marker = std::find(entries.begin(), entries.end(), "-- Run Begin --");
  ASSERT_NE(marker, entries.end());
  EXPECT_EQ(std::vector<std::string>(entries.begin(), marker), first);
  const std::vector<std::string> run(marker + 1, entries.end());
  EXPECT_TRUE(keyEntries(run).empty());
  for (const auto& e : run) EXPECT_EQ(e.find("Programs"), std::string::npos) << e;
  EXPECT_TRUE(fs::exists(host(folder + "\\Test Game.lnk")));
}

TEST_F(Registry, MissingRegistryValuesSkipTheKeysButNotTheShortcuts) {
  makeMedium(defaultIni("[Registry Settings]\nExecutable=\n"), {{"typical.lst", "f=game.exe\n"}}, {{"game.exe", "x"}});
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(boxes(), std::vector<std::string>{"Some registry entries are missing in INSTALL.INI!"});
  auto entries = logEntries(dest);
  EXPECT_TRUE(keyEntries(entries).empty());
  EXPECT_TRUE(std::any_of(entries.begin(), entries.end(),
                          [](const std::string& e) { return e.rfind("MadeShortcut ", 0) == 0; }));
}

TEST_F(Registry, ProgramsFolderComesFromShellFolders) {
  makeMedium(defaultIni(), {}, {});
  char buf[260];
  ASSERT_EQ(GetProgramsDirectory(buf, sizeof buf), 1);
  EXPECT_STREQ(buf, "C:\\WINDOWS\\Start Menu\\Programs");
  char tiny[8];
  EXPECT_EQ(GetProgramsDirectory(tiny, sizeof tiny), 0);
  EXPECT_EQ(AddFolderIcon(nullptr, "Direct", "C:\\WINDOWS", "C:\\", nullptr, 0, AFI_SHOW_MAXIMIZED), 1);
  EXPECT_TRUE(fs::exists(host("C:\\WINDOWS\\Start Menu\\Programs\\Direct.lnk")));
}

}  // namespace
#endif
