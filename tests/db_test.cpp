// Archive database: name resolution, patches, the database list, file and directory lists,
// directory walking and refusal of damaged or hostile archives.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive_util.h"
#include "kit/build.h"
#include "db/db.h"
#include "tests/support/tempdir.h"

using namespace archive_util;

namespace {

std::string make_archive(const TempDir& dir, const std::vector<std::pair<std::string, std::string>>& members,
                         const char* name = "test.dat") {
  std::vector<kit_member> ms;
  for (const auto& [path, text] : members) {
    kit_member m;
    m.path = path;
    m.data.assign(text.begin(), text.end());
    ms.push_back(m);
  }
  std::string file = dir.file(name), error;
  EXPECT_TRUE(kit_build_archive(file, ms, error)) << error;
  return file;
}

class Db : public ::testing::Test {
 protected:
  void TearDown() override { db_exit(); }
};

}  // namespace

TEST_F(Db, NameResolutionWithAndWithoutPrefix) {
  TempDir t("names");
  std::string file = make_archive(t, {{"README.TXT", "root"},
                                      {"DATA\\LOGO.PCX", "logo"},
                                      {"GAME\\X.TXT", "game x"},
                                      {"D\\X.TXT", "d x"}});
  int h = db_init(file.c_str(), nullptr, nullptr);
  ASSERT_GT(h, 0);
  EXPECT_EQ(db_current(), h);
  dir_entry e;
  ASSERT_EQ(db_dir_entry("data\\logo.pcx", &e), 0);
  EXPECT_EQ(e.length, 4u);
  EXPECT_TRUE(e.flags & DB_FLAG_ARCHIVE);
  ASSERT_EQ(db_dir_entry("readme.txt", &e), 0);
  EXPECT_EQ(e.length, 4u);
  EXPECT_EQ(db_dir_entry(".\\README.TXT", &e), 0);
  EXPECT_EQ(db_dir_entry("x.txt", &e), -1);
  EXPECT_EQ(db_dir_entry("nodir\\x.txt", &e), -1);
  EXPECT_EQ(db_dir_entry(std::string(300, 'a').c_str(), &e), -1);  // does not fit a path
  EXPECT_EQ(db_dir_entry(nullptr, &e), -1);

  int g = db_init(file.c_str(), "\\GAME", nullptr);
  ASSERT_GT(g, 0);
  EXPECT_EQ(db_current(), h);  // the first stays current
  ASSERT_EQ(db_select(g), 0);
  ASSERT_EQ(db_dir_entry("x.txt", &e), 0);
  EXPECT_EQ(e.length, 6u);
  EXPECT_EQ(db_dir_entry("readme.txt", &e), -1);
  // '@' drops the prefix.
  ASSERT_EQ(db_dir_entry("@d\\x.txt", &e), 0);
  EXPECT_EQ(e.length, 3u);
  EXPECT_EQ(db_dir_entry("@readme.txt", &e), 0);
}

TEST_F(Db, PatchesOverrideMembers) {
  TempDir t("patches");
  std::string file = make_archive(t, {{"X.TXT", "archive"}, {"D\\X.TXT", "d x"}, {"ONLY.TXT", "only"}});
  std::filesystem::create_directories(t.path / "patch");
  write_text(t.file("patch/X.TXT"), "patched!!");
  std::string patches = (t.path / "patch").string();

  int h = db_init(file.c_str(), "\\D", patches.c_str());
  ASSERT_GT(h, 0);
  dir_entry e;
  // Plain file in the patch directory: no prefix is applied to it.
  ASSERT_EQ(db_dir_entry("X.TXT", &e), 0);
  EXPECT_EQ(e.flags, DB_FLAG_PLAIN);
  EXPECT_EQ(e.length, 9u);
  EXPECT_EQ(e.packed_length, 0u);
  // '@' name not present as a plain file falls back to the archive, without prefix.
  ASSERT_EQ(db_dir_entry("@ONLY.TXT", &e), 0);
  EXPECT_TRUE(e.flags & DB_FLAG_ARCHIVE);
  db_close(h);

  // Without patches the plain file is never consulted.
  h = db_init(file.c_str(), nullptr, nullptr);
  ASSERT_EQ(db_dir_entry("X.TXT", &e), 0);
  EXPECT_TRUE(e.flags & DB_FLAG_ARCHIVE);
  EXPECT_EQ(e.length, 7u);
  db_close(h);

  // No archive at all: names resolve through the patch directory only.
  h = db_init(nullptr, nullptr, patches.c_str());
  ASSERT_GT(h, 0);
  EXPECT_EQ(db_dir_entry("X.TXT", &e), 0);
  EXPECT_EQ(db_dir_entry("ONLY.TXT", &e), -1);
  EXPECT_EQ(db_walk(nullptr, nullptr), -1);
}

