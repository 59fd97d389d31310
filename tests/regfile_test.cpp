// The host's emulated registry: the REGEDIT4 text (escapes, order, parents, damaged input) and
// the registry file behind the os_reg calls (round trips, atomic writes, created keys, the
// Programs folder of a fresh machine).
#ifndef _WIN32

#include "platform/host/regfile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "machine_util.h"
#include "platform/os.h"

namespace fs = std::filesystem;

namespace {

std::string get(RegTree& t, const char* key, const char* name) {
  RegKey* k = regfile_find(&t, key);
  if (!k) return "<no key>";
  const RegValue* v = regfile_get(*k, name);
  return v ? v->data : "<no value>";
}

TEST(RegFile, WritesSortedSectionsWithEveryParentAndEscapedStrings) {
  RegTree t;
  int created = -1;
  RegKey* k = regfile_add(&t, regfile_key_path("hkey_local_machine", "SOFTWARE\\Maker\\Game\\"), &created);
  ASSERT_NE(k, nullptr);
  EXPECT_EQ(created, 1);
  EXPECT_TRUE(regfile_set(k, "", "C:\\GAMES\\FOO\\FOO.EXE"));
  EXPECT_TRUE(regfile_set(k, "Say \"hi\"", "a \"quoted\" \\ value"));
  regfile_add(&t, "HKEY_LOCAL_MACHINE\\software\\apple", &created);
  EXPECT_EQ(created, 1);
  regfile_add(&t, "HKEY_LOCAL_MACHINE\\Software\\MAKER", &created);
  EXPECT_EQ(created, 0);  // exists, whatever the case
  EXPECT_EQ(regfile_write(t),
            "REGEDIT4\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\software\\apple]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker]\r\n\r\n"
            "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Game]\r\n"
            "@=\"C:\\\\GAMES\\\\FOO\\\\FOO.EXE\"\r\n"
            "\"Say \\\"hi\\\"\"=\"a \\\"quoted\\\" \\\\ value\"\r\n\r\n");
}

TEST(RegFile, ParsingTheWrittenTextGivesTheSameTree) {
  RegTree t;
  RegKey* k = regfile_add(&t, "HKEY_CURRENT_USER\\A\\B c\\D", nullptr);
  regfile_set(k, "", "x\\\"y");
  regfile_set(k, "Lines", "one\r\ntwo\tthree");  // control characters go out as hex(1)
  regfile_set(k, "Long", std::string(300, 'q') + "\n");
  regfile_set(k, "Empty", "");
  regfile_set(k, "High", "\xe9t\xe9");
  regfile_add(&t, "HKEY_LOCAL_MACHINE\\Z", nullptr);
  std::string text = regfile_write(t);
  RegTree back;
  EXPECT_EQ(regfile_parse(text, &back), 0);
  EXPECT_EQ(regfile_write(back), text);
  EXPECT_EQ(get(back, "hkey_current_user\\a\\b C\\d", "lines"), "one\r\ntwo\tthree");
  EXPECT_EQ(get(back, "HKEY_CURRENT_USER\\A\\B c\\D", ""), "x\\\"y");
  EXPECT_EQ(get(back, "HKEY_CURRENT_USER\\A\\B c\\D", "Long"), std::string(300, 'q') + "\n");
  EXPECT_EQ(get(back, "HKEY_CURRENT_USER\\A\\B c\\D", "High"), "\xe9t\xe9");
  EXPECT_NE(regfile_find(&back, "HKEY_CURRENT_USER\\A\\B c"), nullptr);
}

TEST(RegFile, DamagedLinesAreSkippedTheRestIsKept) {
  RegTree t;
  int skipped = regfile_parse(
      "garbage before the header\n"
      "REGEDIT4\n"
      "\"orphan\"=\"no section yet\"\n"
      "[HKEY_LOCAL_MACHINE\\Good]\n"
      "\"ok\"=\"1\"\n"
      "\"unterminated=\"2\"\n"
      "\"trailing\"=\"3\" junk\n"
      "\"dword\"=dword:00000001\n"
      "\"badhex\"=hex(1):4x,00\n"
      "\"hex\"=hex(1):41,\\\n"
      "   42,00\n"
      "  \"indented\" = \"4\"\n"
      "[HKEY_CLASSES_ROOT\\Other]\n"
      "\"lost\"=\"5\"\n"
      "[HKEY_LOCAL_MACHINE\\Broken\n"
      "[-HKEY_LOCAL_MACHINE\\Gone]\n"
      "\"lost2\"=\"6\"\n"
      "[HKEY_LOCAL_MACHINE\\\\Good\\\\]\n"
      "@=\"7\"\n"
      "; a comment\n",
      &t);
  EXPECT_EQ(get(t, "HKEY_LOCAL_MACHINE\\Good", "ok"), "1");
  EXPECT_EQ(get(t, "HKEY_LOCAL_MACHINE\\Good", "hex"), "AB");
  EXPECT_EQ(get(t, "HKEY_LOCAL_MACHINE\\Good", "indented"), "4");
  EXPECT_EQ(get(t, "HKEY_LOCAL_MACHINE\\Good", ""), "7");
  EXPECT_EQ(get(t, "HKEY_LOCAL_MACHINE\\Good", "trailing"), "<no value>");
  EXPECT_EQ(t.keys.size(), 1u);
  // garbage, orphan, unterminated, trailing, badhex, the unknown root and its value, the broken
  // section, the value of the deleted key; the number is read as one and written back the same
  EXPECT_EQ(skipped, 9);
  const RegValue* number = regfile_get(t.keys[0], "dword");
  ASSERT_NE(number, nullptr);
  EXPECT_TRUE(number->dword);
  EXPECT_EQ(number->number, 1u);
  EXPECT_NE(regfile_write(t).find("\"dword\"=dword:00000001\r\n"), std::string::npos);
}

TEST(RegFile, KeyPathsAreCheckedAndOrderedParentFirst) {
  EXPECT_EQ(regfile_key_path("HKEY_CURRENT_USER", "\\a\\\\b\\"), "HKEY_CURRENT_USER\\a\\b");
  EXPECT_EQ(regfile_key_path("HKEY_USERS", "a"), "");
  EXPECT_EQ(regfile_key_path("HKEY_CURRENT_USER", ""), "");
  EXPECT_EQ(regfile_key_path("HKEY_CURRENT_USER", "a\nb"), "");
  EXPECT_EQ(regfile_key_path("HKEY_CURRENT_USER", std::string(256, 'k')), "");
  EXPECT_TRUE(regfile_key_less("HKEY_CURRENT_USER\\a", "HKEY_CURRENT_USER\\a\\b"));
  EXPECT_TRUE(regfile_key_less("HKEY_CURRENT_USER\\a\\z", "HKEY_CURRENT_USER\\a b"));
  EXPECT_FALSE(regfile_key_less("HKEY_CURRENT_USER\\A", "HKEY_CURRENT_USER\\a"));
  RegTree t;
  RegKey* k = regfile_add(&t, "HKEY_CURRENT_USER\\a", nullptr);
  EXPECT_FALSE(regfile_set(k, "bad\nname", "x"));
  EXPECT_EQ(regfile_add(&t, "HKEY_CURRENT_USER", nullptr), nullptr);
}

using Registry = MachineTest;

std::string regFile(const fs::path& root) { return slurp(root / "registry.reg"); }

TEST_F(Registry, FreshMachineHasTheProgramsFolder) {
  os_hkey key = nullptr;
  ASSERT_EQ(os_reg_open(OS_HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        &key),
            0);
  char buf[260];
  ASSERT_EQ(os_reg_get_string(key, "Programs", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "C:\\WINDOWS\\Start Menu\\Programs");
  EXPECT_EQ(os_access(buf), 0);  // the folder exists as well
  char tiny[8];
  EXPECT_EQ(os_reg_get_string(key, "Programs", tiny, sizeof tiny), -1);
  EXPECT_EQ(os_reg_get_string(key, "Missing", buf, sizeof buf), -1);
  os_reg_close(key);
  EXPECT_NE(regFile(root).find("\"Programs\"=\"C:\\\\WINDOWS\\\\Start Menu\\\\Programs\""), std::string::npos);

  // A machine whose registry names another Programs folder keeps it.
  os_host_reset();
  put(root / "registry.reg",
      "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders]\r\n"
      "\"Programs\"=\"D:\\\\Menu\"\r\n");
  ASSERT_EQ(os_reg_open(OS_HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        &key),
            0);
  ASSERT_EQ(os_reg_get_string(key, "programs", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "D:\\Menu");
  os_reg_close(key);
}

TEST_F(Registry, CreateReportsNewKeysAndMakesParents) {
  os_hkey key = nullptr;
  int created = -1;
  ASSERT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker", &key), -1);
  EXPECT_EQ(key, nullptr);
  ASSERT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Title\\1.0", &key, &created), 0);
  EXPECT_EQ(created, 1);
  os_reg_close(key);
  ASSERT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, "software\\maker", &key), 0);
  os_reg_close(key);
  ASSERT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "Software\\MAKER\\title\\1.0\\", &key, &created), 0);
  EXPECT_EQ(created, 0);
  os_reg_close(key);
  ASSERT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\Maker\\Other", &key, &created), 0);
  EXPECT_EQ(created, 1);
  os_reg_close(key);
  EXPECT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "", &key, &created), -1);
  EXPECT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "bad\nkey", &key, &created), -1);
  // The key of the current user is another tree.
  EXPECT_EQ(os_reg_open(OS_HKEY_CURRENT_USER, "SOFTWARE\\Maker", &key), -1);
  std::string text = regFile(root);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE]\r\n"), std::string::npos);
  EXPECT_NE(text.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\Maker\\Title]\r\n"), std::string::npos);
}

