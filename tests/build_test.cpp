// Archive builder: the file is parsed independently of the database library (layout, key order,
// entries, member data per method) and read back through the library's streams and whole-member
// reads; refusals leave no file behind.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "assoc/assoc.h"
#include "kit/build.h"
#include "db/db.h"
#include "db/decode.h"
#include "tests/support/files.h"
#include "tests/support/tempdir.h"

namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> read_all(const fs::path& p) {
  const std::string s = read_whole_file(p);
  return std::vector<uint8_t>(s.begin(), s.end());
}

uint32_t be32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 | b[at + 3];
}

struct Entry {
  std::string key;
  uint32_t flags = 0, offset = 0, length = 0, packed = 0;
};

// Parses one serialised array at `at`; advances `at`.
std::vector<Entry> parse_array(const std::vector<uint8_t>& b, size_t& at, uint32_t want_data_size) {
  std::vector<Entry> out;
  EXPECT_LE(at + 16, b.size());
  if (at + 16 > b.size()) return out;
  uint32_t count = be32(b, at), capacity = be32(b, at + 4), data_size = be32(b, at + 8);
  EXPECT_LE(count, capacity);
  EXPECT_EQ(data_size, want_data_size);
  at += 16;
  for (uint32_t i = 0; i < count && at < b.size(); ++i) {
    Entry e;
    size_t len = b[at++];
    e.key.assign(b.begin() + std::ptrdiff_t(at), b.begin() + std::ptrdiff_t(at + len));
    at += len;
    if (data_size == 16) {
      e.flags = be32(b, at);
      e.offset = be32(b, at + 4);
      e.length = be32(b, at + 8);
      e.packed = be32(b, at + 12);
      at += 16;
    }
    out.push_back(e);
  }
  for (size_t i = 1; i < out.size(); ++i)
    EXPECT_LT(assoc_compare(out[i - 1].key.c_str(), out[i].key.c_str()), 0) << out[i].key;
  return out;
}

// Decodes one member from the archive bytes according to its method.
std::vector<uint8_t> decode_member(const std::vector<uint8_t>& b, const Entry& e) {
  std::vector<uint8_t> out;
  EXPECT_LE(uint64_t(e.offset) + e.packed, b.size());
  const uint8_t* p = b.data() + e.offset;
  if (e.flags == DB_METHOD_STORED) {
    EXPECT_EQ(e.packed, e.length);
    out.assign(p, p + e.length);
  } else if (e.flags == DB_METHOD_LZSS) {
    out.resize(e.length + 1);
    out.resize(lzss_decode_mem(p, e.packed, out.data(), out.size()));
  } else if (e.flags == DB_METHOD_BLOCKS) {
    size_t at = 0;
    while (at < e.packed) {
      EXPECT_EQ(out.size() % DB_BLOCK_SIZE, 0u) << "a block before the last is short";
      unsigned h = unsigned(p[at]) << 8 | p[at + 1];
      at += 2;
      size_t n = h & 0x7FFF;
      if (h & 0x8000) {
        EXPECT_LE(n, DB_BLOCK_SIZE);
        out.insert(out.end(), p + at, p + at + n);
      } else {
        std::vector<uint8_t> blk(DB_BLOCK_SIZE + 1);
        size_t got = lzss_decode_mem(p + at, n, blk.data(), blk.size());
        EXPECT_LE(got, DB_BLOCK_SIZE);
        EXPECT_LT(n, got) << "a packed block that does not shrink should be raw";
        out.insert(out.end(), blk.begin(), blk.begin() + std::ptrdiff_t(got));
      }
      at += n;
    }
    EXPECT_EQ(at, e.packed);
  } else {
    ADD_FAILURE() << "unknown method " << e.flags;
  }
  EXPECT_EQ(out.size(), e.length);
  return out;
}

struct Parsed {
  std::vector<std::string> dirs;
  std::vector<std::vector<Entry>> entries;
  size_t dir_end = 0;
};

Parsed parse(const std::vector<uint8_t>& b) {
  Parsed p;
  size_t at = 0;
  for (const Entry& e : parse_array(b, at, 0)) p.dirs.push_back(e.key);
  for (size_t i = 0; i < p.dirs.size(); ++i) p.entries.push_back(parse_array(b, at, 16));
  p.dir_end = at;
  return p;
}

std::vector<uint8_t> random_bytes(size_t n, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  for (auto& x : v) x = uint8_t(rng());
  return v;
}