TEST_F(Db, DatabaseListRules) {
  TempDir t("list");
  std::string file = make_archive(t, {{"A.TXT", "a"}});
  std::vector<int> handles;
  for (int i = 0; i < DB_MAX_DATABASES; ++i) {
    int h = db_init(file.c_str(), nullptr, nullptr);
    ASSERT_GT(h, 0);
    EXPECT_NE(h, -1);
    handles.push_back(h);
  }
  EXPECT_EQ(db_total(), 10);
  EXPECT_EQ(db_init(file.c_str(), nullptr, nullptr), -1);
  EXPECT_EQ(db_total(), 10);
  EXPECT_EQ(db_select(0), -1);
  EXPECT_EQ(db_select(-1), -1);
  EXPECT_EQ(db_select(11), -1);
  EXPECT_EQ(db_close(0), -1);
  EXPECT_EQ(db_close(-1), -1);
  EXPECT_EQ(db_current(), handles[0]);
  ASSERT_EQ(db_select(handles[3]), 0);
  EXPECT_EQ(db_close(handles[3]), 0);
  EXPECT_EQ(db_current(), -1);  // closing the current one leaves none current
  EXPECT_EQ(db_close(handles[3]), -1);
  EXPECT_EQ(db_select(handles[3]), -1);
  dir_entry e;
  EXPECT_EQ(db_dir_entry("A.TXT", &e), -1);  // no current database
  EXPECT_EQ(db_fopen("A.TXT", "rb"), nullptr);
  // The freed slot is reused.
  int again = db_init(file.c_str(), nullptr, nullptr);
  EXPECT_EQ(again, handles[3]);
  EXPECT_EQ(db_current(), again);
  db_exit();
  EXPECT_EQ(db_total(), 0);
  EXPECT_EQ(db_current(), -1);
  EXPECT_EQ(db_init((t.path / "missing.dat").string().c_str(), nullptr, nullptr), -1);
}

TEST_F(Db, FileLists) {
  TempDir t("filelist");
  std::string file = make_archive(t, {{"A.LST", "Alpha type\r\nrest"},
                                      {"B.LST", "Beta"},
                                      {"LONGNAME12345.LST", "too long for a slot"},
                                      {"C.TXT", "not a list"},
                                      {"DATA\\D.LST", "Delta\nmore"}});
  std::filesystem::create_directories(t.path / "patch");
  write_text(t.file("patch/E.LST"), "Echo\n");
  write_text(t.file("patch/A.LST"), "Patched alpha\n");
  std::string patches = (t.path / "patch").string();
  ASSERT_GT(db_init(file.c_str(), nullptr, nullptr), 0);

  char** names = nullptr;
  char** descs = nullptr;
  ASSERT_EQ(db_get_file_list("*.LST", &names, &descs, 64), 2);
  EXPECT_STREQ(names[0], "A.LST");
  EXPECT_STREQ(names[1], "B.LST");
  EXPECT_STREQ(descs[0], "Alpha type");
  EXPECT_STREQ(descs[1], "Beta");
  db_free_file_list(&names, &descs);
  EXPECT_EQ(names, nullptr);
  EXPECT_EQ(descs, nullptr);

  // Short description buffers keep their last real character.
  ASSERT_EQ(db_get_file_list("*.lst", &names, &descs, 4), 2);
  EXPECT_STREQ(descs[0], "Alp");
  db_free_file_list(&names, &descs);

  // A list in a directory is described from that directory's members.
  ASSERT_EQ(db_get_file_list("DATA\\*.LST", &names, &descs, 64), 1);
  EXPECT_STREQ(names[0], "D.LST");
  EXPECT_STREQ(descs[0], "Delta");
  db_free_file_list(&names, &descs);

  EXPECT_EQ(db_get_file_list("*.LS", &names, nullptr, 0), 0);
  EXPECT_EQ(db_get_file_list("A*.LST", &names, nullptr, 0), 0);
  EXPECT_EQ(db_get_file_list("*.ZIP", &names, nullptr, 0), 0);
  EXPECT_EQ(names, nullptr);
  db_exit();

  // Patch files join the list; a patch overrides the member's description.
  ASSERT_GT(db_init(file.c_str(), nullptr, patches.c_str()), 0);
  ASSERT_EQ(db_get_file_list("*.LST", &names, &descs, 64), 3);
  EXPECT_STREQ(names[2], "E.LST");
  EXPECT_STREQ(descs[0], "Patched alpha");
  EXPECT_STREQ(descs[2], "Echo");
  db_free_file_list(&names, &descs);
}

