// setupkit lint and build on the sample project (host builds only): the sample builds and lints
// clean; each ordinary mistake an author makes, one at a time in a copy of the sample's data, gives
// its line; a project with a mistake is not built; setup itself stops with status 1 and the
// member's name when a font it needs is missing or damaged.
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUPKIT_EXE) && defined(SAMPLE_PROJECT)

#include <cstdint>
#include <filesystem>
#include <functional>
#include <regex>
#include <string>
#include <vector>

#include "tests/support/env.h"
#include "tests/support/files.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace {

// The sample project built once: the folder packed as INSTALL.DAT, and the medium.
struct Sample {
  TempDir dir{"kit_lint_test"};
  fs::path data = dir.path / "data", medium = dir.path / "medium";
  ToolResult built;
  Sample() {
    built = run_setupkit(
        {"build", SAMPLE_PROJECT, "-o", medium.string(), "--data", data.string(), "-D", "PRODUCT=" SAMPLE_PRODUCT, "-D",
         "UNINSTALLER=" VLUNINST_EXE, "-D", "WELCOME=" WELCOME_EXE, "-D", "SETUP=" SETUP_EXE},
        dir.path);
  }
};

Sample& sample() {
  static Sample s;
  return s;
}

// Replaces the first match of `pattern` in member `name` of `data` by `with`.
void edit(const fs::path& data, const std::string& name, const std::string& pattern, const std::string& with) {
  const std::string text = read_whole_file(data / name);
  const std::string changed =
      std::regex_replace(text, std::regex(pattern), with, std::regex_constants::format_first_only);
  ASSERT_NE(changed, text) << name << ": no " << pattern;
  ASSERT_TRUE(write_whole_file(data / name, changed));
}

// A 24-bit BMP of w x h pixels: the left half `left`, the right half `right`.
std::string bmp(int w, int h, uint32_t left, uint32_t right) {
  const int stride = (w * 3 + 3) & ~3;
  std::string out(54 + size_t(stride) * size_t(h), '\0');
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + size_t(i)] = char(v >> (8 * i));
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, uint32_t(out.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, uint32_t(w));
  put32(22, uint32_t(h));
  out[26] = 1;
  out[28] = 24;
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t c = x < w / 2 ? left : right;
      char* p = &out[54 + size_t(y) * size_t(stride) + size_t(x) * 3];
      p[0] = char(c);
      p[1] = char(c >> 8);
      p[2] = char(c >> 16);
    }
  return out;
}

// Member `name` of `data` made from a picture by setupkit pcx (in the data's own palette, or in
// the picture's when `own` is set).
void picture(const fs::path& data, const std::string& name, int w, int h, uint32_t left, uint32_t right, bool own) {
  const fs::path from = data.parent_path() / "picture.bmp";
  ASSERT_TRUE(write_whole_file(from, bmp(w, h, left, right)));
  std::vector<std::string> args = {"pcx", from.string(), "-o", (data / name).string()};
  if (!own) args.insert(args.end(), {"--palette", (data / "COLOR.PAL").string()});
  ASSERT_EQ(run_setupkit(args, data).status, 0);
  fs::remove(from);
}

struct Mistake {
  const char* what;
  std::function<void(const fs::path& data)> make;
  std::string line;  // what lint must print for it
};

const std::string kMacros = "%srcdir% %srcdrive% %destdir% %destdrive% %instname% %os% %instsize% %insttype%";

