// File transfer: directories and files of the list, what the log records, cancel at every block
// (the machine is left exactly as before), Escape then no, a full drive, refused list entries.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "engine_util.h"

using namespace engine_util;

namespace {

class Transfer : public EngineTest {
 protected:
  // Entries of the moved log that name something below the destination's drive tree.
  std::vector<std::string> fileEntries(const std::string& to) {
    std::vector<std::string> out;
    for (const auto& e : logEntries(to))
      if (e.rfind("Copied ", 0) == 0 || e.rfind("MadeDir " + to + "\\", 0) == 0 || e.rfind("Replaced ", 0) == 0 ||
          e.rfind("Skipped ", 0) == 0)
        out.push_back(e);
    return out;
  }
  bool hasBox(const std::string& text) {
    auto b = boxes();
    return std::find(b.begin(), b.end(), text) != b.end();
  }
};

TEST_F(Transfer, OnlyDirectoryLinesMakeEachNewLevelOnceOutermostFirst) {
  makeMedium(defaultIni(), {{"typical.lst", "s=0\nd=A\\B\\C\nd=A\\B\\\nd=E\n"}}, {});
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(fileEntries(dest), (std::vector<std::string>{
                                   "MadeDir " + dest + "\\A",
                                   "MadeDir " + dest + "\\A\\B",
                                   "MadeDir " + dest + "\\A\\B\\C",
                                   "MadeDir " + dest + "\\E",
                               }));
  EXPECT_TRUE(fs::is_directory(host(dest + "\\A\\B\\C")));
  // Progress ended full although the type has no size.
  ASSERT_FALSE(uiScriptProgress().empty());
  EXPECT_EQ(uiScriptProgress().back().done, uiScriptProgress().back().total);
}

#ifndef _WIN32
TEST_F(Transfer, TheDestinationAndItsMissingParentsAreLoggedAnExistingDirectoryIsNot) {
  makeMedium(defaultIni(), {{"typical.lst", "d=OLD\nd=NEW\n"}}, {});
  ASSERT_EQ(os_mkdir("C:\\GAMES"), 0);
  ASSERT_EQ(createDir("C:\\GAMES\\TEST\\OLD"), 1);  // made before the log is open: not logged
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(fileEntries(dest), (std::vector<std::string>{"MadeDir C:\\GAMES\\TEST\\NEW"}));
}

TEST_F(Transfer, FreshMachineLogsTheDestinationParentsFirst) {
  makeMedium(defaultIni(), {{"typical.lst", "d=X\n"}}, {});
  EXPECT_EQ(install(), 3);
  auto entries = logEntries(dest);
  ASSERT_GE(entries.size(), 3u);
  EXPECT_EQ(entries[0], "MadeDir C:\\GAMES");
  EXPECT_EQ(entries[1], "MadeDir C:\\GAMES\\TEST");
  EXPECT_EQ(entries[2], "MadeDir C:\\GAMES\\TEST\\X");
}
#endif

// Every entry is written before its file is made; a file already there is moved aside first, and
// a file that could not be read or written is named again as skipped, so that no undo deletes it.
TEST_F(Transfer, FilesAreLoggedAheadReplacedFilesMovedAsideAndFailuresSkipped) {
  std::string game = content(20000, 1);
  makeMedium(defaultIni(), {{"typical.lst", "s=20000\nd=DATA\nf=empty.txt\nf=game.exe\nf=DATA\\missing.bin\nf=NODIR\\x.txt\n"}},
             {{"empty.txt", ""}, {"game.exe", game}, {"NODIR\\x.txt", "x"}});
  ASSERT_EQ(createDir(dest.c_str()), 1);
  const std::string older = "an older, longer version of the game program......";
  {
    std::ofstream(host(dest) + "/game.exe", std::ios::binary) << older;
  }
  uiScriptReset();
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(slurp(host(dest + "\\game.exe")), game);  // a whole new file, not appended
  EXPECT_EQ(slurp(host(dest + "\\uninst.bak\\1.bak")), older);
  EXPECT_TRUE(fs::exists(host(dest + "\\empty.txt")));
  EXPECT_EQ(fs::file_size(host(dest + "\\empty.txt")), 0u);
  EXPECT_EQ(fileEntries(dest), (std::vector<std::string>{
                                   "MadeDir " + dest + "\\DATA",
                                   "Copied " + dest + "\\empty.txt",
                                   "MadeDir " + dest + "\\uninst.bak",
                                   "Replaced " + dest + "\\game.exe > " + dest + "\\uninst.bak\\1.bak",
                                   "Copied " + dest + "\\game.exe",
                                   "Copied " + dest + "\\DATA\\missing.bin",
                                   "Copied " + dest + "\\NODIR\\x.txt",
                                   "Skipped " + dest + "\\DATA\\missing.bin",
                                   "Skipped " + dest + "\\NODIR\\x.txt",
                               }));
  EXPECT_TRUE(hasBox("Cannot read DATA\\missing.bin"));
  EXPECT_TRUE(hasBox("Cannot write " + dest + "\\NODIR\\x.txt"));
  EXPECT_FALSE(fs::exists(host(dest + "\\NODIR")));
  // One cancel poll and one progress report per block: 20000 bytes are three blocks of 8192
  // bytes or fewer.
  EXPECT_EQ(uiScriptPollCount(), 3);
  ASSERT_EQ(uiScriptProgress().size(), 3u);
  EXPECT_EQ(uiScriptProgress()[0].done, 8192u);
  EXPECT_EQ(uiScriptProgress()[1].done, 16384u);
  EXPECT_EQ(uiScriptProgress()[2].done, 20000u);
  EXPECT_EQ(uiScriptProgress()[2].total, 20000u);
}

// The product's own files are never emptied: a destination that is empty or relative (it would be
// read against the medium) is refused before anything is written, and a destination that is the
// medium's own folder skips every file; the log cannot go there, so the install is taken back.
TEST_F(Transfer, TheMediumsOwnFilesAreNeverADestination) {
  const std::string game = content(20000, 1);
  makeMedium(defaultIni(), {{"typical.lst", "s=20000\nf=game.exe\n"}}, {{"game.exe", game}});
  char here[INST_PATH_SIZE];
  ASSERT_EQ(os_getcwd(here, sizeof here), 0);
  for (const std::string& to : {std::string(""), std::string("GAMES"), std::string(here)}) {
    uiScriptReset();
    currentState = 0;
    const bool refused = to != here;
#ifndef _WIN32
    const int expected = 1;  // the host's medium is a disc: the log cannot go there either
#else
    const int expected = refused ? 1 : 3;
#endif
    EXPECT_EQ(install(to), expected) << to;
    EXPECT_EQ(slurp(medium / "game.exe"), game) << to;
    EXPECT_EQ(uiScriptPollCount(), 0) << to;  // nothing was copied
    if (refused) {
      EXPECT_TRUE(hasBox("The destination is not a full path on a drive:\n" + to)) << to;
      EXPECT_FALSE(fs::exists(medium / "uninst.log")) << to;
      EXPECT_EQ(os_access("C:\\uninst.log"), -1) << to;  // the refused install leaves no log behind
    } else {
      const std::string file = to + (to.back() == '\\' ? "" : "\\") + "game.exe";
      EXPECT_TRUE(hasBox("A file would be copied onto itself and was skipped:\n" + file));
#ifndef _WIN32
      EXPECT_FALSE(fs::exists(medium / "uninst.log"));
#endif
    }
  }
}

#ifndef _WIN32
// An install that could not be undone or uninstalled does not start: the log cannot be made (a
// folder stands where it would go), the user is told, and nothing is copied.
TEST_F(Transfer, AnInstallWithoutALogDoesNotStart) {
  makeMedium(defaultIni(), {{"typical.lst", "s=1\nf=game.exe\n"}}, {{"game.exe", "x"}});
  fs::create_directories(host("C:\\") + "/uninst.log");
  EXPECT_EQ(install(), 1);
  EXPECT_TRUE(hasBox("The uninstall log C:\\uninst.log cannot be written; nothing was installed."));
  EXPECT_FALSE(fs::exists(host(dest + "\\game.exe")));
  EXPECT_EQ(uiScriptPollCount(), 0);
}
#endif

TEST_F(Transfer, EntriesOutsideTheDestinationOrTooLongAreRefusedAndSkipped) {
  std::string longName(300, 'n');
  makeMedium(defaultIni(),
             {{"typical.lst", "f=..\\escape.txt\nf=C:\\evil.txt\nf=\\evil.txt\nd=A\\..\\..\\up\nf=" + longName +
                                  "\nf=ok.txt\nd=A\\..\\B\n"}},
             {{"ok.txt", "ok"}});
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(fileEntries(dest), (std::vector<std::string>{
                                   "Copied " + dest + "\\ok.txt",
                                   "MadeDir " + dest + "\\B",  // the folder itself, as the uninstaller expects
                               }));
  auto b = boxes();
  int refused = 0;
  for (const auto& t : b)
    if (t.find("outside the destination") != std::string::npos) ++refused;
  EXPECT_EQ(refused, 4);
  EXPECT_TRUE(std::any_of(b.begin(), b.end(), [](const std::string& t) { return t.find("too long") != std::string::npos; }));
  EXPECT_FALSE(fs::exists(host(dest) + "/../escape.txt"));
  EXPECT_TRUE(fs::is_directory(host(dest + "\\B")));
}

TEST_F(Transfer, ADirectoryBelowAFileGivesUpInsteadOfRetryingForever) {
  makeMedium(defaultIni(), {{"typical.lst", "f=blocker\nd=blocker\\sub\nf=after.txt\n"}},
             {{"blocker", "a file"}, {"after.txt", "after"}});
  EXPECT_EQ(install(), 3);
  EXPECT_TRUE(hasBox("Cannot make directory " + dest + "\\blocker\\sub"));
  EXPECT_EQ(slurp(host(dest + "\\after.txt")), "after");
}

TEST_F(Transfer, NoListStillFinishesTheInstall) {
  makeMedium(defaultIni("[Typical]\nList=\n"), {}, {});
  EXPECT_EQ(install(), 3);
  EXPECT_TRUE(hasBox("No file list"));
}

// Several files spanning several blocks: cancelling at any block leaves the machine as it was.
TEST_F(Transfer, CancelAtEveryBlockLeavesTheMachineAsBefore) {
  makeMedium(defaultIni(), {{"typical.lst", "s=66385\nd=DATA\nd=DATA\\SUB\nf=a.bin\nf=DATA\\b.bin\nf=DATA\\SUB\\c.bin\nf=d.bin\n"}},
             {{"a.bin", content(20000, 1)},
              {"DATA\\b.bin", content(8192, 2)},
              {"DATA\\SUB\\c.bin", content(1, 3)},
              {"d.bin", content(38192, 4)}});
  const int blocks = 3 + 1 + 1 + 5;
  auto before = snapshot();
  for (int k = 1; k <= blocks; ++k) {
    uiScriptReset();
    uiScriptCancelAtPoll(k);
    uiScriptQueueAnswer(1);
    EXPECT_EQ(install(), 1) << "cancel at poll " << k;
    EXPECT_EQ(uiScriptPollCount(), k);
    EXPECT_EQ(messages(UiKind::question), std::vector<std::string>{"Cancel the installation?"});
    EXPECT_TRUE(boxes().empty()) << boxes().front();
    EXPECT_EQ(snapshot(), before) << "cancel at poll " << k;
  }
  // Without Escape the copy takes exactly one poll per block.
  uiScriptReset();
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(uiScriptPollCount(), blocks);
}

TEST_F(Transfer, EscapeThenNoEndsLikeNoEscape) {
  makeMedium(defaultIni(), {{"typical.lst", "s=40000\nd=DATA\nf=a.bin\nf=DATA\\b.bin\n"}},
             {{"a.bin", content(20000, 1)}, {"DATA\\b.bin", content(20000, 2)}});
  EXPECT_EQ(install(), 3);
  auto plain = snapshot();
  auto plainLog = logEntries(dest);
#ifndef _WIN32
  // A second, fresh machine for the run with Escape.
  root = tmp / "root2";
  setenv("VRK_ROOT", root.c_str(), 1);
  os_host_reset();
#else
  std::error_code ec;
  fs::remove_all(root, ec);
  fs::create_directories(root);
#endif
  uiScriptReset();
  uiScriptCancelAtPoll(2);
  uiScriptQueueAnswer(0);
  uiScriptCancelAtPoll(4);
  uiScriptQueueAnswer(-1);  // a question that could not be asked is no answer: the copy goes on
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(uiScriptPollCount(), 6);
  EXPECT_EQ(logEntries(dest), plainLog);
  EXPECT_EQ(snapshot(), plain);
}

// A drive that fills up during the copy ends the install: the user is told, and what was
// installed is taken back as after a cancel.
TEST_F(Transfer, AFullDriveEndsTheInstallAndTakesItBack) {
  makeMedium(defaultIni(), {{"typical.lst", "s=50000\nf=small.bin\nf=big.bin\nf=after.bin\n"}},
             {{"small.bin", content(100, 1)}, {"big.bin", content(50000, 2)}, {"after.bin", content(10, 3)}});
  const auto before = snapshot();
  os_fault_write_after(100 + 10000);  // the drive fills up inside the second block of big.bin
  EXPECT_EQ(install(), 1);
  os_fault_write_after(-1);
  EXPECT_TRUE(hasBox("Drive " + dest.substr(0, 1) + ": is full.\n" + dest +
                     "\\big.bin could not be written.\nSetup takes back what it has installed:\n"
                     "make room on the drive and run setup again."));
  EXPECT_EQ(snapshot(), before);
}

}  // namespace

