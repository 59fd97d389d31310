// The host's emulated Windows machine: drives and path mapping, the medium as drive Z:, the
// current directory, files and directories through Windows paths, free space and the write fault.
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "machine_util.h"
#include "platform/os.h"

namespace fs = std::filesystem;

namespace {

using Machine = MachineTest;

std::string mapped(const char* path) {
  std::string host;
  if (os_host_map(path, &host) != 0) return "<error " + std::to_string(errno) + ">";
  return host;
}

std::string cwd() {
  char buf[512];
  if (os_getcwd(buf, sizeof buf) != 0) return "<error>";
  return buf;
}

TEST_F(Machine, FirstUseMakesDriveCAndTheWindowsDirectory) {
  char win[64];
  ASSERT_EQ(os_windows_dir(win, sizeof win), 0);
  EXPECT_STREQ(win, "C:\\WINDOWS");
  EXPECT_TRUE(fs::is_directory(root / "C" / "WINDOWS"));
  EXPECT_TRUE(fs::is_directory(root / "C" / "WINDOWS" / "Start Menu" / "Programs"));
  EXPECT_EQ(fs::canonical(root).string(), os_host_root());
  EXPECT_EQ(os_access("C:\\windows"), 0);
  char tiny[5];
  EXPECT_EQ(os_windows_dir(tiny, sizeof tiny), -1);
}

TEST_F(Machine, ExistingComponentsMatchWithoutRegardToCaseNewOnesKeepTheirSpelling) {
  std::string r = os_host_root();
  fs::create_directories(root / "C" / "Games" / "Foo");
  EXPECT_EQ(mapped("C:\\GAMES\\FOO"), r + "/C/Games/Foo");
  EXPECT_EQ(mapped("c:/games/foo/NewDir/Sub"), r + "/C/Games/Foo/NewDir/Sub");
  EXPECT_EQ(mapped("C:\\"), r + "/C");
  // An exact match wins over a case variant.
  fs::create_directories(root / "C" / "GAMES");
  EXPECT_EQ(mapped("C:\\GAMES"), r + "/C/GAMES");
  EXPECT_EQ(mapped("C:\\gaMES"), r + "/C/GAMES");  // the first variant in byte order
  // Doubled separators and '.' are dropped, '..' goes up.
  EXPECT_EQ(mapped("C:\\\\Games\\.\\Foo\\..\\Foo\\"), r + "/C/Games/Foo");
}

// Mapping many files of one directory in a row gives the same answers as mapping each afresh,
// also when the directory is replaced by a case variant or an exact match appears beside one.
TEST_F(Machine, RepeatedLookupsInOneDirectoryFollowChanges) {
  std::string r = os_host_root();
  fs::create_directories(root / "C" / "Game" / "Data");
  EXPECT_EQ(mapped("C:\\Game\\Data\\a.bin"), r + "/C/Game/Data/a.bin");
  EXPECT_EQ(mapped("C:\\Game\\Data\\b.bin"), r + "/C/Game/Data/b.bin");
  fs::remove_all(root / "C" / "Game" / "Data");
  fs::create_directories(root / "C" / "Game" / "data");
  EXPECT_EQ(mapped("C:\\Game\\Data\\c.bin"), r + "/C/Game/data/c.bin");
  EXPECT_EQ(mapped("C:\\Game\\DATA\\d.bin"), r + "/C/Game/data/d.bin");
  fs::create_directories(root / "C" / "Game" / "DATA");
  EXPECT_EQ(mapped("C:\\Game\\DATA\\e.bin"), r + "/C/Game/DATA/e.bin");
  EXPECT_EQ(mapped("C:\\Game\\Data\\f.bin"), r + "/C/Game/DATA/f.bin");  // first variant in byte order
  // A folder on the way to a listed one moved away and another put in its place, holding a case
  // variant: the lookup answers for the folder the path names now.
  for (const char* moved : {"Up/Mid", "Up"}) {
    fs::create_directories(root / "C" / "Up" / "Mid" / "Low");
    EXPECT_EQ(mapped("C:\\Up\\Mid\\Low\\g.bin"), r + "/C/Up/Mid/Low/g.bin");
    fs::rename(root / "C" / moved, root / "C" / "Old");
    fs::create_directories(root / "C" / "Up" / "Mid" / "Low");
    std::ofstream(root / "C" / "Up" / "Mid" / "Low" / "G.BIN") << "new";
    EXPECT_EQ(mapped("C:\\Up\\Mid\\Low\\g.bin"), r + "/C/Up/Mid/Low/G.BIN") << moved;
    fs::remove_all(root / "C" / "Up");
    fs::remove_all(root / "C" / "Old");
  }
}

TEST_F(Machine, PathsCannotClimbOutOfTheirDrive) {
  std::string host;
  errno = 0;
  EXPECT_EQ(os_host_map("C:\\..\\registry.reg", &host), -1);
  EXPECT_EQ(errno, EACCES);
  EXPECT_EQ(os_host_map("C:\\GAMES\\..\\..\\x", &host), -1);
  EXPECT_EQ(os_host_map("..\\x", &host), -1);  // the medium's root is the top as well
  EXPECT_EQ(os_host_map("\\\\server\\share\\x", &host), -1);
  EXPECT_EQ(os_host_map("", &host), -1);
  EXPECT_EQ(os_host_map(nullptr, &host), -1);
  // The way out is refused for every call, not only the mapping.
  fs::create_directories(tmp / "outside");
  EXPECT_EQ(os_mkdir("C:\\..\\..\\outside\\x"), -1);
  EXPECT_FALSE(fs::exists(tmp / "outside" / "x"));
}

// A symbolic link inside a drive or on the medium leads nowhere: no call goes through it, whether
// it names a file or a folder outside the machine; and nothing on the medium (a disc) changes.
TEST_F(Machine, SymbolicLinksAreNotFollowedAndTheMediumTakesNoChange) {
  put(tmp / "outside" / "secret.txt", "secret");
  os_access("C:\\");
  fs::create_symlink(tmp / "outside" / "secret.txt", root / "C" / "LINK.TXT");
  fs::create_directory_symlink(tmp / "outside", root / "C" / "OUT");
  fs::create_symlink(tmp / "outside" / "secret.txt", medium / "GAME.EXE");
  for (const char* path : {"C:\\LINK.TXT", "C:\\OUT\\secret.txt", "Z:\\GAME.EXE", "GAME.EXE"}) {
    EXPECT_EQ(os_open(path, OS_O_RDONLY), -1) << path;
    EXPECT_EQ(os_remove(path), -1) << path;
    EXPECT_EQ(os_rename(path, "C:\\taken.txt"), -1) << path;
  }
  EXPECT_EQ(os_mkdir("C:\\OUT\\made"), -1);
  EXPECT_EQ(os_open("C:\\OUT\\new.txt", OS_O_WRONLY | OS_O_CREAT), -1);
  EXPECT_EQ(slurp(tmp / "outside" / "secret.txt"), "secret");
  EXPECT_EQ(fs::directory_iterator(tmp / "outside")->path().filename(), "secret.txt");

  put(medium / "README.TXT", "the disc's");
  EXPECT_EQ(os_remove("Z:\\README.TXT"), -1);
  EXPECT_EQ(os_rename("README.TXT", "C:\\README.TXT"), -1);
  EXPECT_EQ(os_open("README.TXT", OS_O_WRONLY | OS_O_TRUNC), -1);
  EXPECT_EQ(os_fopen("NEW.LOG", "wt"), nullptr);
  EXPECT_EQ(os_mkdir("Z:\\DIR"), -1);
  EXPECT_EQ(os_shell_link("Z:\\x.lnk", "C:\\WINDOWS", "x", "C:\\", nullptr, 0, OS_SHOW_DEFAULT), -1);
  EXPECT_EQ(slurp(medium / "README.TXT"), "the disc's");
  EXPECT_FALSE(fs::exists(medium / "NEW.LOG") || fs::exists(medium / "DIR") || fs::exists(medium / "x.lnk"));
  EXPECT_EQ(os_open("README.TXT", OS_O_RDONLY) >= 0, true);  // reading the disc is what it is for
}

TEST_F(Machine, OtherDrivesExistWhenTheirFolderExists) {
  std::string host;
  errno = 0;
  EXPECT_EQ(os_host_map("D:\\GAME", &host), -1);
  EXPECT_EQ(errno, ENOENT);
  EXPECT_EQ(os_mkdir("D:\\GAME"), -1);
  fs::create_directories(root / "D");
  EXPECT_EQ(os_mkdir("d:\\GAME"), 0);
  EXPECT_TRUE(fs::is_directory(root / "D" / "GAME"));
}

TEST_F(Machine, TheMediumIsDriveZAndRelativePathsStartThere) {
  put(medium / "Data" / "File.Txt", "x");
  std::string m = fs::canonical(medium).string();
  EXPECT_EQ(cwd(), "Z:\\");
  EXPECT_EQ(mapped("DATA\\FILE.TXT"), m + "/Data/File.Txt");
  EXPECT_EQ(mapped("Z:\\data\\file.txt"), m + "/Data/File.Txt");
  EXPECT_EQ(mapped("\\data"), m + "/Data");
  EXPECT_EQ(os_access("data\\FILE.txt"), 0);
  EXPECT_EQ(os_access("data\\missing.txt"), -1);

  ASSERT_EQ(os_chdir("DATA"), 0);
  EXPECT_EQ(cwd(), "Z:\\Data");
  EXPECT_EQ(mapped("file.txt"), m + "/Data/File.Txt");
  EXPECT_EQ(mapped("Z:file.txt"), m + "/Data/File.Txt");  // drive-relative on the current drive
  EXPECT_EQ(mapped("..\\Data"), m + "/Data");
  ASSERT_EQ(os_chdir("C:\\WINDOWS"), 0);
  EXPECT_EQ(cwd(), "C:\\WINDOWS");
  EXPECT_EQ(mapped("Start Menu"), fs::canonical(root).string() + "/C/WINDOWS/Start Menu");
  EXPECT_EQ(os_chdir("Z:\\nowhere"), -1);
  EXPECT_EQ(cwd(), "C:\\WINDOWS");
  char tiny[4];
  EXPECT_EQ(os_getcwd(tiny, sizeof tiny), -1);
  ASSERT_EQ(os_chdir("Z:\\"), 0);
  EXPECT_EQ(cwd(), "Z:\\");
}

TEST_F(Machine, ACurrentDirectoryOutsideTheMachineHasNoWindowsName) {
  EXPECT_EQ(cwd(), "Z:\\");  // the first use takes the medium
  fs::create_directories(tmp / "elsewhere");
  fs::current_path(tmp / "elsewhere");
  char buf[256];
  EXPECT_EQ(os_getcwd(buf, sizeof buf), -1);
  std::string host;
  EXPECT_EQ(os_host_map("relative.txt", &host), -1);
  EXPECT_EQ(os_host_map("C:\\ok.txt", &host), 0);
}

TEST_F(Machine, FilesAndDirectoriesThroughWindowsPaths) {
  errno = 0;
  EXPECT_EQ(os_mkdir("C:\\GAMES\\FOO"), -1);
  EXPECT_EQ(errno, ENOENT);
  ASSERT_EQ(os_mkdir("C:\\GAMES"), 0);
  errno = 0;
  EXPECT_EQ(os_mkdir("c:\\games"), -1);
  EXPECT_EQ(errno, EEXIST);
  ASSERT_EQ(os_mkdir("C:\\games\\Foo"), 0);
  EXPECT_TRUE(fs::is_directory(root / "C" / "GAMES" / "Foo"));

  int fd = os_open("C:\\GAMES\\FOO\\A.DAT", OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  ASSERT_GE(fd, 0);
  EXPECT_EQ(os_write(fd, "hello", 5), 5);
  EXPECT_EQ(os_close(fd), 0);
  EXPECT_EQ(slurp(root / "C" / "GAMES" / "Foo" / "A.DAT"), "hello");

  fd = os_open("c:\\games\\foo\\a.dat", OS_O_RDONLY);
  ASSERT_GE(fd, 0);
  char buf[16] = {};
  EXPECT_EQ(os_read(fd, buf, sizeof buf), 5);
  EXPECT_EQ(os_read(fd, buf, sizeof buf), 0);
  os_close(fd);
  EXPECT_EQ(std::string(buf), "hello");

  FILE* f = os_fopen("C:\\GAMES\\FOO\\B.TXT", "wt");
  ASSERT_NE(f, nullptr);
  std::fputs("line\n", f);
  std::fclose(f);
  f = os_fopen("C:\\Games\\Foo\\b.txt", "rt");
  ASSERT_NE(f, nullptr);
  std::fclose(f);
  EXPECT_EQ(os_fopen("C:\\GAMES\\NONE\\C.TXT", "wt"), nullptr);

  EXPECT_EQ(os_open("C:\\GAMES\\FOO\\MISSING", OS_O_RDONLY), -1);
  EXPECT_EQ(os_rmdir("C:\\GAMES\\FOO"), -1);  // not empty
  EXPECT_EQ(os_remove("C:\\GAMES\\FOO"), -1);  // a directory is not a file
  EXPECT_EQ(os_remove("C:\\GAMES\\FOO\\A.DAT"), 0);
  EXPECT_EQ(os_remove("C:\\GAMES\\FOO\\B.TXT"), 0);
  EXPECT_EQ(os_remove("C:\\GAMES\\FOO\\B.TXT"), -1);
  EXPECT_EQ(os_rmdir("C:\\GAMES\\FOO"), 0);
  EXPECT_EQ(os_rmdir("C:\\GAMES"), 0);
  EXPECT_EQ(os_rmdir("C:\\"), -1);
  EXPECT_TRUE(fs::is_directory(root / "C"));
}

// A drive that fills up takes no more bytes from a text stream or a shortcut than from a file.
TEST_F(Machine, AFillingDriveCountsStreamsAndShortcutsToo) {
  os_access("C:\\");
  put(root / "machine.ini", "[WriteLimit]\nC=40\n");
  os_host_reset();
  FILE* f = os_fopen("C:\\log.txt", "wt");
  ASSERT_NE(f, nullptr);
  std::fputs("twenty-five characters..\n", f);
  EXPECT_EQ(os_fsync_stream(f), 0);
  std::fputs("twenty-five characters..\n", f);
  EXPECT_NE(std::fclose(f), 0);  // the second line does not fit
  EXPECT_LE(fs::file_size(root / "C" / "log.txt"), 40u);
  EXPECT_EQ(os_shell_link("C:\\x.lnk", "C:\\WINDOWS", "x", "C:\\", nullptr, 0, OS_SHOW_DEFAULT), -1);
  EXPECT_FALSE(fs::exists(root / "C" / "x.lnk"));
}

TEST_F(Machine, FreeSpaceComesFromTheSettingsFileOrTheFileSystem) {
  uint64_t bytes = 123;
  ASSERT_EQ(os_disk_free(3, &bytes), 0);  // the file system's own answer
  EXPECT_GT(bytes, 0u);
  bytes = 123;
  EXPECT_EQ(os_disk_free(4, &bytes), -1);  // no drive D
  EXPECT_EQ(bytes, 0u);
  EXPECT_EQ(os_disk_free(0, &bytes), -1);
  EXPECT_EQ(os_disk_free(27, &bytes), -1);
  EXPECT_EQ(os_disk_free(3, nullptr), -1);
  bytes = 123;
  ASSERT_EQ(os_disk_free(26, &bytes), 0);  // the medium: asked, but nothing free
  EXPECT_EQ(bytes, 0u);

  fs::create_directories(root / "D");
  put(root / "machine.ini", "[Other]\nC=1\n\n[freespace]\nc = 2260000\r\nD=99999999999\nE=5\n");
  ASSERT_EQ(os_disk_free(3, &bytes), 0);
  EXPECT_EQ(bytes, 2260000u);
  ASSERT_EQ(os_disk_free(4, &bytes), 0);
  EXPECT_EQ(bytes, 99999999999u);  // past 4 GiB
  EXPECT_EQ(os_disk_free(5, &bytes), -1);  // a setting does not make a drive
  put(root / "machine.ini", "[FreeSpace]\nC=0\n");
  ASSERT_EQ(os_disk_free(3, &bytes), 0);
  EXPECT_EQ(bytes, 0u);
}

TEST_F(Machine, WriteFaultCutsTheCrossingWriteShortThenFailsWithNoSpace) {
  int fd = os_open("C:\\FULL.BIN", OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  ASSERT_GE(fd, 0);
  os_fault_write_after(10);
  EXPECT_EQ(os_write(fd, "0123456", 7), 7);
  EXPECT_EQ(os_write(fd, "abcdef", 6), 3);
  errno = 0;
  EXPECT_EQ(os_write(fd, "x", 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  os_fault_write_after(-1);
  EXPECT_EQ(os_write(fd, "!", 1), 1);
  os_close(fd);
  EXPECT_EQ(slurp(root / "C" / "FULL.BIN"), "0123456abc!");

  os_fault_write_after(0);
  fd = os_open("C:\\FULL.BIN", OS_O_WRONLY | OS_O_TRUNC);
  EXPECT_EQ(os_write(fd, "y", 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  os_close(fd);
  os_host_reset();  // also turns the fault off
  fd = os_open("C:\\FULL.BIN", OS_O_WRONLY | OS_O_TRUNC);
  EXPECT_EQ(os_write(fd, "z", 1), 1);
  os_close(fd);
}

TEST_F(Machine, ProgramsStartFromWindowsPaths) {
  put(root / "C" / "Tools" / "exit3.sh", "#!/bin/sh\nexit 3\n");
  fs::permissions(root / "C" / "Tools" / "exit3.sh", fs::perms::owner_all);
  const char* argv[] = {"exit3.sh", nullptr};
  EXPECT_EQ(os_spawn("C:\\TOOLS\\EXIT3.SH", argv, 1), 3);
  EXPECT_GT(os_spawn("c:\\tools\\exit3.sh", argv, 0), 0);
  EXPECT_EQ(os_spawn("C:\\TOOLS\\NONE.SH", argv, 1), -1);
  EXPECT_EQ(os_spawn("C:\\..\\..\\bin\\sh", argv, 1), -1);
}

TEST_F(Machine, ResetTakesANewRootAndMedium) {
  ASSERT_EQ(os_mkdir("C:\\FIRST"), 0);
  fs::path other = tmp / "other";
  setenv("VRK_ROOT", other.c_str(), 1);
  fs::create_directories(medium / "sub");
  fs::current_path(medium / "sub");
  EXPECT_EQ(cwd(), "Z:\\sub");  // the medium stays until the reset
  os_host_reset();
  EXPECT_EQ(cwd(), "Z:\\");
  EXPECT_EQ(os_access("C:\\FIRST"), -1);
  EXPECT_TRUE(fs::is_directory(other / "C" / "WINDOWS"));
}

}  // namespace

#endif
