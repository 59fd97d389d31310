// A real setup killed (SIGKILL) in the middle of a replayed install: the uninstall log left on the
// disk names everything the install made so far, and the real uninstaller run on that log puts the
// machine back exactly as it was. Each attempt runs on a fresh emulated machine; the test watches
// the machine's folder, stops setup (SIGSTOP) the moment it reaches the wanted point, checks that
// the point still holds while setup is stopped, and only then kills it. A point passed before setup
// could be stopped is tried again on a new machine, a bounded number of times.
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUP_EXE) && defined(VLUNINST_EXE) && defined(SAMPLE_MEDIUM)

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

#include "tests/support/files.h"
#include "tests/support/run_tool.h"
#include "tests/programs_util.h"
#include "tests/support/tempdir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using namespace programs;

constexpr int ATTEMPTS = 40;  // fresh machines tried per point before the test gives up

// The number of regular files below `dir` (0 when it does not exist).
int filesBelow(const fs::path& dir) {
  int n = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec))
    n += it->is_regular_file(ec) ? 1 : 0;
  return n;
}

// The points of the install at which setup is killed.
enum class Point { destFolder, firstFile, insideLargeFile, firstShortcut, logInDestination };

class KilledInstall : public ::testing::Test {
 protected:
  static inline TempDir* media = nullptr;  // the sample medium's copy that every attempt runs from
  static inline uintmax_t largeSize = 0;   // the full size of the large file

  // The sample medium, its first file (GAME.EXE) grown to the large file's size: copied in one
  // block, the first file would be there alone for too short a time to stop setup in it.
  static void SetUpTestSuite() {
    media = new TempDir("killed_install_medium");
    const fs::path m = media->path / "medium";
    fs::copy(SAMPLE_MEDIUM, m, fs::copy_options::recursive);
    largeSize = fs::file_size(m / "DATA/LEVEL1.MAP");
    std::string first = read_whole_file(m / "GAME.EXE");
    first.resize(largeSize, 'x');
    write_whole_file(m / "GAME.EXE", first);
  }
  static void TearDownTestSuite() {
    delete media;
    media = nullptr;
  }

  std::string session = "typical";  // the replayed case (tests/data/setup/<session>)
  std::string dest = "C/SAMPLEQ";   // where its install goes, below the machine's root
  bool userFiles = false;           // the user's own files are in the destination first
  bool recoverBySetup = false;      // the next setup takes the install back (Yes), not vluninst

  fs::path medium() const { return media->path / "medium"; }

  // Has setup reached `p`? Asked both while it runs (to stop it) and once it is stopped (to
  // confirm the point still holds): a folder with no file yet, exactly one file, a partial file,
  // one shortcut made (the registry keys are in place by then).
  bool at(Point p, const fs::path& root) const {
    std::error_code ec;
    switch (p) {
      case Point::destFolder:
        return fs::is_directory(root / dest, ec) && filesBelow(root / dest) == 0;
      case Point::firstFile:
        return filesBelow(root / dest) == 1;
      case Point::insideLargeFile: {
        const uintmax_t size = fs::file_size(root / dest / "DATA/LEVEL1.MAP", ec);
        return !ec && size > 0 && size < largeSize;
      }
      case Point::firstShortcut:
        return filesBelow(root / "C/WINDOWS/Start Menu/Programs/Sample Games") == 1;
      case Point::logInDestination:
        return fs::exists(root / dest / "uninst.log", ec);
    }
    return false;
  }