// Compressible but not trivially so: text-like words with some noise.
std::vector<uint8_t> texty(size_t n, uint32_t seed) {
  static const char* w[] = {"alpha ", "beta ", "gamma\r\n", "delta ", "epsilon ", "zeta "};
  std::mt19937 rng(seed);
  std::vector<uint8_t> v;
  while (v.size() < n) {
    const char* s = w[rng() % 6];
    v.insert(v.end(), s, s + std::char_traits<char>::length(s));
    if (rng() % 7 == 0) v.push_back(uint8_t(rng()));
  }
  v.resize(n);
  return v;
}

class BuildTest : public ::testing::Test {
 protected:
  TempDir scratch{"build_test"};
  fs::path dir = scratch.path;
  void TearDown() override { db_exit(); }
  std::string file(const char* name = "out.dat") { return (dir / name).string(); }
};

TEST_F(BuildTest, LayoutOrderAndNames) {
  std::vector<kit_member> m = {
      {"readme.txt", {'h', 'i'}},  {"Data\\logo.pcx", {1, 2, 3}}, {"data\\Sub\\a.bin", {}},
      {"_last\\x", {9}},           {"Zz\\y", {8}},                {"B.TXT", {7}},
      {"data/fwd.txt", {5}},
  };
  std::string err;
  ASSERT_TRUE(kit_build_archive(file(), m, err)) << err;
  EXPECT_FALSE(fs::exists(file() + ".part"));
  std::vector<uint8_t> b = read_all(file());
  Parsed p = parse(b);
  // Keys fold to lower case, so '_' (0x5F) sorts before every letter.
  ASSERT_EQ(p.dirs, (std::vector<std::string>{".", "_LAST", "DATA", "DATA\\SUB", "ZZ"}));
  ASSERT_EQ(p.entries[0].size(), 2u);
  EXPECT_EQ(p.entries[0][0].key, "B.TXT");
  EXPECT_EQ(p.entries[0][1].key, "README.TXT");
  ASSERT_EQ(p.entries[2].size(), 2u);
  EXPECT_EQ(p.entries[2][0].key, "FWD.TXT");
  EXPECT_EQ(p.entries[2][1].key, "LOGO.PCX");
  EXPECT_EQ(p.entries[3][0].key, "A.BIN");
  // Member data starts right after the directory and follows directory order without gaps.
  uint64_t expect = p.dir_end;
  for (const auto& es : p.entries)
    for (const Entry& e : es) {
      EXPECT_EQ(e.offset, expect) << e.key;
      expect += e.packed;
      EXPECT_EQ(e.flags, DB_METHOD_STORED) << "tiny members never shrink";
    }
  EXPECT_EQ(expect, b.size());
  EXPECT_EQ(decode_member(b, p.entries[0][1]), (std::vector<uint8_t>{'h', 'i'}));
}

TEST_F(BuildTest, EmptyArchiveHasTheRootDirectory) {
  std::string err;
  ASSERT_TRUE(kit_build_archive(file(), {}, err)) << err;
  Parsed p = parse(read_all(file()));
  EXPECT_EQ(p.dirs, std::vector<std::string>{"."});
  EXPECT_TRUE(p.entries[0].empty());
}

