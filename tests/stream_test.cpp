// Archive streams over all three storage methods and patch files: reading, seeking, text mode,
// whole-member reads, typed values, progress counting and the stream limit.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive_util.h"
#include "kit/build.h"
#include "db/db.h"
#include "platform/os.h"
#include "tests/support/tempdir.h"

using namespace archive_util;

namespace {

const size_t kSizes[] = {0, 1, 16383, 16384, 16385, 2 * 16384 + 100};
const std::pair<kit_pack_method, const char*> kMethods[] = {
    {kit_pack_method::lzss, "L"}, {kit_pack_method::stored, "S"}, {kit_pack_method::blocks, "B"}};

std::string member_name(const char* m, size_t size) { return std::string(m) + std::to_string(size) + ".BIN"; }

class Streams : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir("streams");
    std::vector<kit_member> ms;
    for (auto [method, tag] : kMethods) {
      for (size_t size : kSizes) {
        kit_member m;
        m.path = member_name(tag, size);
        m.data = pattern(size, uint32_t(size));
        m.method = method;
        ms.push_back(m);
      }
      // CR LF pairs, one split across the first block boundary.
      kit_member text;
      text.path = std::string(tag) + "TEXT.TXT";
      std::string s(16384, 'x');
      s[10] = '\r';
      s[11] = '\n';
      s[20] = '\r';  // a lone CR
      s[16383] = '\r';  // the last byte of the first block; its LF starts the second
      s += "\nline two\r\nend";
      text.data.assign(s.begin(), s.end());
      text.method = method;
      ms.push_back(text);
    }
    kit_member be;
    be.path = "BE.BIN";
    be.data = {0x12, 0x34, 0x01, 0x02, 0x03, 0x04, 0x00, 0x00, 0x00, 0x02, 0xAB};
    be.method = kit_pack_method::stored;
    ms.push_back(be);
    std::string error;
    file_ = new std::string(dir_->file("s.dat"));
    ASSERT_TRUE(kit_build_archive(*file_, ms, error)) << error;
    std::filesystem::create_directories(dir_->path / "patch");
  }
  static void TearDownTestSuite() {
    delete file_;
    delete dir_;
  }
  void SetUp() override {
    ASSERT_GT(db_init(file_->c_str(), nullptr, (dir_->path / "patch").string().c_str()), 0);
  }
  void TearDown() override {
    db_register_callback(nullptr, 16384);
    db_exit();
  }
  static TempDir* dir_;
  static std::string* file_;
};
TempDir* Streams::dir_ = nullptr;
std::string* Streams::file_ = nullptr;

int g_calls = 0;
void on_progress() { ++g_calls; }

}  // namespace

TEST_F(Streams, SequentialAndWholeReadsMatchForEveryMethodAndSize) {
  for (auto [method, tag] : kMethods) {
    for (size_t size : kSizes) {
      std::string name = member_name(tag, size);
      SCOPED_TRACE(name);
      Bytes want = pattern(size, uint32_t(size));
      dir_entry e;
      ASSERT_EQ(db_dir_entry(name.c_str(), &e), 0);
      EXPECT_EQ(e.length, size);

      Bytes whole(size + 1, 0xEE);
      ASSERT_EQ(db_read_to_buf(name.c_str(), whole.data(), size), 0);
      EXPECT_TRUE(std::equal(want.begin(), want.end(), whole.begin()));
      EXPECT_EQ(whole[size], 0xEE);
      if (size > 0) {
        Bytes small(size, 0xEE);
        EXPECT_EQ(db_read_to_buf(name.c_str(), small.data(), size - 1), -1);
        EXPECT_EQ(small[size - 1], 0xEE);
      }

      db_file* f = db_fopen(name.c_str(), "rb");
      ASSERT_NE(f, nullptr);
      EXPECT_EQ(db_filelength(f), long(size));
      EXPECT_EQ(db_feof(f), size == 0 ? 1 : 0);
      Bytes got(size + 7);
      // Odd-sized reads cross block boundaries at various offsets.
      size_t pos = 0;
      while (pos < size) {
        size_t n = db_fread(got.data() + pos, 1, 1000 + pos % 7, f);
        ASSERT_GT(n, 0u);
        pos += n;
      }
      got.resize(size);
      EXPECT_EQ(got, want);
      EXPECT_EQ(db_feof(f), 1);
      EXPECT_EQ(db_fgetc(f), -1);
      EXPECT_EQ(db_ftell(f), long(size));
      db_rewind(f);
      EXPECT_EQ(db_ftell(f), 0);
      if (size > 0) {
        EXPECT_EQ(db_fgetc(f), want[0]);
      }
      db_fclose(f);
    }
  }
}

