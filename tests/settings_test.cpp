// Installer settings: the defaults, "install.ini" read from the archive over them, the texts of
// section "Strings", and that closing gives back every byte.
#include "base/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "kit/build.h"
#include "db/db.h"
#include "base/memdbg.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::string value(const char* section, const char* key) {
  char* v = nullptr;
  if (!cfgGetString(&settings, section, key, &v)) return "<missing>";
  return v;
}

class Settings : public ::testing::Test {
 protected:
  void SetUp() override {
    assoc_register_mem(assocMalloc, assocRealloc, assocFree);
    base = get_current_memory();
  }
  void TearDown() override {
    settingsClose();
    EXPECT_EQ(settingsInitialized, 0);
    db_exit();
    EXPECT_EQ(get_current_memory(), base);
    assoc_register_mem(nullptr, nullptr, nullptr);
  }
  int base = 0;
};

TEST_F(Settings, DefaultsStandWithoutAnArchive) {
  ASSERT_EQ(initSettings(), 1);
  EXPECT_EQ(settingsInitialized, 1);
  struct {
    const char *section, *key, *value;
  } expected[] = {
      {"Startup", "Mouse", ""},
      {"Startup", "Font", "0"},
      {"Install", "Background", ""},
      {"Install", "TitleFont", "0"},
      {"Install", "Title", "***Title Goes Here***"},
      {"Install", "DefaultDirectory", "\\VELLACRD"},
      {"Install", "InstallTypes", ""},
      {"Installing", "Background", ""},
      {"Installing", "ProgressEmpty", ""},
      {"Installing", "ProgressFull", ""},
      {"Registry Settings", "Title", "*** Need Title! ***"},
      {"Registry Settings", "Company", "Vellacord"},
      {"Registry Settings", "Executable", ""},
      {"Registry Settings", "Version", "1.0"},
      {"Shortcuts", "Folder", "Vellacord"},
      {"Shortcuts", "ProductTitle", "*** Need Title! ***"},
      {"Shortcuts", "ProductExe", "game.exe"},
      {"Shortcuts", "Readme", "Readme"},
      {"Shortcuts", "ReadmeFile", "readme.txt"},
      {"Shortcuts", "Ereg", ""},
      {"Shortcuts", "EregExe", ""},
      {"AllDone", "Message", "Installation Complete."},
      {"AllDone", "Background", ""},
      {"End", "ConfigExe", ""},
      {"End", "Run", ""},
  };
  for (const auto& e : expected) EXPECT_EQ(value(e.section, e.key), e.value) << e.section << "/" << e.key;
  EXPECT_EQ(value("End", "Run2"), "<missing>");
  EXPECT_EQ(settings.count, 7);
  EXPECT_STREQ(getString("ProgramName"), "*STRING ERROR!*");
}

TEST_F(Settings, ScriptFromTheArchiveOverridesDefaults) {
  TempDir dir("settings_test");
  fs::path archive = dir.path / "install.dat";
  std::string script =
      "; product script\r\n"
      "[Install]\r\n"
      "Title = My Game ; shown on top\r\n"
      "InstallTypes=Typical, Full\r\n"
      "[Strings]\r\n"
      "ProgramName=My Game Setup\r\n"
      "Loading2=Loading...\\nplease wait\\n\r\n"
      "Empty=\r\n"
      "Path=C:\\new\\file\r\n"
      "[End]\r\n"
      "Run2=game.exe\r\n";
  std::string error;
  ASSERT_TRUE(kit_build_archive(archive.string(), {{"INSTALL.INI", std::vector<uint8_t>(script.begin(), script.end())}}, error))
      << error;
  ASSERT_GE(db_init(archive.string().c_str(), nullptr, nullptr), 0);

  ASSERT_EQ(initSettings(), 1);
  EXPECT_EQ(value("install", "title"), "My Game");
  EXPECT_EQ(value("Install", "DefaultDirectory"), "\\VELLACRD");
  EXPECT_EQ(value("End", "Run2"), "game.exe");
  int count = 0;
  char** types = cfgGetCommaList(&settings, "Install", "InstallTypes", &count);
  ASSERT_EQ(count, 2);
  EXPECT_STREQ(types[1], "Full");
  cfgFreeCommaList(types, count);

  EXPECT_STREQ(getString("programname"), "My Game Setup");
  EXPECT_STREQ(getString("Loading2"), "Loading...\nplease wait\n");
  EXPECT_STREQ(getString("Loading2"), "Loading...\nplease wait\n");  // already converted: unchanged
  EXPECT_EQ(value("Strings", "Loading2"), "Loading...\nplease wait\n");  // converted in the store
  EXPECT_STREQ(getString("Path"), "C:\new\\file");  // only backslash + n is converted
  EXPECT_STREQ(getString("Empty"), "*STRING ERROR!*");
  EXPECT_STREQ(getString("Missing"), "*STRING ERROR!*");
  db_exit();  // the archive must be closed before Windows lets it be removed
}

TEST_F(Settings, LongTextsConvertWithoutLimit) {
  ASSERT_EQ(initSettings(), 1);
  std::string longText;
  for (int i = 0; i < 100; ++i) longText += "line\\n";
  cfgSetString(&settings, "Strings", "Long", longText.c_str());
  std::string want;
  for (int i = 0; i < 100; ++i) want += "line\n";
  EXPECT_EQ(std::string(getString("Long")), want);
}

}  // namespace
