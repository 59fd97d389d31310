// Install types and drives: sizes and full names from the file lists, the type limit, the 1.13
// free-space rule, drive lists (never A or B); path helpers.
#include <gtest/gtest.h>

#include "engine/destination.h"
#include "engine_util.h"

using namespace engine_util;

namespace {

using InstUtil = EngineTest;

TEST(InstUtilPaths, RelativeEntriesMustStayBelowTheirBase) {
  for (const char* ok : {"a", "A\\B\\c.txt", "a/b", "A\\..\\B", "A\\.\\B", "", ".", "A\\B\\..\\..", "a..b", "..a"})
    EXPECT_EQ(isSafeRelativePath(ok), 1) << ok;
  for (const char* bad : {"..", "..\\x", "A\\..\\..\\x", "\\x", "/x", "\\\\server\\share", "C:\\x", "C:x", "a:b",
                          "A\\...\\x", "A\\.. \\x", "../x"})
    EXPECT_EQ(isSafeRelativePath(bad), 0) << bad;
  EXPECT_EQ(isSafeRelativePath(nullptr), 0);
}

TEST(InstUtilPaths, JoinAddsOneBackslashAndRefusesWhatDoesNotFit) {
  char out[16];
  EXPECT_EQ(joinPath(out, sizeof out, "D:\\GAME", "a.txt"), 1);
  EXPECT_STREQ(out, "D:\\GAME\\a.txt");
  EXPECT_EQ(joinPath(out, sizeof out, "D:\\", "a.txt"), 1);
  EXPECT_STREQ(out, "D:\\a.txt");
  EXPECT_EQ(joinPath(out, sizeof out, "D:\\GAME", "abcdefg"), 1);  // 15 characters
  EXPECT_EQ(joinPath(out, sizeof out, "D:\\GAME", "abcdefgh"), 0);
  EXPECT_STREQ(out, "");
}

TEST(InstUtilDrives, TheMarginIsThirteenPercentInFloatingPoint) {
  EXPECT_EQ(driveCanHold(2260000u, 2000000u), 1);
  EXPECT_EQ(driveCanHold(2259999u, 2000000u), 0);
  EXPECT_EQ(driveCanHold(0u, 0u), 1);
  EXPECT_EQ(driveCanHold(0xFFFFFFFFu, 0xFFFFFFFFu), 0);  // no wrap-around in the product
  EXPECT_EQ(driveCanHold(0xFFFFFFFFu, 3000000000u), 1);
  EXPECT_EQ(driveCanHold(5650000000u, 5000000000u), 1);  // sizes past 4 GiB
  EXPECT_EQ(driveCanHold(5649999999u, 5000000000u), 0);
}

TEST_F(InstUtil, SizesAndFullNamesComeFromTheLists) {
  std::string ini = defaultIni(
      "[Install]\nInstallTypes=Typical, Bare, NoList, Lost, " + std::string(70, 'L') +
      "\n[Bare]\nList=bare_%os%.lst\n[Lost]\nList=lost.lst\nFullName=x\n[" + std::string(63, 'L') +
      "]\nList=bare_WIN.lst\nFullName=" + std::string(100, 'f') + "%.1f\n");
  makeMedium(ini, {{"typical.lst", "s=5\nd=A\nf=x\ns=2000000\nS=7\n"}, {"bare_WIN.lst", "s=10\n"}}, {});
  ASSERT_EQ(numInstTypes, 5);
  EXPECT_STREQ(instTypes[0].name, "Typical");
  EXPECT_EQ(instTypes[0].size, 2000000u);  // the last "s=" line counts; "S=" is no size
  EXPECT_STREQ(instTypes[0].fullName, "Typical (2.3 MB)");
  EXPECT_EQ(instTypes[1].size, 10u);
  EXPECT_STREQ(instTypes[1].fullName, "Bare");  // no FullName: the name is shown
  EXPECT_EQ(instTypes[2].size, 0u);
  EXPECT_STREQ(instTypes[2].fullName, "");
  EXPECT_EQ(instTypes[3].size, 0u);
  EXPECT_STREQ(instTypes[3].fullName, "");
  EXPECT_EQ(boxes(), std::vector<std::string>{"Could not find lost.lst in database file."});
  // Over-long names and full names are cut to their fields, never beyond.
  EXPECT_EQ(std::string(instTypes[4].name), std::string(63, 'L'));
  EXPECT_EQ(std::string(instTypes[4].fullName), std::string(79, 'f'));
}

TEST_F(InstUtil, FifteenTypesAreAcceptedSixteenRefused) {
  auto list = [](int n) {
    std::string s = "[Install]\nInstallTypes=";
    for (int i = 0; i < n; ++i) {
      if (i) s += ',';
      s += 'T';
      s += std::to_string(i);
    }
    s += '\n';
    return s;
  };
  makeMedium(defaultIni(list(15)), {}, {});
  EXPECT_EQ(numInstTypes, 15);
  EXPECT_STREQ(instTypes[14].name, "T14");
  settingsClose();
  db_exit();
  fs::remove(medium / "install.dat");
  std::vector<kit_member> members;
  std::string ini = defaultIni(list(16));
  members.push_back({"install.ini", std::vector<uint8_t>(ini.begin(), ini.end())});
  std::string error;
  ASSERT_TRUE(kit_build_archive((medium / "install.dat").string(), members, error));
  ASSERT_GE(db_init("install.dat", nullptr, nullptr), 0);
  ASSERT_EQ(initSettings(), 1);
  uiScriptReset();
  EXPECT_EQ(initInstTypes(), 0);
  EXPECT_EQ(boxes(), std::vector<std::string>{"No installation information found in script file!"});
  EXPECT_EQ(numInstTypes, 0);
}

TEST_F(InstUtil, NoTypeListIsRefused) {
  std::vector<kit_member> members;
  std::string ini = kStrings;
  members.push_back({"install.ini", std::vector<uint8_t>(ini.begin(), ini.end())});
  std::string error;
  ASSERT_TRUE(kit_build_archive((medium / "install.dat").string(), members, error));
  ASSERT_GE(db_init("install.dat", nullptr, nullptr), 0);
  ASSERT_EQ(initSettings(), 1);
  EXPECT_EQ(initInstTypes(), 0);
  EXPECT_EQ(boxes(), std::vector<std::string>{"No installation information found in script file!"});
}

#ifndef _WIN32
TEST_F(InstUtil, DriveListsHoldTheDrivesWithRoomAndNeverAOrB) {
  fs::create_directories(root);
  for (const char* d : {"A", "B", "C", "D", "E", "F"}) fs::create_directories(root / d);
  std::ofstream(root / "machine.ini") << "[FreeSpace]\nA=900000000\nB=900000000\nC=2260000\nD=2259999\nE=5500000\nF=0\n";
  os_host_reset();
  makeMedium(defaultIni("[Install]\nInstallTypes=Typical,Small\n[Small]\nList=small.lst\n"),
             {{"typical.lst", "s=2000000\n"}, {"small.lst", "s=1000\n"}}, {});
  ASSERT_EQ(initDriveSizes(), 1);
  // The medium (Z:) reports no free space and F: has none: neither is a drive.
  std::vector<std::string> found;
  for (int d = 0; d < MAX_DRIVES && drives[d][0]; ++d) found.push_back(drives[d]);
  EXPECT_EQ(found, (std::vector<std::string>{"C:", "D:", "E:"}));
  int count = -1;
  char** list = getDriveSizesList(0, &count);
  ASSERT_EQ(count, 2);
  ASSERT_NE(list, nullptr);
  EXPECT_STREQ(list[0], "C: 2 MB");
  EXPECT_STREQ(list[1], "E: 5 MB");
  EXPECT_EQ(getDriveLetter(0, 0), 'C');
  EXPECT_EQ(getDriveLetter(0, 1), 'E');
  list = getDriveSizesList(1, &count);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(getDriveLetter(1, 1), 'D');
  EXPECT_EQ(getDriveSizesList(5, &count), nullptr);
  EXPECT_EQ(count, 0);
  uint64_t bytes = 7;
  EXPECT_EQ(getDiskFreeSpace(3, nullptr), 0);
  EXPECT_EQ(getDiskFreeSpace(7, &bytes), 0);  // G: does not exist
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(freeDriveSizes(), 1);
  EXPECT_EQ(getDriveSizesList(0, &count), nullptr);
}

// Drives and types past 4 GiB: a 5 GB type fits only the drive with 10 GB free, shown in MB.
TEST_F(InstUtil, SizesPastFourGigabytesCount) {
  for (const char* d : {"C", "D"}) fs::create_directories(root / d);
  std::ofstream(root / "machine.ini") << "[FreeSpace]\nC=5649999999\nD=10000000000\n";
  os_host_reset();
  makeMedium(defaultIni(), {{"typical.lst", "s=5000000000\n"}}, {});
  EXPECT_EQ(instTypes[0].size, 5000000000u);
  ASSERT_EQ(initDriveSizes(), 1);
  int count = -1;
  char** list = getDriveSizesList(0, &count);
  ASSERT_EQ(count, 1);
  EXPECT_STREQ(list[0], "D: 10000 MB");
  freeDriveSizes();
}
#endif

}  // namespace