TEST_F(Db, DirectoryLists) {
  TempDir t("dirlist");
  std::string file = make_archive(t, {{"R.TXT", "r"},
                                      {"DATA\\A.TXT", "a"},
                                      {"DATA\\SUB\\B.TXT", "b"},
                                      {"DATA\\SUB\\DEEP\\C.TXT", "c"},
                                      {"GAME\\G.TXT", "g"}});
  std::filesystem::create_directories(t.path / "patch" / "DATA" / "PSUB");
  std::string patches = (t.path / "patch").string();
  ASSERT_GT(db_init(file.c_str(), nullptr, nullptr), 0);
  char** names = nullptr;
  int n = db_get_dir_list(".", &names);
  ASSERT_EQ(n, 4);
  EXPECT_STREQ(names[0], "DATA");
  EXPECT_STREQ(names[1], "DATA\\SUB");
  EXPECT_STREQ(names[3], "GAME");
  db_free_dir_list(&names);
  EXPECT_EQ(names, nullptr);
  ASSERT_EQ(db_get_dir_list("data", &names), 1);
  EXPECT_STREQ(names[0], "SUB");
  db_free_dir_list(&names);
  ASSERT_EQ(db_get_dir_list("\\DATA\\SUB", &names), 1);
  EXPECT_STREQ(names[0], "DEEP");
  db_free_dir_list(&names);
  EXPECT_EQ(db_get_dir_list("", &names), 0);
  EXPECT_EQ(db_get_dir_list("GAME", &names), 0);
  EXPECT_EQ(names, nullptr);
  db_exit();

  ASSERT_GT(db_init(file.c_str(), nullptr, patches.c_str()), 0);
  ASSERT_EQ(db_get_dir_list("DATA", &names), 2);
  EXPECT_STREQ(names[0], "PSUB");
  EXPECT_STREQ(names[1], "SUB");
  db_free_dir_list(&names);
}

namespace {
struct Walked {
  std::vector<std::string> items;
};
void collect(const char* dir, const char* name, const dir_entry* e, void* ctx) {
  static_cast<Walked*>(ctx)->items.push_back(std::string(dir) + "|" + name + "|" + std::to_string(e->length));
}
}  // namespace

TEST_F(Db, WalkVisitsEveryMemberInOrder) {
  TempDir t("walk");
  std::string file = make_archive(t, {{"Z.TXT", "zz"}, {"A.TXT", "a"}, {"DIR\\M.TXT", "mmm"}});
  EXPECT_EQ(db_walk(collect, nullptr), -1);
  ASSERT_GT(db_init(file.c_str(), nullptr, nullptr), 0);
  Walked w;
  EXPECT_EQ(db_walk(collect, &w), 3);
  EXPECT_EQ(w.items, (std::vector<std::string>{"|A.TXT|1", "|Z.TXT|2", "DIR|M.TXT|3"}));
}