const std::vector<Mistake> kMistakes = {
    {"a misspelt section",
     [](const fs::path& d) { edit(d, "INSTALL.INI", "\\[Registry Settings\\]", "[Registry Setings]"); },
     "INSTALL.INI:25: error: unknown section [Registry Setings]; did you mean [Registry Settings]?"},
    {"a misspelt key", [](const fs::path& d) { edit(d, "INSTALL.INI", "\nTitle=", "\nTilte="); },
     "INSTALL.INI:8: error: unknown key Tilte in [Install]; did you mean Title?"},
    {"a list naming a file the medium lacks",
     [](const fs::path& d) {
       ASSERT_TRUE(write_whole_file(d / "TYPICAL.LST", read_whole_file(d / "TYPICAL.LST") + "f=DATA\\MISSING.DAT\r\n"));
     },
     "TYPICAL.LST:9: error: DATA\\MISSING.DAT is not on the medium: setup cannot read it"},
    {"a background of 320 x 200",
     [](const fs::path& d) { picture(d, "BACK.PCX", 320, 200, 0x281E46, 0x281E46, false); },
     "BACK.PCX:0: error: 320 x 200: setup stretches a background to 640 x 480"},
    {"progress pictures of two sizes",
     [](const fs::path& d) { picture(d, "PROGEMPT.PCX", 300, 20, 0x14102C, 0x14102C, false); },
     "INSTALL.INI:23: error: ProgressFull is 400 x 20, ProgressEmpty 300 x 20: setup shows no progress bar unless both "
     "are of one size"},
    {"a background with a palette of its own",
     [](const fs::path& d) { picture(d, "BACK.PCX", 640, 480, 0xDCC8A0, 0x5A3C28, true); },
     "BACK.PCX:0: error: setup shows it in its own palette, and the interface then draws in that palette's nearest "
     "colours: white (255, 255, 255) shows as (220, 200, 160), light grey (222, 222, 222) shows as (220, 200, 160), "
     "light yellow (255, 255, 90) shows as (220, 200, 160), grey (213, 213, 213) shows as (220, 200, 160) (convert it "
     "with the palette of COLOR.PAL)"},
    {"FONT0.AAF missing", [](const fs::path& d) { fs::remove(d / "FONT0.AAF"); },
     "INSTALL.INI:3: error: Font=100 names FONT0.AAF, which is not in the data: setup cannot start"},
    {"FONT1.AAF missing", [](const fs::path& d) { fs::remove(d / "FONT1.AAF"); },
     "INSTALL.INI:7: error: TitleFont=101 names FONT1.AAF, which is not in the data: setup cannot start"},
    {"a line of 633 characters",
     [](const fs::path& d) { edit(d, "INSTALL.INI", "Message=[^\n]*", "Message=" + std::string(625, 'x')); },
     "INSTALL.INI:41: error: line of 633 characters: setup reads 255 at a time, and the rest becomes a line of its "
     "own"},
    {"an unknown macro", [](const fs::path& d) { edit(d, "INSTALL.INI", "%destdir%", "%gamedir%"); },
     "INSTALL.INI:45: error: unknown macro %gamedir%: setup passes it on as written (it replaces " + kMacros + ")"},
    {"a format with one conversion too many",
     [](const fs::path& d) { edit(d, "INSTALL.INI", "DriveListEntry=[^\n]*", "DriveListEntry=%c: %u MB free %u"); },
     "INSTALL.INI:51: error: DriveListEntry does not fit its arguments (a whole number, a whole number): setup shows "
     "its "
     "built-in text instead"},
    {"s=0", [](const fs::path& d) { edit(d, "TYPICAL.LST", "s=[0-9]+", "s=0"); },
     "TYPICAL.LST:1: error: s=0, but its files hold 3204189 bytes: setup shows the wrong size and checks the drives "
     "for "
     "the wrong room"},
    {"List naming a missing member",
     [](const fs::path& d) { edit(d, "INSTALL.INI", "List=TYPICAL.LST", "List=TYPICL.LST"); },
     "INSTALL.INI:14: error: List names TYPICL.LST, which is not in the data: setup offers the type with no files"},
    {"a type without its section",
     [](const fs::path& d) {
       edit(d, "INSTALL.INI", "InstallTypes=Typical,Full", "InstallTypes=Typical,Full,Minimal");
     },
     "INSTALL.INI:10: error: install type Minimal has no section [Minimal]: setup offers it as a blank entry that "
     "installs nothing"},
    {"Background naming a missing picture",
     [](const fs::path& d) { edit(d, "INSTALL.INI", "Background=BACK.PCX", "Background=BAKC.PCX"); },
     "INSTALL.INI:6: error: Background names BAKC.PCX, which is not in the data: setup shows nothing in its place"},
    {"no uninstaller", [](const fs::path& d) { fs::remove(d / "VLUNINST.EXE"); },
     "VLUNINST.EXE:0: error: missing: setup installs no uninstaller and ends the install with ErrUninstOpen"},
    {"no [Strings]", [](const fs::path& d) { edit(d, "INSTALL.INI", "\\[Strings\\][\\s\\S]*", ""); },
     "INSTALL.INI:0: error: no section [Strings]: every text setup has no built-in one for shows \"*STRING ERROR!*\""},
    {"Run naming a missing program",
     [](const fs::path& d) { edit(d, "INSTALL.INI", "Run=WELCOME.EXE", "Run=WELCOM.EXE"); },
     "INSTALL.INI:45: error: Run names WELCOM.EXE, which is not on the medium: setup starts nothing"},
    {"a file without its folder's d= line",
     [](const fs::path& d) { edit(d, "TYPICAL.LST", "d=DATA\\\\MUSIC\r\n", ""); },
     "TYPICAL.LST:7: error: DATA\\MUSIC\\THEME.MID: no d= line before it makes its folder DATA\\MUSIC: setup cannot "
     "write it"},
    {"a type that installs nothing",
     [](const fs::path& d) { ASSERT_TRUE(write_whole_file(d / "TYPICAL.LST", "s=0\r\n")); },
     "TYPICAL.LST:0: error: names no file: type Typical installs nothing"},
    {"a damaged font", [](const fs::path& d) { fs::resize_file(d / "FONT0.FON", 3000); },
     "FONT0.FON:0: error: damaged: the window system's font loader refuses it"},
};

