// Configuration store: the parser's quirks, the store's operations, comma lists, save and load,
// and that everything the store allocates is given back.
#include "base/config.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "base/memdbg.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace {

class ConfigStore : public ::testing::Test {
 protected:
  void SetUp() override {
    // Charge the associative arrays to the tagged allocator too, so the totals cover everything.
    assoc_register_mem(assocMalloc, assocRealloc, assocFree);
    base = get_current_memory();
    ASSERT_EQ(cfgInit(&cfg, 4), 1);
  }
  void TearDown() override {
    EXPECT_EQ(cfgExit(&cfg), 1);
    EXPECT_EQ(get_current_memory(), base);
    assoc_register_mem(nullptr, nullptr, nullptr);
  }
  std::string get(const char* section, const char* key) {
    char* v = nullptr;
    if (!cfgGetString(&cfg, section, key, &v)) return "<missing>";
    return v;
  }
  void parse(const char* text) {
    std::string line(text);
    parseLine(&cfg, line.data());
  }
  Config cfg{};
  int base = 0;
};

// Must run before any header is parsed in this process: the current section is shared state.
TEST_F(ConfigStore, KeysBeforeAnyHeaderGoToUnknown) {
  parse("early=1\n");
  EXPECT_EQ(get("Unknown", "early"), "1");
  // The section name then sticks across loads until the next header.
  parse("[Later]");
  parse("x=2");
  EXPECT_EQ(get("later", "X"), "2");
}

TEST_F(ConfigStore, CommentsHeadersAndKeyLines) {
  parse("[ My Section ]  trailing junk");
  parse("Key = value here ; a remark\n");
  parse("A=b=c");
  parse("   \t\n");
  parse("no equals sign");
  parse("[broken header = x");  // no closing bracket: a key line
  parse(";[Hidden]");
  parse("after=comment header");
  EXPECT_EQ(get("My Section", "Key"), "value here");
  EXPECT_EQ(get("MY SECTION", "a"), "b=c");
  EXPECT_EQ(get("My Section", "[broken header"), "x");
  EXPECT_EQ(get("My Section", "after"), "comment header");
  EXPECT_EQ(get("Hidden", "after"), "<missing>");
  EXPECT_EQ(cfg.count, 1);  // only sections with keys exist
  parse("[Empty]");
  EXPECT_EQ(cfg.count, 1);
}

TEST_F(ConfigStore, LastOccurrenceWinsAndReplacesTheOldString) {
  parse("[S]");
  parse("k=one");
  parse("K=two");
  EXPECT_EQ(get("s", "k"), "two");
  const assoc_array* s = static_cast<const assoc_array*>(cfg.entries[assoc_search(&cfg, "S")].data);
  EXPECT_EQ(s->count, 1);
}

TEST_F(ConfigStore, SplitLineTrimsAndCutsOverlongParts) {
  char key[CFG_MAX_TEXT + 1], value[CFG_MAX_TEXT + 1];
  const char* line = "  name\t=  some value \r\n";
  EXPECT_EQ(splitLine(line, key, value), 1);
  EXPECT_STREQ(key, "name");
  EXPECT_STREQ(value, "some value");
  EXPECT_STREQ(line, "  name\t=  some value \r\n");
  EXPECT_EQ(splitLine("nothing", key, value), 0);

  // Keys and values longer than 255 characters are cut to 255, never overrunning the buffers.
  std::string longLine = std::string(300, 'k') + "=" + std::string(400, 'v');
  EXPECT_EQ(splitLine(longLine.c_str(), key, value), 1);
  EXPECT_EQ(std::string(key), std::string(255, 'k'));
  EXPECT_EQ(std::string(value), std::string(255, 'v'));
  std::string longHeader = "[" + std::string(300, 'h') + "]";
  parse(longHeader.c_str());
  parse("k=1");
  EXPECT_EQ(get(std::string(255, 'h').c_str(), "k"), "1");
}

TEST_F(ConfigStore, StripWhiteSpace) {
  char a[] = " \t\v\f x y \r\n";
  EXPECT_EQ(stripWhiteSpace(a), 1);
  EXPECT_STREQ(a, "x y");
  char b[] = " \t \n";
  stripWhiteSpace(b);
  EXPECT_STREQ(b, "");
  EXPECT_EQ(stripWhiteSpace(nullptr), 0);
}

