// Uninstall log: the exact file, path joining, refused entries, moving the log, removal of a
// cancelled install (innermost first, a user's file kept) and the uninstaller copy.
#include <gtest/gtest.h>

#include "engine/undo.h"
#include "engine_util.h"
#include "tests/support/golden.h"

using namespace engine_util;

namespace {

using Uninst = EngineTest;

// Tests naming fixed drive-C paths run on the emulated machine only (under Wine they would write
// into the real C drive of the prefix).
#ifndef _WIN32
TEST_F(Uninst, TheLogMatchesTheGoldenFileByteForByte) {
  makeMedium(defaultIni(), {}, {});
  ASSERT_EQ(createDir("C:\\GAME"), 1);
  ASSERT_EQ(uninstCreate("Test Game", "C:\\GAME"), 1);
  EXPECT_STREQ(tempPath, "C:\\uninst.log");
  EXPECT_STREQ(finalPath, "C:\\GAME\\uninst.log");
  uninstLogEntry("MadeDir %s", "C:\\GAME\\DATA");
  uninstLogEntry("Copied %s", "C:\\GAME\\DATA\\a.bin");
  uninstLogEntry("MadeShortcut %s\\%s.lnk", "C:\\WINDOWS\\Start Menu\\Programs\\Test Game", "Test Game");
  uninstLogEntry("AddedRegKey \\\\HKEY_LOCAL_MACHINE\\%s", "SOFTWARE\\TestCo");
  EXPECT_EQ(uninstClose(), 1);
  EXPECT_FALSE(fs::exists(host("C:\\uninst.log")));
  EXPECT_TRUE(golden_text("uninst/basic.log", slurpText(host("C:\\GAME\\uninst.log"))));
  EXPECT_TRUE(boxes().empty());
}
#endif

// A run into a folder holding this product's log carries it, also when Windows wrote it with
// CR LF line ends; another product's log is left alone and this run's log gets a name of its own.
TEST_F(Uninst, AnEarlierLogOfTheProductIsCarriedAnotherProductsIsNot) {
  makeMedium(defaultIni(), {}, {});
  ASSERT_EQ(createDir(dest.c_str()), 1);
  const std::string header = "V\r\n\r\nProgram: Test Game\r\nInstalled: x\r\n\r\n-- Log Begin --\r\n";
  {
    std::ofstream(host(dest + "\\uninst.log"), std::ios::binary) << header << "Copied " << dest << "\\GAME.EXE\r\n-- Log End--\r\n";
  }
  ASSERT_EQ(uninstCreate("Test Game", dest.c_str()), 1);
  EXPECT_EQ(uninstCarried("Copied", (dest + "\\game.exe").c_str()), 1);
  EXPECT_EQ(std::string(finalPath), dest + "\\uninst.log");
  uninstDiscard();
  ASSERT_EQ(uninstCreate("Other Game", dest.c_str()), 1);
  EXPECT_EQ(uninstCarried("Copied", (dest + "\\game.exe").c_str()), 0);
  EXPECT_EQ(std::string(finalPath), dest + "\\uninst2.log");
  uninstDiscard();
}

TEST_F(Uninst, FinalPathNeverDoublesTheBackslash) {
  makeMedium(defaultIni(), {}, {});
  uninstCreate("T", "D:\\GAME");
  EXPECT_STREQ(finalPath, "D:\\GAME\\uninst.log");
  uninstDiscard();
  uninstCreate("T", "D:\\");
  EXPECT_STREQ(finalPath, "D:\\uninst.log");
  uninstClose();  // D: does not exist: the log cannot be moved and stays on C
  ASSERT_EQ(boxes().size(), 1u);
  EXPECT_EQ(boxes()[0], "Cannot move the log to D:\\uninst.log");
  EXPECT_NE(slurpText(host("C:\\uninst.log")).find("-- Log End--\n"), std::string::npos);
}

#ifndef _WIN32
TEST_F(Uninst, AnEntryThatDoesNotFitIsSkippedNotCut) {
  makeMedium(defaultIni(), {}, {});
  ASSERT_EQ(uninstCreate("T", "C:\\"), 1);
  std::string longPath = "C:\\" + std::string(505, 'x');  // "Copied " + 508 = 515 characters
  EXPECT_EQ(uninstLogEntry("Copied %s", longPath.c_str()), -1);
  std::string fits = "C:\\" + std::string(501, 'y');  // exactly 511 characters
  EXPECT_EQ(uninstLogEntry("Copied %s", fits.c_str()), 511);
  // A drive root destination: the log is already where it belongs.
  EXPECT_EQ(uninstClose(), 1);
  EXPECT_TRUE(boxes().empty());
  std::string log = slurpText(host("C:\\uninst.log"));
  EXPECT_EQ(log.find("xxx"), std::string::npos);
  EXPECT_NE(log.find("Copied " + fits + "\n-- Log End--\n"), std::string::npos);
}

TEST_F(Uninst, MoveFileKeepsTheSourceWhenTheCopyFails) {
  makeMedium(defaultIni(), {}, {});
  std::string data = content(10000, 5);
  {
    std::ofstream(host("C:\\") + "/src.bin", std::ios::binary) << data;
  }
  ASSERT_EQ(os_mkdir("C:\\T"), 0);
  os_fault_write_after(5000);
  EXPECT_EQ(moveFile("C:\\src.bin", "C:\\T\\dst.bin"), 0);
  os_fault_write_after(-1);
  EXPECT_EQ(slurp(host("C:\\src.bin")), data);
  EXPECT_FALSE(fs::exists(host("C:\\T") + "/dst.bin"));
  EXPECT_EQ(moveFile("C:\\missing.bin", "C:\\T\\dst.bin"), 0);
  EXPECT_FALSE(fs::exists(host("C:\\T") + "/dst.bin"));
  EXPECT_EQ(moveFile(nullptr, "C:\\T\\dst.bin"), 0);
  EXPECT_EQ(moveFile("C:\\src.bin", "C:\\T\\dst.bin"), 1);
  EXPECT_FALSE(fs::exists(host("C:\\src.bin")));
  EXPECT_EQ(slurp(host("C:\\T\\dst.bin")), data);
}
#endif

TEST_F(Uninst, DeinstallRemovesInnermostFirstAndKeepsAUsersFile) {
  makeMedium(defaultIni(), {{"typical.lst", "d=A\\B\nd=C\nf=A\\B\\f.bin\nf=C\\g.bin\n"}},
             {{"A\\B\\f.bin", "f"}, {"C\\g.bin", "g"}});
  std::snprintf(destPath, sizeof destPath, "%s", dest.c_str());
  uninstCreate("Test Game", destPath);
  createDir(destPath);
  transferFiles();
  {
    std::ofstream(host(dest + "\\C") + "/mine.sav", std::ios::binary) << "the user's own file";
  }
  uninstClose();
  // C holds the user's file, so the destination and its parent (made by the install) stay too.
  EXPECT_EQ(deinstall(), 3);
  EXPECT_EQ(boxes(), std::vector<std::string>{"Some files could not be removed"});
  EXPECT_FALSE(fs::exists(host(dest + "\\A")));
  EXPECT_FALSE(fs::exists(host(dest + "\\C\\g.bin")));
  EXPECT_TRUE(fs::exists(host(dest + "\\C")));
  EXPECT_FALSE(fs::exists(host(dest + "\\uninst.log")));
  EXPECT_EQ(slurp(host(dest + "\\C") + "/mine.sav"), "the user's own file");
}

TEST_F(Uninst, DeinstallWithoutALogSaysSo) {
  makeMedium(defaultIni(), {}, {});
  std::snprintf(destPath, sizeof destPath, "%s", dest.c_str());
  EXPECT_EQ(deinstall(), 0);
  EXPECT_EQ(boxes(), std::vector<std::string>{"No log at " + dest + "\\uninst.log"});
}

TEST_F(Uninst, DirectoryStackRemovesNewestFirst) {
  makeMedium(defaultIni(), {}, {});
  ASSERT_EQ(createDir((dest + "\\X\\Y").c_str()), 1);
  pushDir(dest.c_str());
  pushDir((dest + "\\X").c_str());
  pushDir((dest + "\\X\\Y").c_str());
  EXPECT_EQ(processDirStack(), 0);
  EXPECT_FALSE(fs::exists(host(dest)));
  EXPECT_EQ(processDirStack(), 0);  // empty now
}

#ifndef _WIN32
TEST_F(Uninst, TheUninstallerGoesIntoTheWindowsDirectory) {
  makeMedium(defaultIni(), {}, {});
  EXPECT_EQ(copyUninstallToWindows(), 1);
  EXPECT_EQ(slurp(host("C:\\WINDOWS\\vluninst.exe")), content(20000, 99));
  EXPECT_TRUE(boxes().empty());
  os_fault_write_after(100);
  EXPECT_EQ(copyUninstallToWindows(), 0);
  os_fault_write_after(-1);
  EXPECT_EQ(boxes(), std::vector<std::string>{"Cannot write the uninstaller"});
  EXPECT_FALSE(fs::exists(host("C:\\WINDOWS\\vluninst.exe")));
}
#endif

TEST_F(Uninst, NoUninstallerInTheArchiveIsReported) {
  makeMedium(defaultIni(), {}, {}, false);
  EXPECT_EQ(copyUninstallToWindows(), 0);
  EXPECT_EQ(boxes(), std::vector<std::string>{"No uninstaller"});
}

}  // namespace