#ifndef _WIN32
// Write-ahead: at every moment of the copy (each block polls the input), the log as it stands on
// the disk names every folder and file that is new on the machine, so a killed install leaves
// nothing untracked.
TEST_F(Transfer, TheLogOnTheDiskNamesEverythingNewAtEveryBlock) {
  namespace fs = std::filesystem;
  makeMedium(defaultIni(), {{"typical.lst", "s=70000\nd=DATA\nd=DATA\\SUB\\DEEP\nf=a.bin\nf=DATA\\SUB\\DEEP\\b.bin\nf=c.bin\n"}},
             {{"a.bin", content(30000, 1)}, {"DATA\\SUB\\DEEP\\b.bin", content(5, 2)}, {"c.bin", content(40000, 3)}});
  const auto before = snapshot();
  int checked = 0;
  static std::function<void()> onPoll;
  onPoll = [&] {
    const std::string log = slurpText(host("C:\\uninst.log"));
    for (const auto& [rel, what] : snapshot()) {
      if (before.count(rel) || rel == "C/uninst.log" || rel == "registry.reg") continue;
      std::string win = "C:" + rel.substr(1);
      for (char& ch : win)
        if (ch == '/') ch = '\\';
      const std::string entry = (what == "<dir>" ? "MadeDir " : "Copied ") + win + "\n";
      EXPECT_NE(log.find(entry), std::string::npos) << entry << "is on the disk before the log names it";
    }
    ++checked;
  };
  uiScriptReset();
  uiScriptOnPoll([](int, void*) { onPoll(); }, nullptr);
  EXPECT_EQ(install(), 3);
  EXPECT_EQ(checked, 4 + 1 + 5);
}
#endif