std::vector<std::string> lines_of(const std::string& text) {
  std::vector<std::string> out;
  for (size_t at = 0; at < text.size();) {
    size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    out.push_back(text.substr(at, end - at));
    at = end + 1;
  }
  return out;
}

TEST(KitLint, TheSampleBuildsAndLintsClean) {
  Sample& s = sample();
  ASSERT_EQ(s.built.status, 0) << s.built.out << s.built.err;
  for (const char* member : {"INSTALL.DAT", "SETUP", "WELCOME.EXE", "GAME.EXE", "DATA/LEVEL1.MAP", "EXTRAS/MANUAL.TXT"})
    EXPECT_TRUE(fs::exists(s.medium / member)) << member;
  for (const std::string& path : {s.data.string(), (s.medium / "INSTALL.DAT").string()}) {
    const ToolResult r = run_setupkit({"lint", path, "--medium", s.medium.string()}, s.dir.path);
    EXPECT_EQ(r.status, 0) << path;
    EXPECT_EQ(r.out, "") << path;
  }
}

// build packs on --jobs threads (every core by default): one thread makes the same INSTALL.DAT, and
// a thread count that is no number from 1 to 256 is refused before anything is made.
TEST(KitLint, BuildWritesTheSameArchiveOnAnyNumberOfThreads) {
  Sample& s = sample();
  ASSERT_EQ(s.built.status, 0) << s.built.err;
  for (const char* jobs : {"1", "0"}) {
    const fs::path medium = s.dir.path / (std::string("medium-j") + jobs);
    const ToolResult r = run_setupkit({"build", SAMPLE_PROJECT, "-o", medium.string(), "--jobs", jobs, "-D",
                                       "PRODUCT=" SAMPLE_PRODUCT, "-D", "UNINSTALLER=" VLUNINST_EXE, "-D",
                                       "WELCOME=" WELCOME_EXE, "-D", "SETUP=" SETUP_EXE},
                                      s.dir.path);
    if (jobs[0] == '0') {
      EXPECT_EQ(r.status, 2) << r.err;
      EXPECT_FALSE(fs::exists(medium / "INSTALL.DAT"));
    } else {
      ASSERT_EQ(r.status, 0) << r.err;
      EXPECT_EQ(read_whole_file(medium / "INSTALL.DAT"), read_whole_file(s.medium / "INSTALL.DAT"));
    }
  }
}