// Sizes around the block size, in every method; each is parsed and decoded independently.
TEST_F(BuildTest, MethodsAndBlockEdges) {
  const size_t sizes[] = {0, 1, 16383, 16384, 16385, 2 * 16384 + 100};
  const kit_pack_method methods[] = {kit_pack_method::stored, kit_pack_method::lzss, kit_pack_method::blocks,
                                    kit_pack_method::best};
  const char* mname[] = {"S", "L", "B", "X"};
  std::vector<kit_member> m;
  for (size_t s : sizes)
    for (int k = 0; k < 4; ++k) {
      kit_member t;
      t.path = "D" + std::string(mname[k]) + "\\M" + std::to_string(s);
      t.data = texty(s, uint32_t(s + k));
      t.method = methods[k];
      m.push_back(t);
    }
  // Mixed member for blocks: a random (raw) block between packable ones.
  kit_member mix;
  mix.path = "MIX.BIN";
  mix.data = texty(16384, 1);
  std::vector<uint8_t> r = random_bytes(16384, 2), t = texty(5000, 3);
  mix.data.insert(mix.data.end(), r.begin(), r.end());
  mix.data.insert(mix.data.end(), t.begin(), t.end());
  mix.method = kit_pack_method::blocks;
  m.push_back(mix);
  // Incompressible members stay stored whatever is asked.
  for (int k = 1; k < 4; ++k) m.push_back({"RND" + std::to_string(k), random_bytes(40000, uint32_t(k)), methods[k]});

  std::string err;
  ASSERT_TRUE(kit_build_archive(file(), m, err)) << err;
  std::vector<uint8_t> b = read_all(file());
  Parsed p = parse(b);
  auto find = [&](const std::string& dirn, const std::string& key) -> const Entry* {
    for (size_t i = 0; i < p.dirs.size(); ++i)
      if (p.dirs[i] == dirn)
        for (const Entry& e : p.entries[i])
          if (e.key == key) return &e;
    return nullptr;
  };
  for (const auto& mm : m) {
    std::string path = mm.path;
    size_t sep = path.rfind('\\');
    const Entry* e = sep == std::string::npos ? find(".", path) : find(path.substr(0, sep), path.substr(sep + 1));
    ASSERT_NE(e, nullptr) << path;
    EXPECT_EQ(e->length, mm.data.size());
    EXPECT_EQ(decode_member(b, *e), mm.data) << path;
    if (mm.data.size() < 100 || path.rfind("RND", 0) == 0 || mm.method == kit_pack_method::stored) {
      EXPECT_EQ(e->flags, DB_METHOD_STORED) << path;
    } else if (mm.method == kit_pack_method::lzss) {
      EXPECT_EQ(e->flags, DB_METHOD_LZSS) << path;
    } else if (mm.method == kit_pack_method::blocks) {
      EXPECT_EQ(e->flags, DB_METHOD_BLOCKS) << path;
    } else {
      EXPECT_NE(e->flags, DB_METHOD_STORED) << path;
      EXPECT_LT(e->packed, e->length) << path;
    }
  }
  const Entry* e = find(".", "MIX.BIN");
  ASSERT_NE(e, nullptr);
  // The random block is kept raw: header 0x8000 | 16384.
  size_t second = e->offset + 2 + (unsigned(b[e->offset]) << 8 | b[e->offset + 1]);
  EXPECT_EQ(b[second], 0xC0);
  EXPECT_EQ(b[second + 1], 0x00);
}

// The packing runs on any number of threads and always writes the same archive: members of every
// method and size, many small ones and some of several LZSS pieces, in several directories.
TEST_F(BuildTest, TheArchiveIsTheSameWhateverTheNumberOfThreads) {
  const kit_pack_method methods[] = {kit_pack_method::best, kit_pack_method::lzss, kit_pack_method::blocks,
                                    kit_pack_method::stored};
  std::vector<kit_member> m;
  for (int i = 0; i < 60; ++i) {
    const size_t size = i % 10 == 0 ? 150000 + size_t(i) * 9000 : size_t(i) * 700;
    std::vector<uint8_t> data = i % 7 == 3 ? random_bytes(size, uint32_t(i)) : texty(size, uint32_t(i));
    m.push_back({"DIR" + std::to_string(i % 4) + "\\M" + std::to_string(i), std::move(data), methods[i % 4]});
  }
  std::string err;
  ASSERT_TRUE(kit_build_archive(file("one.dat"), m, err, 1)) << err;
  const std::vector<uint8_t> one = read_all(file("one.dat"));
  for (int jobs : {2, 3, 8}) {
    const std::string name = "jobs" + std::to_string(jobs) + ".dat";
    ASSERT_TRUE(kit_build_archive(file(name.c_str()), m, err, jobs)) << err;
    EXPECT_TRUE(read_all(file(name.c_str())) == one) << jobs << " threads";
  }
}