  // Runs setup on the session over machine `root` until it reaches `p`; there it is stopped,
  // the point checked again, and setup killed. True when it was killed at the point;
  // false when the point was passed before setup stopped, or setup ended first.
  bool killAt(Point p, const fs::path& root) {
    const std::string events = std::string(TEST_DATA_DIR) + "/setup/" + session + "/session.vcr";
    std::vector<std::string> env = {"VRK_ROOT=" + root.string(), "VRK_VIDEO=headless", "VRK_PLAY=" + events};
    for (char** e = environ; *e; ++e) {
      const std::string var = *e;
      if (var.rfind("VRK_ROOT=", 0) && var.rfind("VRK_VIDEO=", 0) && var.rfind("VRK_PLAY=", 0)) env.push_back(var);
    }
    std::vector<char*> envp;
    for (std::string& v : env) envp.push_back(v.data());
    envp.push_back(nullptr);
    std::string exe = SETUP_EXE;
    char* argv[] = {exe.data(), nullptr};
    const std::string dir = medium().string();
    std::fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) {
      const int null = open("/dev/null", O_RDWR);
      if (null < 0 || dup2(null, 0) < 0 || dup2(null, 1) < 0 || dup2(null, 2) < 0 || chdir(dir.c_str()) != 0)
        _exit(127);
      execve(argv[0], argv, envp.data());
      _exit(127);
    }
    if (pid < 0) {
      ADD_FAILURE() << "fork: " << std::strerror(errno);
      return false;
    }
    int status = 0;
    while (!at(p, root)) {
      if (waitpid(pid, &status, WNOHANG) == pid) return false;  // the install ended first
    }
    kill(pid, SIGSTOP);
    while (waitpid(pid, &status, WUNTRACED) < 0 && errno == EINTR) {
    }
    const bool held = WIFSTOPPED(status) && at(p, root);
    kill(pid, SIGKILL);
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    return held;
  }

  // Kills setup at `p` (on as many fresh machines as it takes), then checks the log against what
  // is new on the machine and undoes the install with the uninstaller.
  void check(Point p) {
    for (int attempt = 1; attempt <= ATTEMPTS; ++attempt) {
      TempDir scratch("killed_install");
      const fs::path root = scratch.path / "root";
      const ToolResult started = freshMachine(root, medium());
      if (userFiles) {  // the large file among them, at its full size: only the copy makes it partial
        fs::create_directories(root / dest / "DATA/MUSIC");
        write_whole_file(root / dest / "README.TXT", "My own notes.\r\n");
        write_whole_file(root / dest / "DATA/LEVEL1.MAP", std::string(largeSize, 'u'));
        write_whole_file(root / dest / "DATA/MUSIC/THEME.MID", "my tune");
        write_whole_file(root / dest / "SAVE1.DAT", "saved game");
      }
      const Machine before = snapshot(root);
      const std::string registry = read_whole_file(root / "registry.reg");
      ASSERT_FALSE(registry.empty()) << "the uninstaller did not start the machine: status " << started.status << ", "
                                     << started.out << started.err;
      if (!killAt(p, root)) continue;

      // The log on the disk: the temporary one, or the destination's once setup moved it there.
      const bool temporary = fs::exists(root / "C/uninst.log");
      const std::string logKey = temporary ? "C/UNINST.LOG" : upper(dest) + "/UNINST.LOG";
      const fs::path log = root / (temporary ? "C/uninst.log" : dest + "/uninst.log");
      ASSERT_TRUE(fs::exists(log)) << "setup was killed with no uninstall log on the disk";
      std::set<std::string> named;
      std::istringstream lines(read_whole_file(log));
      for (std::string line; std::getline(lines, line);) {
        const size_t space = line.find(' ');
        const std::string word = line.substr(0, space);
        const bool backup = word == "Replaced" || word == "Updated";
        if (space == std::string::npos || (word != "MadeDir" && word != "Copied" && word != "MadeShortcut" && !backup))
          continue;
        // "C:\SAMPLEQ\GAME.EXE" becomes "C/SAMPLEQ/GAME.EXE"; a backup line names where the file went
        std::string path = line.substr(backup ? line.find(" > ") + 3 : space + 1);
        if (path.size() < 3 || path[1] != ':') continue;
        path.erase(1, 1);
        for (char& c : path) c = c == '\\' ? '/' : c;
        named.insert(upper(path));
      }
      const Machine killed = snapshot(root);
      for (const auto& [key, what] : killed) {
        if (before.count(key) || key == logKey || key == "C/WINDOWS/VLUNINST.EXE") continue;
        EXPECT_TRUE(named.count(key)) << key << " (" << what << ") is on the machine but not in the log";
      }

      std::string winLog = logKey;
      winLog.insert(1, ":");
      for (char& c : winLog) c = c == '/' ? '\\' : c;
      const ToolResult r =
          recoverBySetup
              ? runOn(root, medium(), SETUP_EXE, {}, std::string(TEST_DATA_DIR) + "/setup/interrupted_yes/session.vcr")
              : runOn(root, medium(), VLUNINST_EXE, {"/S", "-f" + winLog});
      EXPECT_EQ(r.status, 0) << r.err;
      for (const char* shot : {"scr00000.bmp", "scr00001.bmp"}) fs::remove(medium() / shot);
      Machine after = snapshot(root);
      after.erase("C/WINDOWS/VLUNINST.EXE");  // the shared uninstaller is the system's to remove
      EXPECT_EQ(after, before);
      EXPECT_EQ(read_whole_file(root / "registry.reg"), registry);
      return;
    }
    FAIL() << "setup never stopped at the point in " << ATTEMPTS << " attempts";
  }
};

TEST_F(KilledInstall, AsTheDestinationFolderAppears) { check(Point::destFolder); }
TEST_F(KilledInstall, AsTheFirstFileAppears) { check(Point::firstFile); }
TEST_F(KilledInstall, InsideTheLargeFile) { check(Point::insideLargeFile); }
TEST_F(KilledInstall, AsTheFirstShortcutAppears) { check(Point::firstShortcut); }
TEST_F(KilledInstall, AsTheLogReachesTheDestination) { check(Point::logInDestination); }
// The user's own files in the destination: the install moved them aside, and the undo of the
// killed install puts every one back, byte for byte; also when the next setup takes it back.
TEST_F(KilledInstall, InsideTheLargeFileOverTheUsersFiles) {
  userFiles = true;
  check(Point::insideLargeFile);
}
TEST_F(KilledInstall, InsideTheLargeFileTakenBackByTheNextSetup) {
  userFiles = true;
  recoverBySetup = true;
  check(Point::insideLargeFile);
}
// An install to drive D: its log stays on C: until the end, naming folders and files on D:.
TEST_F(KilledInstall, InsideTheLargeFileOnDriveD) {
  session = "drive_d";
  dest = "D/SAMPLEQ";
  check(Point::insideLargeFile);
}

}  // namespace

#endif