TEST_F(ConfigStore, ValuesAndNullArguments) {
  EXPECT_EQ(cfgSetValue(&cfg, "N", "neg", -5), 1);
  EXPECT_EQ(get("N", "neg"), "-5");
  cfgSetString(&cfg, "N", "mixed", "12abc");
  int n = 99;
  EXPECT_EQ(cfgGetValue(&cfg, "N", "mixed", &n), 1);
  EXPECT_EQ(n, 12);
  n = 99;
  EXPECT_EQ(cfgGetValue(&cfg, "N", "absent", &n), 0);
  EXPECT_EQ(n, 99);
  char* v = nullptr;
  EXPECT_EQ(cfgGetString(&cfg, "Nope", "neg", &v), 0);
  EXPECT_EQ(v, nullptr);
  EXPECT_EQ(cfgGetString(nullptr, "N", "neg", &v), 0);
  EXPECT_EQ(cfgGetString(&cfg, nullptr, "neg", &v), 0);
  EXPECT_EQ(cfgGetString(&cfg, "N", nullptr, &v), 0);
  EXPECT_EQ(cfgGetString(&cfg, "N", "neg", nullptr), 0);
  EXPECT_EQ(cfgSetString(&cfg, "N", "k", nullptr), 0);
  EXPECT_EQ(addSection(&cfg, "N"), 1);
  EXPECT_EQ(cfgExit(nullptr), 0);
  // The getter hands out the stored string itself.
  ASSERT_EQ(cfgGetString(&cfg, "N", "neg", &v), 1);
  char* again = nullptr;
  cfgGetString(&cfg, "n", "NEG", &again);
  EXPECT_EQ(v, again);
}

TEST_F(ConfigStore, CommaLists) {
  auto check = [&](const char* value, std::vector<std::string> want) {
    cfgSetString(&cfg, "L", "list", value);
    int count = -7;
    char** list = cfgGetCommaList(&cfg, "L", "list", &count);
    if (want.empty()) {
      EXPECT_EQ(list, nullptr) << value;
      return;
    }
    ASSERT_NE(list, nullptr) << value;
    ASSERT_EQ(count, static_cast<int>(want.size())) << value;
    for (int i = 0; i < count; ++i) EXPECT_EQ(list[i], want[i]) << value;
    EXPECT_EQ(list[count], nullptr);  // the spare slot
    cfgFreeCommaList(list, count);
  };
  check("Typical, Full", {"Typical", "Full"});
  check("Typical ,Full", {"Typical ", "Full"});
  check("a,,b", {"a", "b"});
  check(",,,", {});
  check("", {});
  int count = -7;
  EXPECT_EQ(cfgGetCommaList(&cfg, "L", "absent", &count), nullptr);
  EXPECT_EQ(count, -7);
  cfgFreeCommaList(nullptr, 3);
}

TEST_F(ConfigStore, SaveThenLoadThroughStdio) {
  TempDir dir("config_test");
  fs::path file = dir.path / "roundtrip.ini";
  cfgSetString(&cfg, "Beta", "two", "2");
  cfgSetString(&cfg, "alpha", "One", "x y");
  cfgSetString(&cfg, "alpha", "another", "");
  ASSERT_EQ(cfgSave(&cfg, file.string().c_str(), 0), 1);
  {
    std::ifstream in(file);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_EQ(text, "[alpha]\nanother=\nOne=x y\n\n[Beta]\ntwo=2\n\n");
  }
  Config other{};
  ASSERT_EQ(cfgInit(&other, 2), 1);
  EXPECT_EQ(cfgLoad(&other, file.string().c_str(), 0), 1);
  char* v = nullptr;
  ASSERT_EQ(cfgGetString(&other, "ALPHA", "one", &v), 1);
  EXPECT_STREQ(v, "x y");
  ASSERT_EQ(cfgGetString(&other, "beta", "TWO", &v), 1);
  EXPECT_STREQ(v, "2");
  cfgExit(&other);

  // A missing file leaves the store as it was and still reports success.
  EXPECT_EQ(cfgLoad(&cfg, (dir.path / "no_such_config.ini").string().c_str(), 0), 1);
  EXPECT_EQ(cfg.count, 2);
  EXPECT_EQ(cfgLoad(nullptr, "x", 0), 0);
  EXPECT_EQ(cfgLoad(&cfg, nullptr, 0), 0);
  EXPECT_EQ(cfgSave(&cfg, (dir.path / "no_dir_here" / "x.ini").string().c_str(), 0), 0);
}

TEST_F(ConfigStore, LongPhysicalLinesArriveInPieces) {
  TempDir dir("config_test");
  fs::path file = dir.path / "long.ini";
  {
    std::ofstream out(file, std::ios::binary);
    out << "[Long]\n"
        << "key=" << std::string(300, 'x') << "\n"           // 255-byte first piece, rest has no '='
        << std::string(255, 'p') << "tail=piece\n"           // second piece is a key line of its own
        << "last=1";                                         // no final line feed
  }
  ASSERT_EQ(cfgLoad(&cfg, file.string().c_str(), 0), 1);
  EXPECT_EQ(get("Long", "key"), std::string(251, 'x'));
  EXPECT_EQ(get("Long", "tail"), "piece");
  EXPECT_EQ(get("Long", "last"), "1");
}

}  // namespace