// The same sizes read back through the database library: streams in odd-sized pieces, seeks,
// and whole-member reads.
TEST_F(BuildTest, ReadBackThroughTheLibrary) {
  const size_t sizes[] = {0, 16383, 16384, 16385, 2 * 16384 + 100};
  const kit_pack_method methods[] = {kit_pack_method::stored, kit_pack_method::lzss, kit_pack_method::blocks};
  const uint32_t expect_method[] = {DB_METHOD_STORED, DB_METHOD_LZSS, DB_METHOD_BLOCKS};
  std::vector<kit_member> m;
  for (size_t s : sizes)
    for (int k = 0; k < 3; ++k)
      m.push_back({"m" + std::to_string(k) + "\\f" + std::to_string(s) + ".bin", texty(s, uint32_t(s * 3 + k)), methods[k]});
  std::string err;
  ASSERT_TRUE(kit_build_archive(file(), m, err)) << err;
  int h = db_init(file().c_str(), nullptr, nullptr);
  ASSERT_NE(h, -1);
  ASSERT_EQ(db_select(h), 0);
  for (size_t i = 0; i < m.size(); ++i) {
    const auto& mm = m[i];
    const char* name = mm.path.c_str();
    dir_entry e{};
    ASSERT_EQ(db_dir_entry(name, &e), 0) << name;
    EXPECT_EQ(e.length, mm.data.size());
    if (!mm.data.empty()) {
      EXPECT_EQ(e.flags & DB_METHOD_MASK, expect_method[i % 3]) << name;
    }

    db_file* f = db_fopen(name, "rb");
    ASSERT_NE(f, nullptr) << name;
    EXPECT_EQ(db_filelength(f), long(mm.data.size()));
    std::vector<uint8_t> got;
    uint8_t buf[1000];
    for (size_t n; (n = db_fread(buf, 1, sizeof buf, f)) > 0;) got.insert(got.end(), buf, buf + n);
    EXPECT_EQ(got, mm.data) << name;
    EXPECT_EQ(db_feof(f), 1);
    if (mm.data.size() > 20000) {
      ASSERT_EQ(db_fseek(f, 20000, 0), 0);
      ASSERT_EQ(db_fread(buf, 1, 100, f), 100u);
      EXPECT_EQ(0, std::memcmp(buf, mm.data.data() + 20000, 100)) << name;
    }
    db_fclose(f);

    std::vector<uint8_t> whole(mm.data.size() + 1, 0xEE);
    if (!mm.data.empty()) {
      ASSERT_EQ(db_read_to_buf(name, whole.data(), whole.size()), 0) << name;
      whole.resize(mm.data.size());
      EXPECT_EQ(whole, mm.data) << name;
    }
  }
  EXPECT_EQ(db_walk(nullptr, nullptr), int(m.size()));
  db_close(h);
}

TEST_F(BuildTest, RefusalsLeaveNoFile) {
  const std::vector<std::pair<std::string, std::string>> bad = {
      {"", "empty"},
      {"\\x.txt", "empty path component"},
      {"a\\\\x.txt", "empty path component"},
      {"a\\", "empty path component"},
      {"a\\..\\x", "'..'"},
      {".\\x", "'.'"},
      {"-dir\\x.txt", "\"-DIR\" would sort before the root"},
      {"!\\x", "\"!\" would sort before the root"},
      {std::string(256, 'N'), "member name longer than 255"},
      {std::string(256, 'D') + "\\x", "longer than"},
      {"@x.txt", "'@'"},
      {"a\nb", "control character"},
  };
  for (const auto& [name, why] : bad) {
    std::string err;
    EXPECT_FALSE(kit_build_archive(file(), {{"ok.txt", {1}}, {name, {1}}}, err)) << name;
    EXPECT_NE(err.find(why), std::string::npos) << err;
    EXPECT_FALSE(fs::exists(file()));
    EXPECT_FALSE(fs::exists(file() + ".part"));
  }
  std::string err;
  EXPECT_FALSE(kit_build_archive(file(), {{"Data\\A.txt", {1}}, {"DATA\\a.TXT", {2}}}, err));
  EXPECT_NE(err.find("duplicate member name"), std::string::npos) << err;
  EXPECT_FALSE(fs::exists(file()));
  // A 255-character name and a dir starting with '.' are fine.
  EXPECT_TRUE(kit_build_archive(file(), {{std::string(255, 'N'), {1}}, {".cfg\\x", {2}}}, err)) << err;
  // An unwritable target fails without leaving anything.
  EXPECT_FALSE(kit_build_archive((dir / "no" / "such" / "dir.dat").string(), {{"a", {1}}}, err));
  EXPECT_NE(err.find("cannot create"), std::string::npos) << err;
}

TEST_F(BuildTest, ReplacesAnExistingArchive) {
  std::string err;
  ASSERT_TRUE(kit_build_archive(file(), {{"A", std::vector<uint8_t>(50000, 'a')}}, err)) << err;
  ASSERT_TRUE(kit_build_archive(file(), {{"B", {1, 2}}}, err)) << err;
  Parsed p = parse(read_all(file()));
  ASSERT_EQ(p.entries[0].size(), 1u);
  EXPECT_EQ(p.entries[0][0].key, "B");
}

}  // namespace
