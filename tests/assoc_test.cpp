// Associative arrays: ordering, growth, prefix lookup, serialised form and hostile loads.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "assoc/assoc.h"
#include "tests/support/tempdir.h"

namespace {

// A file in a temporary directory of its own.
struct TempFile {
  TempDir dir{"assoc_test"};
  std::filesystem::path path;
  explicit TempFile(const char* tag) : path(dir.path / (std::string(tag) + ".bin")) {}
  FILE* open(const char* mode) const { return std::fopen(path.string().c_str(), mode); }
};

std::vector<uint8_t> be(std::initializer_list<uint32_t> words) {
  std::vector<uint8_t> out;
  for (uint32_t w : words) {
    out.push_back(uint8_t(w >> 24));
    out.push_back(uint8_t(w >> 16));
    out.push_back(uint8_t(w >> 8));
    out.push_back(uint8_t(w));
  }
  return out;
}

void write_bytes(const TempFile& t, const std::vector<uint8_t>& bytes) {
  FILE* f = t.open("wb");
  ASSERT_NE(f, nullptr);
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  std::fclose(f);
}

int load_bytes(const TempFile& t, const std::vector<uint8_t>& bytes, assoc_array* a) {
  write_bytes(t, bytes);
  FILE* f = t.open("rb");
  int rc = assoc_load(f, a, 0);
  std::fclose(f);
  return rc;
}

}  // namespace

TEST(Assoc, CaseInsensitiveKeysAndOrder) {
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 8, nullptr), 0);
  const char old_data[8] = "old";
  const char new_data[8] = "new";
  EXPECT_GE(assoc_insert(&a, "PATH", old_data), 0);
  EXPECT_EQ(assoc_insert(&a, "Path", new_data), -1);
  int i = assoc_search(&a, "path");
  ASSERT_GE(i, 0);
  EXPECT_STREQ(static_cast<const char*>(a.entries[i].data), "old");
  EXPECT_STREQ(a.entries[i].key, "PATH");

  for (const char* k : {"a", "_X", "ZZ", "Zz2"}) EXPECT_GE(assoc_insert(&a, k, nullptr), 0);
  // Letters fold to 0x61..0x7A, so '_' (0x5F) sorts before every letter, whatever its case.
  std::vector<std::string> keys;
  for (int j = 0; j < a.count; ++j) keys.push_back(a.entries[j].key);
  EXPECT_EQ(keys, (std::vector<std::string>{"_X", "a", "PATH", "ZZ", "Zz2"}));
  EXPECT_GT(assoc_compare("ZZ", "_X"), 0);
  EXPECT_GT(assoc_compare("Zz", "_X"), 0);
  EXPECT_LT(assoc_compare("_X", "a"), 0);
  EXPECT_EQ(assoc_compare("abc", "ABC"), 0);
  EXPECT_LT(assoc_compare("ab", "abc"), 0);

  // A key inserted without data has none even though the array carries 8-byte blocks.
  EXPECT_EQ(a.entries[assoc_search(&a, "a")].data, nullptr);

  EXPECT_EQ(assoc_delete(&a, "pAtH"), 0);
  EXPECT_EQ(assoc_delete(&a, "PATH"), -1);
  EXPECT_EQ(assoc_search(&a, "PATH"), -1);
  EXPECT_EQ(a.count, 4);
  EXPECT_EQ(assoc_free(&a), 0);
  EXPECT_EQ(a.marker, 0u);
  EXPECT_EQ(assoc_insert(&a, "x", nullptr), -1);  // no longer initialised
}

TEST(Assoc, GrowthAndResize) {
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 0, nullptr), 0);
  EXPECT_EQ(a.entries, nullptr);
  assoc_insert(&a, "k1", nullptr);
  EXPECT_EQ(a.capacity, 2);
  assoc_insert(&a, "k2", nullptr);
  assoc_insert(&a, "k3", nullptr);
  EXPECT_EQ(a.capacity, 6);
  EXPECT_EQ(assoc_resize(&a, 2), -1);  // below count
  EXPECT_EQ(assoc_resize(&a, 3), 0);
  EXPECT_EQ(a.capacity, 3);
  assoc_insert(&a, "k4", nullptr);
  EXPECT_EQ(a.capacity, 8);
  assoc_free(&a);

  assoc_array bad{};
  EXPECT_EQ(assoc_search(&bad, "x"), -1);
  EXPECT_EQ(assoc_resize(&bad, 4), -1);
  EXPECT_EQ(assoc_free(&bad), -1);
}

