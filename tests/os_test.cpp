// OS services: starting a real program with and without waiting, and the current directory.
#include "platform/os.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

#ifdef _WIN32
std::string shell() {
  const char* comspec = std::getenv("ComSpec");
  return comspec ? comspec : "C:\\windows\\system32\\cmd.exe";
}
#endif

TEST(OsSpawn, WaitReturnsTheExitCode) {
#ifdef _WIN32
  std::string sh = shell();
  const char* argv[] = {sh.c_str(), "/c", "exit 3", nullptr};
  EXPECT_EQ(os_spawn(sh.c_str(), argv, 1), 3);
  const char* ok[] = {sh.c_str(), "/c", "exit 0", nullptr};
  EXPECT_EQ(os_spawn(sh.c_str(), ok, 1), 0);
#else
  const char* argv[] = {"/bin/sh", "-c", "exit 3", nullptr};
  EXPECT_EQ(os_spawn("/bin/sh", argv, 1), 3);
  const char* ok[] = {"/bin/sh", "-c", "exit 0", nullptr};
  EXPECT_EQ(os_spawn("/bin/sh", ok, 1), 0);
#endif
}

TEST(OsSpawn, NoWaitReturnsAProcessId) {
#ifdef _WIN32
  std::string sh = shell();
  const char* argv[] = {sh.c_str(), "/c", "exit 0", nullptr};
  EXPECT_GT(os_spawn(sh.c_str(), argv, 0), 0);
#else
  const char* argv[] = {"/bin/sh", "-c", "exit 0", nullptr};
  EXPECT_GT(os_spawn("/bin/sh", argv, 0), 0);
#endif
}

TEST(OsSpawn, MissingProgramCannotStart) {
  std::string missing = (fs::temp_directory_path() / "no_such_program_here.exe").string();
  const char* argv[] = {missing.c_str(), nullptr};
  EXPECT_EQ(os_spawn(missing.c_str(), argv, 1), -1);
  EXPECT_EQ(os_spawn(nullptr, argv, 1), -1);
}

TEST(OsDirectory, ChangeAndReadBackWithWindowsSeparators) {
  fs::path old = fs::current_path();
  fs::path dir = fs::temp_directory_path() / "os_test_dir";
  fs::create_directories(dir / "inner" / "deep");
  ASSERT_EQ(os_chdir(dir.string().c_str()), 0);
  char buf[1024];
  ASSERT_EQ(os_getcwd(buf, sizeof buf), 0);
  EXPECT_TRUE(fs::equivalent(buf, dir)) << buf;
  // Relative, with a backslash: the host maps it to its own separator.
  ASSERT_EQ(os_chdir("inner\\deep"), 0);
  EXPECT_TRUE(fs::equivalent(fs::current_path(), dir / "inner" / "deep"));
  EXPECT_EQ(os_chdir("no such dir"), -1);
  char tiny[2];
  EXPECT_EQ(os_getcwd(tiny, sizeof tiny), -1);
  fs::current_path(old);
  fs::remove_all(dir);
}

}  // namespace
