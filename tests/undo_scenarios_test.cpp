// What every undo promises, on the real setup and uninstaller over fresh emulated machines: the
// machine after the undo of a run is the machine before that run, and an uninstall leaves the
// machine as before the install, with the user's own files back byte for byte. Each case replays
// recorded sessions (tests/data/setup/<session>) and compares the whole machine: every folder,
// every file's bytes, and the registry.
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUP_EXE) && defined(VLUNINST_EXE) && defined(SAMPLE_MEDIUM) && defined(SETUPKIT_EXE)

#include <sys/stat.h>

#include <sstream>

#include "tests/programs_util.h"
#include "tests/support/tempdir.h"

namespace {

using namespace programs;

class Undo : public ::testing::Test {
 protected:
  static inline TempDir* media = nullptr;

  // The sample medium, and a second product made from it: the same files under another title.
  static void SetUpTestSuite() {
    media = new TempDir("undo_media");
    fs::copy(SAMPLE_MEDIUM, sample(), fs::copy_options::recursive);
    fs::copy(SAMPLE_MEDIUM, other(), fs::copy_options::recursive);
    const fs::path members = media->path / "members";
    std::istringstream list(run_tool(SETUPKIT_EXE, {"list", "INSTALL.DAT"}, sample()).out);
    std::string line;
    std::getline(list, line);  // the column heads
    while (std::getline(list, line)) {
      const std::string name = line.substr(line.rfind(' ') + 1);
      fs::create_directories(members);
      run_tool(SETUPKIT_EXE, {"extract", "INSTALL.DAT", name, "-o", (members / name).string()}, sample());
    }
    std::string ini = read_whole_file(members / "INSTALL.INI");
    for (size_t at; (at = ini.find("Title=Sample Quest")) != std::string::npos;) ini.replace(at + 6, 12, "Other Quest");
    write_whole_file(members / "INSTALL.INI", ini);
    const ToolResult packed = run_tool(SETUPKIT_EXE, {"pack", members.string(), "-o", "INSTALL.DAT"}, other());
    ASSERT_EQ(packed.status, 0) << packed.err;
  }
  static void TearDownTestSuite() {
    delete media;
    media = nullptr;
  }
  static fs::path sample() { return media->path / "sample"; }
  static fs::path other() { return media->path / "other"; }

  TempDir scratch{"undo"};
  fs::path root = scratch.path / "root";

  void SetUp() override { freshMachine(root, sample()); }

  // Plays `session` with setup from `medium`; its exit status. What the product's End program
  // wrote (WELCOME.TXT) is the product's doing, not the install's: it goes, as a user would delete
  // it, before anything is compared.
  int setup(const std::string& session, const fs::path& medium = sample()) {
    const ToolResult r =
        runOn(root, medium, SETUP_EXE, {}, std::string(TEST_DATA_DIR) + "/setup/" + session + "/session.vcr");
    for (const auto& entry : fs::directory_iterator(medium))
      if (entry.path().extension() == ".bmp") fs::remove(entry.path());
    std::error_code ec;
    fs::remove(root / "C/SAMPLEQ/WELCOME.TXT", ec);
    return r.status;
  }
  int uninstall(const std::string& log = "C:\\SAMPLEQ\\uninst.log") {
    return runOn(root, sample(), VLUNINST_EXE, {"/S", "-f" + log}).status;
  }
  // The whole machine, less the shared uninstaller (the system's to remove at its next start).
  Machine now() {
    Machine m = snapshot(root, true);
    m.erase("C/WINDOWS/VLUNINST.EXE");
    return m;
  }
  // The user's own files where the product goes, three of them named like the product's (one
  // read-only), and a save game.
  void userFiles() {
    fs::create_directories(root / "C/SAMPLEQ/DATA/MUSIC");
    write_whole_file(root / "C/SAMPLEQ/README.TXT", "My own notes.\r\n");
    write_whole_file(root / "C/SAMPLEQ/DATA/LEVEL1.MAP", "a level I made");
    write_whole_file(root / "C/SAMPLEQ/DATA/MUSIC/THEME.MID", "my tune");
    write_whole_file(root / "C/SAMPLEQ/SAVE1.DAT", "saved game");
    chmod((root / "C/SAMPLEQ/README.TXT").c_str(), 0444);
  }
};

TEST_F(Undo, CancelFullDriveAndUninstallGiveTheUsersFilesBack) {
  userFiles();
  const Machine before = now();
  EXPECT_EQ(setup("cancel_first_file"), 0);
  EXPECT_EQ(now(), before);
  EXPECT_EQ(setup("cancel_large_file"), 0);
  EXPECT_EQ(now(), before);
  const std::string drives = read_whole_file(root / "machine.ini");
  fs::copy_file(std::string(TEST_DATA_DIR) + "/setup/disk_full/machine.ini", root / "machine.ini",
                fs::copy_options::overwrite_existing);
  EXPECT_EQ(setup("disk_full"), 0);
  EXPECT_EQ(now(), before);
  write_whole_file(root / "machine.ini", drives);
  EXPECT_EQ(setup("typical"), 0);
  EXPECT_NE(now(), before);
  EXPECT_EQ(uninstall(), 0);
  EXPECT_EQ(now(), before);
}

TEST_F(Undo, OneUninstallTakesOffTwoInstallsIntoTheSameFolder) {
  const Machine before = now();
  EXPECT_EQ(setup("typical"), 0);
  EXPECT_EQ(setup("typical"), 0);
  EXPECT_EQ(uninstall(), 0);
  EXPECT_EQ(now(), before);
  EXPECT_EQ(setup("full"), 0);
  EXPECT_EQ(setup("typical"), 0);  // the manual and the second level stay the product's
  EXPECT_EQ(uninstall(), 0);
  EXPECT_EQ(now(), before);
}

TEST_F(Undo, ACancelledReinstallLeavesTheFirstInstallAsItWas) {
  const Machine before = now();
  EXPECT_EQ(setup("full"), 0);
  const Machine installed = now();
  EXPECT_EQ(setup("cancel_first_file"), 0);
  EXPECT_EQ(now(), installed);
  EXPECT_EQ(setup("cancel_large_file"), 0);
  EXPECT_EQ(now(), installed);
  EXPECT_EQ(uninstall(), 0);
  EXPECT_EQ(now(), before);
}

// A second product in the same folder keeps a log of its own; its uninstall puts back the first
// product's files it replaced, and the first product's uninstall still works.
TEST_F(Undo, ASecondProductInTheSameFolderIsUndoneOnItsOwn) {
  const Machine before = now();
  EXPECT_EQ(setup("typical"), 0);
  const Machine first = now();
  EXPECT_EQ(setup("typical", other()), 0);
  EXPECT_TRUE(fs::exists(root / "C/SAMPLEQ/uninst2.log"));
  EXPECT_EQ(uninstall("C:\\SAMPLEQ\\uninst2.log"), 0);
  EXPECT_EQ(now(), first);
  EXPECT_EQ(uninstall(), 0);
  EXPECT_EQ(now(), before);
}

}  // namespace

#endif