TEST(Assoc, FindFirstPrefixForms) {
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 4, 0, nullptr), 0);
  for (const char* k : {"FOO", "FOO (2)", "FOO [A]", "FOO/TLX", "FOOD", "FOO X"}) assoc_insert(&a, k, nullptr);
  std::vector<std::string> seen;
  // Walks the consecutive accepted keys; "FOO X" sorts between "FOO (2)"... and stops the walk.
  for (int i = assoc_find_first(&a, "foo", -1); i >= 0; i = assoc_find_first(&a, "foo", i))
    seen.push_back(a.entries[i].key);
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen[0], "FOO");
  for (const auto& s : seen) {
    EXPECT_NE(s, "FOOD");
    EXPECT_NE(s, "FOO X");
  }
  auto accepted = [&](const char* k) {
    int idx = assoc_search(&a, k);
    return assoc_find_first(&a, "FOO", idx - 1) == idx;
  };
  EXPECT_TRUE(accepted("FOO (2)"));
  EXPECT_TRUE(accepted("FOO [A]"));
  EXPECT_TRUE(accepted("FOO/TLX"));
  EXPECT_FALSE(accepted("FOOD"));
  EXPECT_FALSE(accepted("FOO X"));
  EXPECT_EQ(assoc_find_first(&a, "ZZZ", -1), -1);
  assoc_free(&a);
}

TEST(Assoc, CopyIsDeep) {
  assoc_array a, b;
  ASSERT_EQ(assoc_init(&a, 0, 4, nullptr), 0);
  uint32_t v = 7;
  assoc_insert(&a, "one", &v);
  ASSERT_EQ(assoc_copy(&b, &a), 0);
  *static_cast<uint32_t*>(a.entries[0].data) = 9;
  EXPECT_EQ(*static_cast<uint32_t*>(b.entries[0].data), 7u);
  EXPECT_NE(a.entries[0].key, b.entries[0].key);
  assoc_free(&a);
  assoc_free(&b);
  assoc_array none{};
  EXPECT_EQ(assoc_copy(&b, &none), -1);
}

TEST(Assoc, SaveLoadRoundTrip) {
  TempFile t("roundtrip");
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 5, 4, nullptr), 0);
  for (uint32_t i = 0; i < 5; ++i) {
    std::string k = "key" + std::to_string(i);
    assoc_insert(&a, k.c_str(), &i);
  }
  assoc_insert(&a, "nodata", nullptr);  // saved as a zero block
  FILE* f = t.open("wb");
  ASSERT_EQ(assoc_save(f, &a, 0), 0);
  std::fclose(f);

  assoc_array b;
  ASSERT_EQ(assoc_init(&b, 0, 0, nullptr), 0);
  f = t.open("rb");
  ASSERT_EQ(assoc_load(f, &b, 0), 0);
  std::fclose(f);
  EXPECT_EQ(b.count, a.count);
  EXPECT_EQ(b.capacity, a.capacity);
  EXPECT_EQ(b.data_size, 4u);
  for (int i = 0; i < a.count; ++i) {
    EXPECT_STREQ(a.entries[i].key, b.entries[i].key);
    uint32_t want = a.entries[i].data ? *static_cast<uint32_t*>(a.entries[i].data) : 0;
    EXPECT_EQ(*static_cast<uint32_t*>(b.entries[i].data), want);
  }
  assoc_free(&a);
  assoc_free(&b);
}

TEST(Assoc, EmptyArraySavesAsHeaderAlone) {
  TempFile t("empty");
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 0, nullptr), 0);
  FILE* f = t.open("wb");
  ASSERT_EQ(assoc_save(f, &a, 0), 0);
  std::fclose(f);
  EXPECT_EQ(std::filesystem::file_size(t.path), 16u);
  assoc_free(&a);
}

TEST(Assoc, OverlongKeyIsNotSaved) {
  TempFile t("long");
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 0, nullptr), 0);
  assoc_insert(&a, std::string(256, 'k').c_str(), nullptr);
  FILE* f = t.open("wb");
  EXPECT_EQ(assoc_save(f, &a, 0), -1);
  std::fclose(f);
  assoc_free(&a);
}

namespace {
int hook_load(FILE* in, void* data, uint32_t size, int flags) {
  EXPECT_EQ(flags, 42);
  int c = std::fgetc(in);  // one byte on disk, expanded to the whole block
  if (c == EOF) return -1;
  std::memset(data, c, size);
  return 0;
}
int hook_save(FILE* out, const void* data, uint32_t, int flags) {
  EXPECT_EQ(flags, 42);
  return std::fputc(*static_cast<const uint8_t*>(data), out) == EOF ? -1 : 0;
}
}  // namespace