TEST_F(Streams, SeeksMatchSequentialReads) {
  const size_t size = 2 * 16384 + 100;
  Bytes want = pattern(size, uint32_t(size));
  for (auto [method, tag] : kMethods) {
    std::string name = member_name(tag, size);
    SCOPED_TRACE(name);
    db_file* f = db_fopen(name.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    auto at = [&](long offset, int whence, long expect_pos) {
      ASSERT_EQ(db_fseek(f, offset, whence), 0);
      EXPECT_EQ(db_ftell(f), expect_pos);
      uint8_t b[40];
      size_t n = db_fread(b, 1, sizeof b, f);
      size_t avail = size - size_t(expect_pos);
      ASSERT_EQ(n, std::min<size_t>(sizeof b, avail));
      EXPECT_EQ(std::memcmp(b, want.data() + expect_pos, n), 0) << expect_pos;
    };
    at(16384 + 5000, 0, 16384 + 5000);  // middle of the second block
    at(100, 0, 100);                     // backwards into the first block
    at(-60, 2, long(size) - 60);         // into the last block
    at(-(long(size) - 70), 1, 50);       // relative, far back
    at(16384 - 10, 0, 16384 - 10);       // a read that crosses a boundary
    at(16384 * 2, 0, 16384 * 2);         // exactly a block start
    at(16384, 0, 16384);
    ASSERT_EQ(db_fseek(f, 0, 2), 0);
    EXPECT_EQ(db_feof(f), 1);
    EXPECT_EQ(db_fseek(f, long(size) + 1, 0), -1);
    EXPECT_EQ(db_fseek(f, -1, 0), -1);
    EXPECT_EQ(db_fseek(f, 0, 7), -1);
    EXPECT_EQ(db_ftell(f), long(size));  // unchanged by the failed seeks
    // ungetc steps back one byte (within the loaded data).
    ASSERT_EQ(db_fseek(f, 300, 0), 0);
    int c = db_fgetc(f);
    EXPECT_EQ(c, want[300]);
    EXPECT_EQ(db_ungetc('?', f), '?');
    EXPECT_EQ(db_fgetc(f), want[300]);
    db_fclose(f);
  }
}

TEST_F(Streams, ItemReadsLeavePartialItems) {
  db_file* f = db_fopen("BE.BIN", "rb");
  ASSERT_NE(f, nullptr);
  uint8_t b[16];
  ASSERT_EQ(db_fseek(f, 1, 0), 0);  // 10 bytes left
  EXPECT_EQ(db_fread(b, 4, 5, f), 2u);
  EXPECT_EQ(db_ftell(f), 9);
  EXPECT_EQ(db_fread(b, 4, 1, f), 0u);
  db_fclose(f);
}

TEST_F(Streams, TextModeFoldsCrLf) {
  std::string expect(16384, 'x');
  expect[10] = '\r';
  expect[11] = '\n';
  expect[20] = '\r';
  expect[16383] = '\r';
  expect += "\nline two\r\nend";
  std::string folded;
  for (size_t i = 0; i < expect.size(); ++i) {
    if (expect[i] == '\r' && i + 1 < expect.size() && expect[i + 1] == '\n') continue;
    folded += expect[i];
  }
  for (auto [method, tag] : kMethods) {
    std::string name = std::string(tag) + "TEXT.TXT";
    SCOPED_TRACE(name);
    db_file* f = db_fopen(name.c_str(), "r");
    ASSERT_NE(f, nullptr);
    std::string got;
    int c;
    while ((c = db_fgetc(f)) >= 0) got += char(c);
    // Pairs fold everywhere, also across the boundary of the first block.
    EXPECT_EQ(got, folded);
    db_rewind(f);
    char line[64];
    ASSERT_NE(db_fgets(line, sizeof line, f), nullptr);
    EXPECT_STREQ(line, "xxxxxxxxxx\n");
    EXPECT_EQ(db_ftell(f), 12);  // CR LF counts as two consumed bytes
    // Read line by line with buffers of every size class, the whole member comes out folded.
    for (int size : {2, 7, 64, 20000}) {
      db_rewind(f);
      std::vector<char> part(static_cast<size_t>(size));
      std::string lines;
      while (db_fgets(part.data(), size, f)) lines += part.data();
      EXPECT_EQ(lines, folded) << size;
    }
    db_fclose(f);

    f = db_fopen(name.c_str(), "rb");
    got.clear();
    while ((c = db_fgetc(f)) >= 0) got += char(c);
    EXPECT_EQ(got, expect);
    db_fclose(f);
  }
}

TEST_F(Streams, ModesAndTheStreamLimit) {
  // With a patch directory, a write mode creates the file there.
  db_file* created = db_fopen("NEW.BIN", "w");
  ASSERT_NE(created, nullptr);
  db_fclose(created);
  EXPECT_TRUE(std::filesystem::exists(dir_->path / "patch" / "NEW.BIN"));
  std::filesystem::remove(dir_->path / "patch" / "NEW.BIN");
  // Without one, members cannot be opened for writing.
  db_exit();
  ASSERT_GT(db_init(file_->c_str(), nullptr, nullptr), 0);
  EXPECT_EQ(db_fopen("S1.BIN", "w"), nullptr);
  EXPECT_EQ(db_fopen("S1.BIN", "r+"), nullptr);
  EXPECT_EQ(db_fopen("S1.BIN", "b"), nullptr);
  EXPECT_EQ(db_fopen("NOPE.BIN", "r"), nullptr);
  EXPECT_EQ(db_fopen(nullptr, "r"), nullptr);
  std::vector<db_file*> open;
  for (int i = 0; i < DB_MAX_STREAMS; ++i) {
    db_file* f = db_fopen("L16384.BIN", "rb");
    ASSERT_NE(f, nullptr);
    open.push_back(f);
  }
  EXPECT_EQ(db_fopen("S1.BIN", "rb"), nullptr);
  db_fclose(open[4]);
  db_file* f = db_fopen("S1.BIN", "rb");
  EXPECT_NE(f, nullptr);
  // Writes to members fail.
  EXPECT_EQ(db_fwrite("x", 1, 1, f), 0u);
  EXPECT_EQ(db_fputc('x', f), -1);
  EXPECT_EQ(db_fputs("x", f), -1);
  EXPECT_EQ(db_fprintf(f, "%d", 1), -1);
  EXPECT_EQ(db_fwriteInt(f, 1), -1);
  EXPECT_EQ(db_fclose(nullptr), -1);
  EXPECT_EQ(db_feof(nullptr), -1);
  EXPECT_EQ(db_ftell(nullptr), -1);
  EXPECT_EQ(db_fgetc(nullptr), -1);
  EXPECT_EQ(db_fread(nullptr, 1, 1, nullptr), 0u);
  // db_exit with streams still open releases them too.
}

TEST_F(Streams, AStreamOverAFileTheCallerOpenedOutlivesEveryDatabase) {
  const std::string path = dir_->file("own.bin");
  FILE* fp = os_fopen_native(path.c_str(), "wb");
  ASSERT_NE(fp, nullptr);
  EXPECT_EQ(db_fopen_file(fp, "b"), nullptr);  // no access asked: the file stays the caller's
  db_file* out = db_fopen_file(fp, "wb");
  ASSERT_NE(out, nullptr);
  db_exit();
  EXPECT_EQ(db_fwriteLong(out, 0x01020304), 0);
  EXPECT_EQ(db_fwriteShort(out, 0x0506), 0);
  EXPECT_EQ(db_fclose(out), 0);
  EXPECT_EQ(read_file(path), (std::vector<uint8_t>{1, 2, 3, 4, 5, 6}));
  db_file* in = db_fopen_file(os_fopen_native(path.c_str(), "rb"), "rb");
  int32_t v = 0;
  int16_t h = 0;
  uint8_t b = 0;
  EXPECT_EQ(db_freadInt(in, &v), 0);
  EXPECT_EQ(db_freadShort(in, &h), 0);
  EXPECT_EQ(db_freadByte(in, &b), -1);
  EXPECT_EQ(v, 0x01020304);
  EXPECT_EQ(h, 0x0506);
  EXPECT_EQ(db_fwriteByte(in, 1), -1);  // read only
  EXPECT_EQ(db_fclose(in), 0);
}

TEST_F(Streams, TypedValuesBigEndian) {
  db_file* f = db_fopen("BE.BIN", "rb");
  ASSERT_NE(f, nullptr);
  int16_t s;
  int32_t l;
  float fl;
  ASSERT_EQ(db_freadShort(f, &s), 0);
  EXPECT_EQ(s, 0x1234);
  ASSERT_EQ(db_freadLong(f, &l), 0);
  EXPECT_EQ(l, 0x01020304);
  ASSERT_EQ(db_freadFloat(f, &fl), 0);
  EXPECT_EQ(fl, 2.0f);
  EXPECT_EQ(db_freadInt(f, &l), -1);  // one byte left
  db_fclose(f);

  // Writing goes to a plain file in the patch directory.
  db_file* w = db_fopen("OUT.BIN", "wb");
  ASSERT_NE(w, nullptr);
  EXPECT_EQ(db_fwriteLong(w, 0x01020304), 0);
  EXPECT_EQ(db_fwriteShort(w, -2), 0);
  EXPECT_EQ(db_fwriteByte(w, 0x7F), 0);
  EXPECT_EQ(db_fwriteFloat(w, 2.75f), 0);
  EXPECT_EQ(db_fwriteFloat(w, -3.5f), 0);
  const int32_t ints[3] = {1, -1, 0x7FFFFFFF};
  EXPECT_EQ(db_fwriteIntCount(w, ints, 3), 0);
  db_fclose(w);
  Bytes raw = read_file(dir_->file("patch/OUT.BIN"));
  ASSERT_GE(raw.size(), 7u);
  EXPECT_EQ(Bytes(raw.begin(), raw.begin() + 7), (Bytes{1, 2, 3, 4, 0xFF, 0xFE, 0x7F}));

  db_file* r = db_fopen("OUT.BIN", "rb");
  ASSERT_NE(r, nullptr);
  uint8_t b;
  ASSERT_EQ(db_freadLong(r, &l), 0);
  EXPECT_EQ(l, 0x01020304);
  ASSERT_EQ(db_freadShort(r, &s), 0);
  EXPECT_EQ(s, -2);
  ASSERT_EQ(db_freadByte(r, &b), 0);
  EXPECT_EQ(b, 0x7F);
  float fs[2];
  ASSERT_EQ(db_freadFloatCount(r, fs, 2), 0);
  EXPECT_EQ(fs[0], 2.0f);
  EXPECT_EQ(fs[1], -3.0f);
  int32_t back[4] = {};
  EXPECT_EQ(db_freadIntCount(r, back, 4), -1);  // only three there; the first three are done
  EXPECT_EQ(back[0], 1);
  EXPECT_EQ(back[1], -1);
  EXPECT_EQ(back[2], 0x7FFFFFFF);
  EXPECT_EQ(db_feof(r), 1);
  db_fclose(r);
}

TEST_F(Streams, PatchFilesReadThroughTheSameCalls) {
  write_text(dir_->file("patch/S1.BIN"), "patched\nsecond\n");
  db_file* f = db_fopen("S1.BIN", "rb");
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(db_filelength(f), 15);
  char line[32];
  ASSERT_NE(db_fgets(line, sizeof line, f), nullptr);
  EXPECT_STREQ(line, "patched\n");
  EXPECT_EQ(db_ftell(f), 8);
  db_fclose(f);
  Bytes buf(15);
  EXPECT_EQ(db_read_to_buf("S1.BIN", buf.data(), 14), -1);
  EXPECT_EQ(db_read_to_buf("S1.BIN", buf.data(), 15), 0);
  EXPECT_EQ(buf[0], 'p');
  uint32_t packed = 1, length = 0;
  void* p = nullptr;
  ASSERT_EQ(db_load("S1.BIN", &packed, &length, &p), 0);
  EXPECT_EQ(packed, 0u);
  EXPECT_EQ(length, 15u);
  std::free(p);
  std::filesystem::remove(dir_->path / "patch" / "S1.BIN");
}

TEST_F(Streams, LoadGivesPackedBytes) {
  uint32_t packed = 0, length = 0;
  void* p = nullptr;
  ASSERT_EQ(db_load("S16385.BIN", &packed, &length, &p), 0);
  EXPECT_EQ(packed, 16385u);
  EXPECT_EQ(length, 16385u);
  Bytes want = pattern(16385, 16385);
  EXPECT_EQ(std::memcmp(p, want.data(), 16385), 0);
  std::free(p);
  dir_entry e;
  ASSERT_EQ(db_dir_entry("L16385.BIN", &e), 0);
  ASSERT_EQ(db_load("L16385.BIN", &packed, &length, &p), 0);
  EXPECT_EQ(packed, e.packed_length);
  EXPECT_EQ(length, 16385u);
  std::free(p);
  EXPECT_EQ(db_load("NOPE", &packed, &length, &p), -1);
  EXPECT_EQ(p, nullptr);
  EXPECT_EQ(packed, 0u);
}

TEST_F(Streams, ProgressCallbackCounts) {
  const size_t size = 2 * 16384 + 100;
  for (auto [method, tag] : kMethods) {
    std::string name = member_name(tag, size);
    SCOPED_TRACE(name);
    db_register_callback(on_progress, 1000);
    g_calls = 0;
    db_file* f = db_fopen(name.c_str(), "rb");
    Bytes buf(size);
    ASSERT_EQ(db_fread(buf.data(), 1, 2500, f), 2500u);
    EXPECT_EQ(g_calls, 2);
    for (int i = 0; i < 500; ++i) db_fgetc(f);
    EXPECT_EQ(g_calls, 3);
    db_fclose(f);

    db_register_callback(on_progress, 16384);
    g_calls = 0;
    ASSERT_EQ(db_read_to_buf(name.c_str(), buf.data(), size), 0);
    // Whole-member reads of stored and block members are counted; one stream members are not.
    EXPECT_EQ(g_calls, method == kit_pack_method::lzss ? 0 : 2);
  }
  db_register_callback(nullptr, 16384);
  g_calls = 0;
  Bytes buf(size);
  ASSERT_EQ(db_read_to_buf(member_name("S", size).c_str(), buf.data(), size), 0);
  EXPECT_EQ(g_calls, 0);
}

TEST_F(Streams, ArraysThroughStreams) {
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 2, nullptr), 0);
  uint16_t v = 0x0102;
  assoc_insert(&a, "one", &v);
  assoc_insert(&a, "two", &v);
  db_file* w = db_fopen("ARR.BIN", "wb");
  ASSERT_NE(w, nullptr);
  ASSERT_EQ(assoc_db_save(w, &a, 0), 0);
  db_fclose(w);
  assoc_array b;
  assoc_init(&b, 0, 0, nullptr);
  db_file* r = db_fopen("ARR.BIN", "rb");
  ASSERT_EQ(assoc_db_load(r, &b, 0), 0);
  db_fclose(r);
  EXPECT_EQ(b.count, 2);
  EXPECT_STREQ(b.entries[1].key, "two");
  EXPECT_EQ(std::memcmp(b.entries[1].data, &v, 2), 0);
  // A member is read-only: saving into it fails.
  db_file* m = db_fopen("S16384.BIN", "rb");
  EXPECT_EQ(assoc_db_save(m, &a, 0), -1);
  db_fclose(m);
  assoc_free(&a);
  assoc_free(&b);
}
