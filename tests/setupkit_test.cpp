// setupkit end to end: runs the built tool on a temporary tree (host builds only).
#include <gtest/gtest.h>

#if !defined(_WIN32) && defined(SETUPKIT_EXE)

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "db/db.h"
#include "tests/support/files.h"
#include "tests/support/run_tool.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::string slurp(const fs::path& p) { return read_whole_file(p); }

void spill(const fs::path& p, const std::string& s) {
  fs::create_directories(p.parent_path());
  std::ofstream f(p, std::ios::binary);
  f << s;
}

class SetupkitTest : public ::testing::Test {
 protected:
  TempDir scratch{"setupkit_test"};
  fs::path dir = scratch.path;
  fs::path src = dir / "src";
  std::string archive = (dir / "out.dat").string();

  void TearDown() override { db_exit(); }

  // Runs setupkit with the arguments of `line` in the test directory.
  ToolResult kit(const std::string& line) { return run_setupkit(line, dir); }

  void make_tree() {
    std::mt19937 rng(42);
    std::string text, rnd(40000, '\0');
    while (text.size() < 100000) text += "Setup copies the files of the install type you choose.\r\n";
    for (char& c : rnd) c = char(rng());
    spill(src / "readme.txt", "hello\n");
    spill(src / "empty.txt", "");
    spill(src / "docs" / "big.txt", text);
    spill(src / "data" / "sub" / "rand.bin", rnd);
    spill(src / "data" / "zero.bin", std::string(50000, '\0'));
  }
};

TEST_F(SetupkitTest, HelpAndUsageErrors) {
  ToolResult r = kit("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("usage: setupkit"), std::string::npos);
  EXPECT_NE(r.out.find("verify FILE"), std::string::npos);
  for (const char* c : {"pack", "list", "extract", "cat", "verify"}) {
    r = kit(std::string(c) + " --help");
    EXPECT_EQ(r.status, 0) << c;
    EXPECT_NE(r.out.find(std::string("usage: setupkit ") + c), std::string::npos) << c;
  }
  for (const char* bad : {"", "frobnicate", "pack src", "pack -o x.dat", "pack src -o x.dat --method zip",
                          "list", "list a b", "extract a.dat", "cat a.dat", "verify --bogus a.dat"}) {
    r = kit(bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("usage: setupkit"), std::string::npos) << bad;
    EXPECT_TRUE(r.out.empty()) << bad;
  }
}

// One command line for every command: a value after "=" or as the next argument, "--" ending the
// options, and usage errors (status 2) naming the option.
TEST_F(SetupkitTest, OptionRulesAreTheSameForEveryCommand) {
  make_tree();
  ASSERT_EQ(kit("pack src --method=stored --output=a.dat").status, 0);
  ASSERT_EQ(kit("pack src --method stored -o b.dat").status, 0);
  EXPECT_EQ(slurp(dir / "a.dat"), slurp(dir / "b.dat"));
  EXPECT_EQ(kit("list a.dat").out.find("lzss"), std::string::npos);

  spill(dir / "-src" / "f.txt", "dash");
  EXPECT_EQ(kit("pack -o c.dat -src").status, 2);
  ASSERT_EQ(kit("pack -o c.dat -- -src").status, 0);
  EXPECT_EQ(kit("cat c.dat f.txt").out, "dash");
  ToolResult r = kit("cat c.dat -- --help");  // a member name, not a request for help
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("no member --help"), std::string::npos) << r.err;

  for (const std::string c : {"pack", "list", "extract", "cat", "verify", "palette", "pcx", "png", "font"}) {
    r = kit(c + " x --bogus y");
    EXPECT_EQ(r.status, 2) << c;
    EXPECT_EQ(r.err.rfind("setupkit: unknown option '--bogus'\nusage: setupkit " + c + " ", 0), 0u) << r.err;
    EXPECT_TRUE(r.out.empty()) << c;
  }
  for (const std::string c : {"pack", "extract", "palette", "pcx", "png", "font"}) {
    r = kit(c + " x -o");
    EXPECT_EQ(r.status, 2) << c;
    EXPECT_EQ(r.err.rfind("setupkit: option '-o' needs a value\n", 0), 0u) << r.err;
  }
  r = kit("palette x -o y --tables=1");
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.err.rfind("setupkit: option '--tables' takes no value\n", 0), 0u) << r.err;
}