TEST(Assoc, EntryHooksAndFlags) {
  TempFile t("hooks");
  assoc_hooks h{hook_load, hook_save, nullptr, nullptr};
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 6, &h), 0);
  uint8_t d[6] = {5, 5, 5, 5, 5, 5};
  assoc_insert(&a, "x", d);
  FILE* f = t.open("wb");
  ASSERT_EQ(assoc_save(f, &a, 42), 0);
  std::fclose(f);
  EXPECT_EQ(std::filesystem::file_size(t.path), 16u + 1 + 1 + 1);
  assoc_array b;
  assoc_init(&b, 0, 0, &h);
  f = t.open("rb");
  ASSERT_EQ(assoc_load(f, &b, 42), 0);
  std::fclose(f);
  EXPECT_EQ(std::memcmp(b.entries[0].data, d, 6), 0);
  assoc_free(&a);
  assoc_free(&b);
}

TEST(Assoc, HostileHeadersAreRefused) {
  TempFile t("hostile");
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 0, nullptr), 0);
  // count above capacity
  EXPECT_EQ(load_bytes(t, be({3, 2, 0, 0}), &a), -1);
  EXPECT_EQ(a.entries, nullptr);
  // negative count
  EXPECT_EQ(load_bytes(t, be({0x80000000u, 0x80000000u, 0, 0}), &a), -1);
  // a count the stream cannot hold
  EXPECT_EQ(load_bytes(t, be({0x7FFFFFF0u, 0x7FFFFFF0u, 0, 0}), &a), -1);
  // entries that need 1 + 16 bytes each, but the stream is short
  auto bytes = be({2, 2, 16, 0});
  bytes.push_back(1);
  bytes.push_back('a');
  EXPECT_EQ(load_bytes(t, bytes, &a), -1);
  assoc_free(&a);  // releases whatever was read
  // a huge capacity is only a hint
  ASSERT_EQ(assoc_init(&a, 0, 0, nullptr), 0);
  bytes = be({1, 0x7FFFFFFFu, 0, 0});
  bytes.push_back(1);
  bytes.push_back('k');
  ASSERT_EQ(load_bytes(t, bytes, &a), 0);
  EXPECT_EQ(a.count, 1);
  EXPECT_LE(a.capacity, 1 + 4096);
  EXPECT_STREQ(a.entries[0].key, "k");
  // truncated header
  EXPECT_EQ(load_bytes(t, {0, 0, 0}, &a), -1);
  EXPECT_EQ(a.count, 0);
  assoc_free(&a);
}

TEST(Assoc, KeyWithNewlineLoadsWhole) {
  TempFile t("newline");
  assoc_array a;
  ASSERT_EQ(assoc_init(&a, 0, 1, nullptr), 0);
  uint8_t v = 9;
  assoc_insert(&a, "a\nb", &v);
  FILE* f = t.open("wb");
  ASSERT_EQ(assoc_save(f, &a, 0), 0);
  std::fclose(f);
  assoc_array b;
  assoc_init(&b, 0, 0, nullptr);
  f = t.open("rb");
  ASSERT_EQ(assoc_load(f, &b, 0), 0);
  std::fclose(f);
  EXPECT_STREQ(b.entries[0].key, "a\nb");
  EXPECT_EQ(*static_cast<uint8_t*>(b.entries[0].data), 9);
  assoc_free(&a);
  assoc_free(&b);
}

namespace {
int g_allocs = 0;
void* count_malloc(size_t n) {
  ++g_allocs;
  return std::malloc(n);
}
void* count_realloc(void* p, size_t n) { return std::realloc(p, n); }
void count_free(void* p) { std::free(p); }
}  // namespace

TEST(Assoc, RegisteredAllocatorIsUsed) {
  assoc_register_mem(count_malloc, count_realloc, count_free);
  g_allocs = 0;
  assoc_array a;
  assoc_init(&a, 1, 4, nullptr);
  uint32_t v = 1;
  assoc_insert(&a, "k", &v);
  EXPECT_EQ(g_allocs, 3);  // slots, key, data
  assoc_free(&a);
  assoc_register_mem(nullptr, count_realloc, count_free);  // back to the defaults
  g_allocs = 0;
  assoc_init(&a, 1, 0, nullptr);
  assoc_free(&a);
  EXPECT_EQ(g_allocs, 0);
}