TEST_F(Db, ZeroFlagsMeanOneStream) {
  TempDir t("flags0");
  Bytes text{'h', 'e', 'l', 'l', 'o'};
  Bytes packed = literals(text);
  std::string file = t.file("a.dat");
  write_file(file, raw_archive({{".", {{"H.TXT", 0, 0, 5, uint32_t(packed.size())}}}}, packed));
  ASSERT_GT(db_init(file.c_str(), nullptr, nullptr), 0);
  dir_entry e;
  ASSERT_EQ(db_dir_entry("H.TXT", &e), 0);
  EXPECT_EQ(e.flags, DB_METHOD_LZSS | DB_FLAG_ARCHIVE);
  char buf[5];
  ASSERT_EQ(db_read_to_buf("H.TXT", buf, sizeof buf), 0);
  EXPECT_EQ(std::memcmp(buf, "hello", 5), 0);
  db_file* f = db_fopen("H.TXT", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(db_fgetc(f), 'h');
  db_fclose(f);
}

TEST_F(Db, DamagedArchivesAreRefused) {
  TempDir t("hostile");
  Bytes data(100, 'x');
  auto refused = [&](const Bytes& archive) {
    std::string file = t.file("h.dat");
    write_file(file, archive);
    int before = db_total();
    int h = db_init(file.c_str(), nullptr, nullptr);
    if (h > 0) db_close(h);
    return h == -1 && db_total() == before;
  };
  RawEntry ok{"OK.BIN", DB_METHOD_STORED, 0, 100, 100};
  Bytes good = raw_archive({{".", {ok}}}, data);
  EXPECT_FALSE(refused(good));
  // Truncated directory at every length up to the data.
  size_t dir_len = good.size() - data.size();
  for (size_t cut = 0; cut < dir_len; ++cut) EXPECT_TRUE(refused(Bytes(good.begin(), good.begin() + long(cut)))) << cut;
  // Member data past the end of the file.
  EXPECT_TRUE(refused(raw_archive({{".", {{"A", DB_METHOD_STORED, 50, 51, 51}}}}, data)));
  EXPECT_TRUE(refused(raw_archive({{".", {{"A", DB_METHOD_STORED, 0xFFFFFFF0u, 32, 32}}}}, data, true)));
  // Stored length different from the packed length.
  EXPECT_TRUE(refused(raw_archive({{".", {{"A", DB_METHOD_STORED, 0, 100, 10}}}}, data)));
  EXPECT_TRUE(refused(raw_archive({{".", {{"A", DB_METHOD_STORED, 0, 5, 10}}}}, data)));
  // A packed member longer than its packed bytes could ever decode to.
  EXPECT_TRUE(refused(raw_archive({{".", {{"A", DB_METHOD_LZSS, 0, 10 * 9 + 19, 10}}}}, data)));
  EXPECT_TRUE(refused(raw_archive({{".", {{"A", DB_METHOD_BLOCKS, 0, 0x7FFFFFFF, 10}}}}, data)));
  EXPECT_FALSE(refused(raw_archive({{".", {{"A", DB_METHOD_LZSS, 0, 10 * 9 + 18, 10}}}}, data)));
  // Hostile counts and sizes in the arrays.
  Bytes huge;
  put32(huge, 0x7FFFFFFF);
  put32(huge, 0x7FFFFFFF);
  put32(huge, 0);
  put32(huge, 0);
  EXPECT_TRUE(refused(huge));
  Bytes rootdata;  // a root array with data blocks
  put32(rootdata, 1);
  put32(rootdata, 1);
  put32(rootdata, 4);
  put32(rootdata, 0);
  rootdata.push_back(1);
  rootdata.push_back('.');
  put32(rootdata, 0);
  EXPECT_TRUE(refused(rootdata));
  Bytes wrongsize = raw_archive({{".", {}}}, {});  // directory array claiming 8-byte entries
  wrongsize[wrongsize.size() - 8 + 3] = 8;
  EXPECT_TRUE(refused(wrongsize));
}

TEST_F(Db, DamagedMembersFailCleanly) {
  TempDir t("damaged");
  // One stream that decodes to fewer bytes than its length claims.
  Bytes shortlz = literals(Bytes(10, 'a'));
  // Blocks: a first block of 100 bytes where 900 are due; a block header cut off.
  Bytes blocks;
  blocks.push_back(0x80);
  blocks.push_back(100);
  blocks.insert(blocks.end(), 100, 'b');
  Bytes cut{0x80};
  Bytes data = shortlz;
  uint32_t off_blocks = uint32_t(data.size());
  data.insert(data.end(), blocks.begin(), blocks.end());
  uint32_t off_cut = uint32_t(data.size());
  data.insert(data.end(), cut.begin(), cut.end());
  uint32_t off_raw = uint32_t(data.size());
  Bytes raw_first;  // a raw block claiming more bytes than a block holds
  raw_first.push_back(0xFF);
  raw_first.push_back(0xFF);
  raw_first.insert(raw_first.end(), 200, 'c');
  data.insert(data.end(), raw_first.begin(), raw_first.end());
  std::string file = t.file("d.dat");
  write_file(file, raw_archive({{".",
                                 {{"BLK.BIN", DB_METHOD_BLOCKS, off_blocks, 900, uint32_t(blocks.size())},
                                  {"CUT.BIN", DB_METHOD_BLOCKS, off_cut, 5, 1},
                                  {"LZ.BIN", DB_METHOD_LZSS, 0, 20, uint32_t(shortlz.size())},
                                  {"RAW.BIN", DB_METHOD_BLOCKS, off_raw, 200, uint32_t(raw_first.size())},
                                  {"UNK.BIN", 0x30, 0, 5, 5}}}},
                               data));
  ASSERT_GT(db_init(file.c_str(), nullptr, nullptr), 0);
  std::vector<uint8_t> buf(40000);
  EXPECT_EQ(db_fopen("LZ.BIN", "rb"), nullptr);
  EXPECT_EQ(db_read_to_buf("LZ.BIN", buf.data(), buf.size()), -1);
  EXPECT_EQ(db_fopen("UNK.BIN", "rb"), nullptr);
  EXPECT_EQ(db_read_to_buf("UNK.BIN", buf.data(), buf.size()), -1);
  for (const char* name : {"BLK.BIN", "CUT.BIN", "RAW.BIN"}) {
    EXPECT_EQ(db_read_to_buf(name, buf.data(), buf.size()), -1) << name;
    db_file* f = db_fopen(name, "rb");
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(db_fread(buf.data(), 1, buf.size(), f), 0u) << name;
    EXPECT_EQ(db_fgetc(f), -1);
    EXPECT_EQ(db_fseek(f, 3, 0), -1);
    db_fclose(f);
  }
}
