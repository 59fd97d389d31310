// OS services contract, the same tests for both halves: program start, the current directory,
// files and directories, free space, the Windows directory and the write fault. On the host they
// run on a fresh emulated machine (drive C:); on Windows in a temporary directory.
#include "platform/os.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#ifdef _WIN32
#include <windows.h>

#include "tests/support/tempdir.h"
#endif
#ifndef _WIN32
#include "machine_util.h"
#endif

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
// A temporary directory as the working area; `base` is its Windows path.
class OsTest : public ::testing::Test {
 protected:
  TempDir scratch{"os_test"};
  fs::path dir = scratch.path, oldCwd;
  std::string base;
  void SetUp() override {
    base = dir.string();
    oldCwd = fs::current_path();
  }
  void TearDown() override {
    fs::current_path(oldCwd);
    os_fault_write_after(-1);
  }
  fs::path host(const std::string& rel) const { return dir / rel; }
};

std::string shell() {
  const char* comspec = std::getenv("ComSpec");
  return comspec ? comspec : "C:\\windows\\system32\\cmd.exe";
}
#else
// A fresh emulated machine; `base` is a directory on its drive C:.
class OsTest : public MachineTest {
 protected:
  std::string base = "C:\\OSTEST";
  void SetUp() override {
    MachineTest::SetUp();
    fs::create_directories(root / "C" / "OSTEST");
  }
  fs::path host(const std::string& rel) const { return root / "C" / "OSTEST" / rel; }
};
#endif

TEST_F(OsTest, SpawnWaitsForTheExitCodeOrReturnsAProcessId) {
#ifdef _WIN32
  std::string sh = shell();
  const char* argv[] = {sh.c_str(), "/c", "exit 3", nullptr};
  EXPECT_EQ(os_spawn(sh.c_str(), argv, 1), 3);
  const char* ok[] = {sh.c_str(), "/c", "exit 0", nullptr};
  EXPECT_EQ(os_spawn(sh.c_str(), ok, 1), 0);
  EXPECT_GT(os_spawn(sh.c_str(), ok, 0), 0);
  std::string prog = sh;
#else
  {
    std::ofstream(host("exit3.sh")) << "#!/bin/sh\nexit 3\n";
  }
  fs::permissions(host("exit3.sh"), fs::perms::owner_all);
  std::string prog = base + "\\exit3.sh";
  const char* argv[] = {prog.c_str(), nullptr};
  EXPECT_EQ(os_spawn(prog.c_str(), argv, 1), 3);
  EXPECT_GT(os_spawn(prog.c_str(), argv, 0), 0);
#endif
  std::string missing = base + "\\no_such_program_here.exe";
  const char* none[] = {missing.c_str(), nullptr};
  EXPECT_EQ(os_spawn(missing.c_str(), none, 1), -1);
  EXPECT_EQ(os_spawn(nullptr, none, 1), -1);
}

TEST_F(OsTest, ChangeDirectoryAndReadItBack) {
  fs::create_directories(host("inner") / "deep");
  ASSERT_EQ(os_chdir(base.c_str()), 0);
  char buf[1024];
  ASSERT_EQ(os_getcwd(buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf).size(), base.size()) << buf;
  ASSERT_EQ(os_chdir("inner\\deep"), 0);  // relative, Windows separator
  ASSERT_EQ(os_getcwd(buf, sizeof buf), 0);
  EXPECT_EQ(std::string(buf).substr(base.size()), "\\inner\\deep");
  EXPECT_EQ(os_chdir("no such dir"), -1);
  char tiny[2];
  EXPECT_EQ(os_getcwd(tiny, sizeof tiny), -1);
}