// Each mistake alone, in a copy of the sample's data, gives its line and status 1.
TEST(KitLint, EachMistakeGivesItsLine) {
  Sample& s = sample();
  ASSERT_EQ(s.built.status, 0) << s.built.out << s.built.err;
  for (const Mistake& m : kMistakes) {
    SCOPED_TRACE(m.what);
    const fs::path data = s.dir.path / "mistake" / "data";
    fs::remove_all(data.parent_path());
    fs::create_directories(data.parent_path());
    fs::copy(s.data, data, fs::copy_options::recursive);
    m.make(data);
    const ToolResult r = run_setupkit({"lint", data.string(), "--medium", s.medium.string()}, s.dir.path);
    EXPECT_EQ(r.status, 1) << r.out << r.err;
    const std::vector<std::string> lines = lines_of(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), m.line), lines.end()) << "lint printed:\n" << r.out;
  }
}

// A project whose script has a mistake is not built: build prints lint's line and leaves no INSTALL.DAT.
TEST(KitLint, BuildStopsAtALintError) {
  TempDir dir("kit_build_test");
  const fs::path project = fs::path(SAMPLE_PROJECT).parent_path();
  fs::copy(project / "art", dir.path / "art", fs::copy_options::recursive);
  fs::copy_file(project / "sample.project", dir.path / "sample.project");
  ASSERT_TRUE(write_whole_file(dir.path / "install.ini",
                               std::regex_replace(read_whole_file(project / "install.ini"), std::regex("\nTitle="),
                                                  "\nTilte=", std::regex_constants::format_first_only)));
  const std::vector<std::string> defines = {"-D", "PRODUCT=" SAMPLE_PRODUCT, "-D", "UNINSTALLER=" VLUNINST_EXE,
                                            "-D", "WELCOME=" WELCOME_EXE,    "-D", "SETUP=" SETUP_EXE};
  std::vector<std::string> args = {"build", "sample.project", "-o", "medium"};
  args.insert(args.end(), defines.begin(), defines.end());
  ToolResult r = run_setupkit(args, dir.path);
  EXPECT_EQ(r.status, 1);
  const std::vector<std::string> lines = lines_of(r.out);
  EXPECT_NE(std::find(lines.begin(), lines.end(),
                      "INSTALL.INI:8: error: unknown key Tilte in [Install]; did you mean Title?"),
            lines.end())
      << r.out;
  EXPECT_FALSE(fs::exists(dir.path / "medium" / "INSTALL.DAT"));
  // The project's own mistakes name the project's lines.
  ASSERT_TRUE(write_whole_file(dir.path / "sample.project",
                               read_whole_file(dir.path / "sample.project") + "[Extras]\nREADME.TXT=Typical\n"));
  r = run_setupkit(args, dir.path);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("sample.project:44: error: unknown section [Extras]"), std::string::npos) << r.err;
}

// setup stops with status 1 and the member's name when a font it needs is missing or damaged.
TEST(KitLint, SetupNamesTheFontItCannotStartWithout) {
  Sample& s = sample();
  ASSERT_EQ(s.built.status, 0) << s.built.out << s.built.err;
  const struct {
    const char* remove;  // a member taken out, or
    const char* damage;  // one cut short
    const char* named;
  } cases[] = {
      {"FONT0.AAF", nullptr, "FONT0.AAF"}, {nullptr, "FONT1.AAF", "FONT1.AAF"}, {"FONT0.FON", nullptr, "FONT0.FON"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.named);
    TempDir dir("kit_setup_start");
    const fs::path data = dir.path / "data", medium = dir.path / "medium";
    fs::copy(s.data, data, fs::copy_options::recursive);
    if (c.remove) fs::remove(data / c.remove);
    if (c.damage) fs::resize_file(data / c.damage, 100);
    fs::create_directories(medium);
    ASSERT_EQ(
        run_setupkit({"pack", data.string(), "-o", (medium / "INSTALL.DAT").string(), "--method", "stored"}, dir.path)
            .status,
        0);
    set_env("VRK_ROOT", (dir.path / "machine").string().c_str());
    set_env("VRK_VIDEO", "headless");
    const ToolResult r = run_tool(SETUP_EXE, {}, medium);
    set_env("VRK_ROOT", nullptr);
    set_env("VRK_VIDEO", nullptr);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE((r.out + r.err).find(std::string("Setup cannot start: ") + c.named + " is missing"), std::string::npos)
        << r.out << r.err;
  }
}

}  // namespace

#endif