#ifndef _WIN32
// What Next makes of the panel's choice: the selected drive with the directory text (with or
// without its leading backslash), or a typed drive, which must exist and have room; a refused
// choice keeps the panel and changes nothing, and the next try starts from the selection afresh.
TEST_F(InstUtil, NextJoinsTheDriveAndTheDirectoryOrChecksATypedDrive) {
  fs::create_directories(root);
  for (const char* d : {"C", "D", "E"}) fs::create_directories(root / d);
  std::ofstream(root / "machine.ini") << "[FreeSpace]\nC=900000000\nD=900000000\nE=1000\n";
  os_host_reset();
  makeMedium(defaultIni(), {{"typical.lst", "s=2000000\n"}}, {});
  ASSERT_EQ(initDriveSizes(), 1);
  int driveCount = 0;
  getDriveSizesList(0, &driveCount);
  ASSERT_EQ(driveCount, 2);  // C and D
  int taken = 0;
  auto next = [&](int drive, const char* text) {
    destPath[0] = '\0';
    taken = installChoose(0, drive, driveCount, text);
    uninstDiscard();
    return std::string(destPath);
  };
  EXPECT_EQ(next(0, "\\VELLACRD"), "C:\\VELLACRD");
  EXPECT_EQ(taken, 1);
  EXPECT_TRUE(fs::is_directory(root / "C" / "VELLACRD"));
  EXPECT_EQ(next(1, "GAMES"), "D:\\GAMES");
  EXPECT_EQ(next(1, "\\GAMES"), "D:\\GAMES");
  EXPECT_EQ(next(0, "D:\\PLAY\\IT"), "D:\\PLAY\\IT");
  uiScriptReset();
  EXPECT_EQ(next(0, "E:\\SMALL"), "");  // typed drive too small
  EXPECT_EQ(taken, 0);
  EXPECT_EQ(next(0, "Q:\\NOWHERE"), "");  // typed drive that does not exist
  EXPECT_EQ(boxes(), (std::vector<std::string>{"Drive E: does not have enough free space.",
                                               "That drive cannot be used."}));
  EXPECT_FALSE(fs::exists(root / "E" / "SMALL"));
  driveCount = 0;
  uiScriptReset();
  EXPECT_EQ(next(0, "\\X"), "");
  EXPECT_EQ(boxes(), (std::vector<std::string>{"No drive has room."}));
}
#endif