TEST_F(SetupkitTest, PackListExtractCatVerify) {
  make_tree();
  ToolResult r = kit("pack src -o out.dat");
  ASSERT_EQ(r.status, 0) << r.err;

  r = kit("list out.dat");
  ASSERT_EQ(r.status, 0) << r.err;
  for (const char* n : {"README.TXT", "EMPTY.TXT", "DOCS\\BIG.TXT", "DATA\\SUB\\RAND.BIN", "DATA\\ZERO.BIN", "total"})
    EXPECT_NE(r.out.find(n), std::string::npos) << n << "\n" << r.out;
  EXPECT_NE(r.out.find("5 members"), std::string::npos) << r.out;
  // Random data stays stored; the big text shrinks.
  EXPECT_NE(r.out.find("stored"), std::string::npos);

  r = kit("verify out.dat");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("OK"), std::string::npos);

  r = kit("cat out.dat docs\\big.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, slurp(src / "docs" / "big.txt"));
  r = kit("cat out.dat empty.txt");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(r.out.empty());

  r = kit("extract out.dat data/sub/rand.bin");  // default: base name in the current directory
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(dir / "rand.bin"), slurp(src / "data" / "sub" / "rand.bin"));
  r = kit("extract out.dat DATA\\ZERO.BIN -o z.out");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(slurp(dir / "z.out"), std::string(50000, '\0'));

  r = kit("extract out.dat nosuch.txt -o n.out");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("out.dat: no member"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "n.out"));

  // The installer's own reader sees the same members.
  int h = db_init(archive.c_str(), nullptr, nullptr);
  ASSERT_NE(h, -1);
  ASSERT_EQ(db_select(h), 0);
  std::string big = slurp(src / "docs" / "big.txt");
  dir_entry e{};
  ASSERT_EQ(db_dir_entry("docs\\big.txt", &e), 0);
  EXPECT_EQ(e.length, big.size());
  EXPECT_LT(e.packed_length, e.length);
  std::string got(e.length, '\0');
  ASSERT_EQ(db_read_to_buf("docs\\big.txt", got.data(), got.size()), 0);
  EXPECT_EQ(got, big);
  db_close(h);
}

TEST_F(SetupkitTest, EveryMethodAndDeterministicOutput) {
  make_tree();
  for (const char* m : {"lzss", "stored", "blocks"}) {
    ToolResult r = kit(std::string("pack src -o out.dat --method ") + m);
    ASSERT_EQ(r.status, 0) << m << r.err;
    r = kit("list out.dat");
    EXPECT_NE(r.out.find(m), std::string::npos) << r.out;
    if (std::string(m) != "stored") {
      EXPECT_NE(r.out.find("stored"), std::string::npos) << "random member stays stored\n" << r.out;
    }
    r = kit("verify out.dat");
    EXPECT_EQ(r.status, 0) << m << r.err;
    r = kit("cat out.dat docs\\big.txt");
    EXPECT_EQ(r.out, slurp(src / "docs" / "big.txt")) << m;
  }
  // Packing into the tree itself leaves the old archive out.
  ASSERT_EQ(kit("pack src -o src/self.dat").status, 0);
  ASSERT_EQ(kit("pack src -o src/self.dat").status, 0);
  EXPECT_EQ(kit("list src/self.dat").out.find("SELF.DAT"), std::string::npos);
  fs::remove(src / "self.dat");
  ASSERT_EQ(kit("pack src -o a.dat").status, 0);
  ASSERT_EQ(kit("pack src -o b.dat").status, 0);
  EXPECT_EQ(slurp(dir / "a.dat"), slurp(dir / "b.dat"));
}

