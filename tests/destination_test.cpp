// What Next accepts as a destination: one table of texts, each with the folder it becomes or the
// reason it is refused (the medium at Z:\, Windows at C:\WINDOWS, the longest file 40 characters).
#include <gtest/gtest.h>

#include <string>

#include "base/pathutil.h"
#include "engine/destination.h"

namespace {

struct Case {
  const char* text;
  int reason;
  const char* folder;  // the normal form, for an accepted text
};

TEST(Destination, EachTextBecomesItsFolderOrIsRefusedForItsReason) {
  const std::string long200(200, 'x');
  const std::string fits = "C:\\" + std::string(259 - 3 - 1 - 40, 'a');
  const std::string tooLong = fits + "b";
  const std::string twoLong = "C:\\" + long200 + "\\" + long200;
  const Case cases[] = {
      {"C:\\SAMPLEQ", DEST_OK, "C:\\SAMPLEQ"},
      {"c:/games//sq\\", DEST_OK, "C:\\games\\sq"},
      {"D:GAMES", DEST_OK, "D:\\GAMES"},  // relative to the drive's root
      {"C:\\SAMPLEQ\\..\\WINDOWS\\..\\GAMES", DEST_OK, "C:\\GAMES"},
      {"C:\\A\\.\\B", DEST_OK, "C:\\A\\B"},
      {"C:\\Program Files\\My Game", DEST_OK, "C:\\Program Files\\My Game"},
      {"C:\\WINDOWSGAMES", DEST_OK, "C:\\WINDOWSGAMES"},
      {"", DEST_NOT_FULL, ""},
      {"\\SAMPLEQ", DEST_NOT_FULL, ""},
      {"GAMES", DEST_NOT_FULL, ""},
      {"..\\..\\x", DEST_NOT_FULL, ""},
      {"1:\\X", DEST_NOT_FULL, ""},
      {"C:\\", DEST_ROOT, ""},
      {"D:", DEST_ROOT, ""},
      {"C:\\X\\..", DEST_ROOT, ""},
      {"C:\\..\\..\\x", DEST_BAD_NAME, ""},
      {"C:\\SAMPLE?*<>|\"", DEST_BAD_NAME, ""},
      {"C:\\GAMES\\CON", DEST_BAD_NAME, ""},
      {"C:\\nul.txt", DEST_BAD_NAME, ""},
      {"C:\\GAMES\\com1\\X", DEST_BAD_NAME, ""},
      {"C:\\GAMES.", DEST_BAD_NAME, ""},
      {"C:\\GAMES \\X", DEST_BAD_NAME, ""},
      {"C:\\GA:MES", DEST_BAD_NAME, ""},
      {"C:\\GA\tMES", DEST_BAD_NAME, ""},
      {"Z:\\", DEST_ROOT, ""},
      {"Z:\\GAMES", DEST_MEDIUM, ""},
      {"C:\\WINDOWS", DEST_WINDOWS, ""},
      {"c:\\windows\\system\\games", DEST_WINDOWS, ""},
      {fits.c_str(), DEST_OK, fits.c_str()},
      {tooLong.c_str(), DEST_TOO_LONG, ""},
      {twoLong.c_str(), DEST_TOO_LONG, ""},
  };
  for (const Case& c : cases) {
    char out[260] = "unchanged";
    EXPECT_EQ(checkDestination(c.text, "Z:\\", "C:\\WINDOWS", 40, out, sizeof out), c.reason) << c.text;
    EXPECT_STREQ(out, c.folder) << c.text;
  }
  // A medium in a folder of a hard disk refuses that folder, not its drive.
  char out[260];
  EXPECT_EQ(checkDestination("C:\\DOWNLOAD\\GAME\\DATA", "C:\\DOWNLOAD\\GAME", "C:\\WINDOWS", 0, out, sizeof out),
            DEST_MEDIUM);
  EXPECT_EQ(checkDestination("C:\\DOWNLOAD\\GAMES", "C:\\DOWNLOAD\\GAME", "C:\\WINDOWS", 0, out, sizeof out), DEST_OK);
}

// What a shortcut's folder and target may be: a plain relative path, below the Programs menu or
// the destination. A name is one valid name.
TEST(Destination, ShortcutFoldersTargetsAndNamesStayWhereTheyBelong) {
  const struct {
    const char* path;
    int plain;
  } paths[] = {
      {"Sample Games", 1}, {"Games\\Sample", 1}, {"EXTRAS/MANUAL.TXT", 1}, {"", 0}, {"..\\..\\..", 0},
      {"A\\..\\B", 0},  {".\\GAME.EXE", 0},  {"\\WINDOWS", 0},        {"C:\\WIN.INI", 0},
      {"C:WIN.INI", 0},    {"A\\\\B", 0},     {"CON\\X", 0},            {"A\\B.", 0},
  };
  for (const auto& p : paths) EXPECT_EQ(isPlainRelativePath(p.path), p.plain) << p.path;
  EXPECT_TRUE(isValidName("Read Me", 7));
  EXPECT_FALSE(isValidName("..\\Desktop\\x", 14));
  EXPECT_FALSE(isValidName("a/b", 3));
  EXPECT_FALSE(isValidName("LPT9", 4));
  EXPECT_TRUE(isValidName("LPT0", 4));
}

}  // namespace
