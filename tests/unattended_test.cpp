// Setup and the uninstaller without anyone at the screen: an unattended install that cannot be
// done ends with status 1, says why on stderr and leaves the machine as it was; a program on the
// headless display with no session to play (or one that ran out) ends instead of waiting.
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUP_EXE) && defined(VLUNINST_EXE) && defined(SAMPLE_MEDIUM)

#include "tests/programs_util.h"
#include "tests/support/tempdir.h"

namespace {

using namespace programs;

class Unattended : public ::testing::Test {
 protected:
  TempDir scratch{"unattended"};
  fs::path root = scratch.path / "root", medium = scratch.path / "medium";
  void SetUp() override {
    fs::copy(SAMPLE_MEDIUM, medium, fs::copy_options::recursive);
    freshMachine(root, medium);
  }
  ToolResult setup(const std::vector<std::string>& words) { return runOn(root, medium, SETUP_EXE, words); }
};

TEST_F(Unattended, WhatCannotBeInstalledEndsWithItsReasonAndTheMachineAsItWas) {
  const Machine before = snapshot(root, true);
  const struct {
    std::vector<std::string> words;
    const char* machineIni;  // "" keeps the fresh machine's drives
    const char* says;
  } cases[] = {
      {{"/S", "/D=C:\\WINDOWS\\GAME"}, "", "Setup does not install into the Windows folder"},
      {{"/S", "/D=C:\\"}, "", "not the drive itself"},
      {{"/S", "/D=C:\\A<B"}, "", "This folder name cannot be used"},
      {{"/S", "/TYPE=3"}, "", "There is no install type 3: the script has 2."},
      {{"/S"}, "[FreeSpace]\nC=1000\nD=1000\n", "No drive has room"},
      {{"/S", "/D=Q:\\GAME"}, "", "That drive cannot be used"},
      {{"/S", "/D=C:\\WINDOWS\\..\\NOTES.TXT\\GAME"}, "", "A file is in the way of the folder"},
      // Room for the log's first lines, not for the entries naming the files: nothing is copied.
      {{"/S"}, "[FreeSpace]\nC=900000000\n[WriteLimit]\nC=400\n", "cannot be written; nothing was installed"},
  };
  write_whole_file(root / "C/NOTES.TXT", "the user's notes");
  const Machine withNotes = snapshot(root, true);
  for (const auto& c : cases) {
    if (c.machineIni[0]) write_whole_file(root / "machine.ini", c.machineIni);
    const ToolResult r = setup(c.words);
    EXPECT_EQ(r.status, 1) << c.says << "\n" << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(snapshot(root, true), withNotes) << c.says;
    write_whole_file(root / "machine.ini", "[FreeSpace]\nC=900000000\nD=50000000\n");
  }
  // A damaged archive: the reason, status 1, nothing written.
  std::string archive = read_whole_file(medium / "INSTALL.DAT");
  write_whole_file(medium / "INSTALL.DAT", archive.substr(0, 100));
  const ToolResult r = setup({"/S"});
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("install.dat cannot be read"), std::string::npos) << r.err;
  EXPECT_EQ(snapshot(root, true), withNotes);
  EXPECT_NE(before, withNotes);
}

// The log of a killed install is kept (no one can be asked), and the install goes on.
TEST_F(Unattended, AnInterruptedInstallsLogIsKeptAndSaidSo) {
  write_whole_file(root / "C/uninst.log", "x\n-- Log Begin --\nMadeDir C:\\SAMPLEQ\n");
  const ToolResult r = setup({"/S"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("kept as C:\\uninst-1.log"), std::string::npos) << r.err;
  EXPECT_TRUE(fs::exists(root / "C/uninst-1.log"));
  EXPECT_TRUE(fs::exists(root / "C/SAMPLEQ/GAME.EXE"));
}

TEST_F(Unattended, NoDisplayAndNoSessionEndsAtOnceWithStatusOne) {
  for (const char* program : {SETUP_EXE, VLUNINST_EXE}) {
    const ToolResult r = runOn(root, medium, program, {"-fC:\\SAMPLEQ\\uninst.log"});
    EXPECT_EQ(r.status, 1) << program;
    EXPECT_NE(r.err.find("no display and no recorded session: use VRK_PLAY, or /S"), std::string::npos) << r.err;
  }
  // A session that ends while the install panel waits: setup does not wait for the rest.
  const ToolResult cut = runOn(root, medium, SETUP_EXE, {}, std::string(TEST_DATA_DIR) + "/unattended/cut.vcr");
  EXPECT_EQ(cut.status, 1);
  EXPECT_NE(cut.err.find("no display and no recorded session"), std::string::npos) << cut.err;
}

#ifdef SETUPKIT_EXE
// What an author sees before shipping: one picture a panel, named, in order, each a PNG.
TEST_F(Unattended, PreviewWritesEveryPanelAsAPicture) {
  const fs::path out = scratch.path / "preview";
  const ToolResult r = run_tool(SETUPKIT_EXE, {"preview", medium.string(), "-o", out.string(), "--setup", SETUP_EXE}, scratch.path);
  ASSERT_EQ(r.status, 0) << r.err;
  std::string expected;
  for (const char* name : {"install-1.png", "install-2.png", "copy.png", "finish.png", "cancel.png"})
    expected += (out / name).string() + "\n";
  EXPECT_EQ(r.out, expected);
  for (const auto& entry : fs::directory_iterator(out))
    EXPECT_EQ(read_whole_file(entry.path()).substr(0, 8), "\x89PNG\r\n\x1a\n") << entry.path();
}
#endif

}  // namespace

#endif