TEST_F(SetupkitTest, DamagedArchivesFailWithAMessage) {
  make_tree();
  ASSERT_EQ(kit("pack src -o out.dat --method blocks").status, 0);
  const std::string good = slurp(archive);

  // A directory entry claiming one byte more than the member holds.
  std::string bad = good;
  size_t at = bad.find("BIG.TXT");
  ASSERT_NE(at, std::string::npos);
  at += 7 + 8 + 3;  // low byte of the length word
  bad[at] = char(bad[at] + 1);
  spill(dir / "len.dat", bad);
  ToolResult r = kit("verify len.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("setupkit: len.dat: DOCS\\BIG.TXT:"), std::string::npos) << r.err;

  // A broken block header inside the big text's data.
  bad = good;
  dir_entry e{};
  int h = db_init(archive.c_str(), nullptr, nullptr);
  ASSERT_NE(h, -1);
  db_select(h);
  ASSERT_EQ(db_dir_entry("DOCS\\BIG.TXT", &e), 0);
  db_close(h);
  ASSERT_EQ(e.flags & DB_METHOD_MASK, DB_METHOD_BLOCKS);
  bad[e.offset] = char(0x7F);
  spill(dir / "blk.dat", bad);
  r = kit("verify blk.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("blk.dat"), std::string::npos) << r.err;
  r = kit("cat blk.dat docs\\big.txt");
  EXPECT_NE(r.status, 0);

  // Truncated and garbage files: no crash, a message naming the file.
  for (size_t keep : {good.size() - 10, size_t(100), size_t(20), size_t(0)}) {
    spill(dir / "cut.dat", good.substr(0, keep));
    for (const char* cmd : {"verify cut.dat", "list cut.dat", "cat cut.dat readme.txt"}) {
      r = kit(cmd);
      EXPECT_EQ(r.status, 1) << cmd << " " << keep;
      EXPECT_NE(r.err.find("setupkit: cut.dat:"), std::string::npos) << cmd << " " << keep << ": " << r.err;
    }
  }
  std::string junk(5000, '\xFF');
  spill(dir / "junk.dat", junk);
  r = kit("list junk.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("setupkit: junk.dat:"), std::string::npos) << r.err;
  r = kit("verify missing.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("missing.dat"), std::string::npos);
}

TEST_F(SetupkitTest, PackRefusals) {
  ToolResult r = kit("pack nosuchdir -o x.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("setupkit: nosuchdir:"), std::string::npos) << r.err;
  spill(src / "-bad" / "x.txt", "x");
  r = kit("pack src -o x.dat");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("setupkit: x.dat:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("-BAD"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "x.dat"));
}

// --jobs chooses the number of threads that pack; the archive is the same for any number.
TEST_F(SetupkitTest, PackWritesTheSameArchiveOnAnyNumberOfThreads) {
  make_tree();
  ASSERT_EQ(kit("pack src -o one.dat --jobs 1").status, 0);
  ASSERT_EQ(kit("pack src -o three.dat -j 3").status, 0);
  ASSERT_EQ(kit("pack src -o cores.dat").status, 0);
  EXPECT_EQ(slurp(dir / "one.dat"), slurp(dir / "three.dat"));
  EXPECT_EQ(slurp(dir / "one.dat"), slurp(dir / "cores.dat"));
  for (const char* bad : {"0", "-2", "x", "3x", ""}) {
    ToolResult r = kit(std::string("pack src -o bad.dat --jobs=") + bad);
    EXPECT_EQ(r.status, 2) << bad;
    EXPECT_NE(r.err.find("--jobs"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "bad.dat")) << bad;
  }
}

}  // namespace

#else

TEST(SetupkitTest, HostOnly) { GTEST_SKIP() << "setupkit is a host tool"; }

#endif