TEST_F(OsTest, FilesAndDirectories) {
  std::string d = base + "\\GAME";
  ASSERT_EQ(os_mkdir(d.c_str()), 0);
  errno = 0;
  EXPECT_EQ(os_mkdir(d.c_str()), -1);
  EXPECT_EQ(errno, EEXIST);
  errno = 0;
  EXPECT_EQ(os_mkdir((base + "\\NONE\\SUB").c_str()), -1);
  EXPECT_EQ(errno, ENOENT);

  std::string file = d + "\\DATA.BIN";
  int fd = os_open(file.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  ASSERT_GE(fd, 0);
  const char bytes[] = "a\r\nb\n\x1a" "c";  // binary: no translation
  EXPECT_EQ(os_write(fd, bytes, sizeof bytes - 1), static_cast<long>(sizeof bytes - 1));
  EXPECT_EQ(os_close(fd), 0);
  EXPECT_EQ(fs::file_size(host("GAME") / "DATA.BIN"), sizeof bytes - 1);
  fd = os_open(file.c_str(), OS_O_RDONLY);
  ASSERT_GE(fd, 0);
  char back[16] = {};
  EXPECT_EQ(os_read(fd, back, sizeof back), static_cast<long>(sizeof bytes - 1));
  EXPECT_EQ(std::memcmp(back, bytes, sizeof bytes - 1), 0);
  os_close(fd);
  EXPECT_EQ(os_access(file.c_str()), 0);
  EXPECT_EQ(os_access(d.c_str()), 0);

  FILE* f = os_fopen((d + "\\TEXT.TXT").c_str(), "wt");
  ASSERT_NE(f, nullptr);
  std::fputs("text\n", f);
  std::fclose(f);
  EXPECT_EQ(os_rmdir(d.c_str()), -1);  // not empty
  EXPECT_EQ(os_remove(file.c_str()), 0);
  EXPECT_EQ(os_remove((d + "\\TEXT.TXT").c_str()), 0);
  EXPECT_EQ(os_access(file.c_str()), -1);
  EXPECT_EQ(os_remove(file.c_str()), -1);
  EXPECT_EQ(os_rmdir(d.c_str()), 0);
  EXPECT_EQ(os_access(d.c_str()), -1);
}

TEST_F(OsTest, WriteFaultGivesAShortWriteThenNoSpace) {
  std::string file = base + "\\FULL.BIN";
  int fd = os_open(file.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  ASSERT_GE(fd, 0);
  os_fault_write_after(4);
  EXPECT_EQ(os_write(fd, "123456", 6), 4);
  errno = 0;
  EXPECT_EQ(os_write(fd, "7", 1), -1);
  EXPECT_EQ(errno, ENOSPC);
  os_fault_write_after(-1);
  os_close(fd);
  EXPECT_EQ(fs::file_size(host("FULL.BIN")), 4u);
}

// Whole files arrive unchanged in pieces of at most the asked size; a full drive is a write
// failure and a file opened only for writing a read failure, each named as such.
TEST_F(OsTest, CopyBetweenOpenFilesSaysWhichSideFailed) {
  std::string src = base + "\\SRC.BIN", dst = base + "\\DST.BIN";
  std::string data(70000, '\0');
  for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7 + i / 251);
  int fd = os_open(src.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(os_write(fd, data.data(), data.size()), static_cast<long>(data.size()));
  os_close(fd);

  char buf[10000];
  int in = os_open(src.c_str(), OS_O_RDONLY);
  int out = os_open(dst.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  ASSERT_GE(in, 0);
  ASSERT_GE(out, 0);
  long total = 0, got;
  int writeFailed = -1;
  while ((got = os_copy(in, out, buf, sizeof buf, &writeFailed)) > 0) {
    EXPECT_LE(got, static_cast<long>(sizeof buf));
    total += got;
  }
  EXPECT_EQ(got, 0);
  EXPECT_EQ(total, static_cast<long>(data.size()));
  os_close(in);
  os_close(out);
  std::ifstream back(host("DST.BIN"), std::ios::binary);
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(back), std::istreambuf_iterator<char>()), data);

  in = os_open(src.c_str(), OS_O_RDONLY);
  out = os_open(dst.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  os_fault_write_after(100);
  EXPECT_EQ(os_copy(in, out, buf, sizeof buf, &writeFailed), -1);
  EXPECT_EQ(writeFailed, 1);
  EXPECT_EQ(errno, ENOSPC);
  os_fault_write_after(-1);
  os_close(in);
  os_close(out);

  in = os_open(dst.c_str(), OS_O_WRONLY);  // cannot be read
  out = os_open(src.c_str(), OS_O_WRONLY | OS_O_CREAT | OS_O_TRUNC);
  EXPECT_EQ(os_copy(in, out, buf, sizeof buf, &writeFailed), -1);
  EXPECT_EQ(writeFailed, 0);
  os_close(in);
  os_close(out);
}

TEST_F(OsTest, DriveCHasFreeSpaceAndTheWindowsDirectoryExists) {
  uint64_t bytes = 0;
  ASSERT_EQ(os_disk_free(3, &bytes), 0);
  EXPECT_GT(bytes, 0u);
  EXPECT_EQ(os_disk_free(0, &bytes), -1);
  EXPECT_EQ(bytes, 0u);
  char win[260];
  ASSERT_EQ(os_windows_dir(win, sizeof win), 0);
  EXPECT_EQ(os_access(win), 0) << win;
  EXPECT_EQ(win[1], ':');
}

// A key name no other test or program uses.
std::string uniqueKey() {
  std::random_device rd;
  return "Software\\SetupOsTest" + std::to_string(rd()) + std::to_string(rd());
}

#ifdef _WIN32
void deleteKey(os_reg_root root, const std::string& path) {
  RegDeleteTreeA(root == OS_HKEY_CURRENT_USER ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, path.c_str());
}
#else
void deleteKey(os_reg_root, const std::string&) {}  // the machine goes with the test
#endif

TEST_F(OsTest, RegistryKeysAndStringValues) {
  for (os_reg_root root : {OS_HKEY_LOCAL_MACHINE, OS_HKEY_CURRENT_USER}) {
    std::string base = uniqueKey();
    std::string leaf = base + "\\Maker\\Title\\1.0";
    os_hkey key = nullptr;
    int created = -1;
    EXPECT_EQ(os_reg_open(root, base.c_str(), &key), -1);
    ASSERT_EQ(os_reg_create(root, leaf.c_str(), &key, &created), 0);  // parents made on the way
    EXPECT_EQ(created, 1);
    ASSERT_EQ(os_reg_set_string(key, nullptr, "C:\\GAMES\\FOO\\FOO.EXE"), 0);
    ASSERT_EQ(os_reg_set_string(key, "Path", "C:\\GAMES\\FOO"), 0);
    ASSERT_EQ(os_reg_set_string(key, "Quote", "say \"hi\" \\ bye"), 0);
    ASSERT_EQ(os_reg_set_string(key, "Empty", ""), 0);
    os_reg_close(key);

    ASSERT_EQ(os_reg_create(root, leaf.c_str(), &key, &created), 0);
    EXPECT_EQ(created, 0);
    os_reg_close(key);
    ASSERT_EQ(os_reg_open(root, (base + "\\Maker").c_str(), &key), 0);
    os_reg_close(key);

    ASSERT_EQ(os_reg_open(root, leaf.c_str(), &key), 0);
    char buf[64];
    ASSERT_EQ(os_reg_get_string(key, "", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "C:\\GAMES\\FOO\\FOO.EXE");
    ASSERT_EQ(os_reg_get_string(key, "path", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "C:\\GAMES\\FOO");
    ASSERT_EQ(os_reg_get_string(key, "Quote", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "say \"hi\" \\ bye");
    ASSERT_EQ(os_reg_get_string(key, "Empty", buf, sizeof buf), 0);
    EXPECT_STREQ(buf, "");
    char tiny[6];
    EXPECT_EQ(os_reg_get_string(key, "Path", tiny, sizeof tiny), -1);  // does not fit
    EXPECT_EQ(os_reg_get_string(key, "Missing", buf, sizeof buf), -1);
    os_reg_close(key);
    os_reg_close(nullptr);
    deleteKey(root, base);
  }
}

TEST_F(OsTest, ProgramsFolderIsInTheShellFolders) {
  os_hkey key = nullptr;
  ASSERT_EQ(os_reg_open(OS_HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders",
                        &key),
            0);
  char buf[260];
  ASSERT_EQ(os_reg_get_string(key, "Programs", buf, sizeof buf), 0);
  EXPECT_EQ(buf[1], ':') << buf;
  os_reg_close(key);
}

#ifdef _WIN32
// Writes the value that tests/wine_registry_check.sh then looks for in the Wine prefix's files.
// Skipped unless that script asks for it.
TEST(OsRegistryPrefix, WritesTheKnownValue) {
  if (!std::getenv("SETUP_REGISTRY_CHECK")) GTEST_SKIP() << "only for wine_registry_check.sh";
  for (os_reg_root root : {OS_HKEY_LOCAL_MACHINE, OS_HKEY_CURRENT_USER}) {
    os_hkey key = nullptr;
    int created = 0;
    ASSERT_EQ(os_reg_create(root, "Software\\SetupOsTestPrefix\\Check", &key, &created), 0);
    ASSERT_EQ(os_reg_set_string(key, "Known", "written through the prefix"), 0);
    os_reg_close(key);
  }
}
#endif

}  // namespace