TEST_F(Registry, ValuesSurviveAReloadFromTheFile) {
  os_hkey key = nullptr;
  int created = 0;
  const char* tricky = "C:\\Dir \"with quotes\"\\";
  ASSERT_EQ(os_reg_create(OS_HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\App Paths\\FOO.EXE",
                          &key, &created),
            0);
  ASSERT_EQ(os_reg_set_string(key, nullptr, "C:\\GAMES\\FOO\\FOO.EXE"), 0);
  ASSERT_EQ(os_reg_set_string(key, "Path", tricky), 0);
  ASSERT_EQ(os_reg_set_string(key, "path", "C:\\GAMES\\FOO"), 0);  // same value, any case
  ASSERT_EQ(os_reg_set_string(key, "Odd", "x\"\\\"y"), 0);
  os_reg_close(key);
  std::string before = regFile(root);
  EXPECT_NE(before.find("\"Odd\"=\"x\\\"\\\\\\\"y\"\r\n"), std::string::npos) << before;

  os_host_reset();  // a new process: the registry comes from the file
  ASSERT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, "SOFTWARE\\MICROSOFT\\WINDOWS\\CurrentVersion\\App Paths\\foo.exe", &key),
            0);
  char buf[260];
  ASSERT_EQ(os_reg_get_string(key, "", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "C:\\GAMES\\FOO\\FOO.EXE");
  ASSERT_EQ(os_reg_get_string(key, "PATH", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "C:\\GAMES\\FOO");
  ASSERT_EQ(os_reg_get_string(key, "Odd", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "x\"\\\"y");
  os_reg_close(key);
  EXPECT_EQ(regFile(root), before);  // reading changes nothing

  // Only the machine's own files: no temporary file is left behind.
  for (const auto& entry : fs::directory_iterator(root)) {
    std::string name = entry.path().filename().string();
    EXPECT_TRUE(name == "C" || name == "registry.reg") << name;
  }
}

TEST_F(Registry, ADamagedFileDoesNotStopTheMachine) {
  put(root / "registry.reg",
      std::string("REGEDIT4\n[HKEY_LOCAL_MACHINE\\Kept]\n\"v\"=\"1\"\n\x01\x02[[[\n\"x\"=\"") +
          "\n[HKEY_LOCAL_MACHINE\\Kept\\More]\n");
  os_hkey key = nullptr;
  ASSERT_EQ(os_reg_open(OS_HKEY_LOCAL_MACHINE, "Kept", &key), 0);
  char buf[16];
  ASSERT_EQ(os_reg_get_string(key, "v", buf, sizeof buf), 0);
  EXPECT_STREQ(buf, "1");
  ASSERT_EQ(os_reg_set_string(key, "w", "2"), 0);  // the file is rewritten sound
  os_reg_close(key);
  RegTree t;
  EXPECT_EQ(regfile_parse(regFile(root), &t), 0);
  EXPECT_EQ(get(t, "HKEY_LOCAL_MACHINE\\Kept", "w"), "2");
  EXPECT_NE(regfile_find(&t, "HKEY_LOCAL_MACHINE\\Kept\\More"), nullptr);
}

}  // namespace

#endif
