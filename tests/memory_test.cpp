// Guarded allocator: fill pattern, guard checks reported through a function debug channel,
// counters, realloc paths and entry-point registration.
#include "vrk/memory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "vrk/debug.h"

namespace {

std::string captured;
int capture(const char* text) {
  captured += text;
  return 0;
}

class GuardedAllocator : public ::testing::Test {
 protected:
  void SetUp() override {
    captured.clear();
    debug_register_func(capture);
  }
  void TearDown() override { debug_register_func(nullptr); }
};

TEST_F(GuardedAllocator, ZeroSizeGivesNullAndCountsNothing) {
  mem_stats before = mem_get_stats();
  EXPECT_EQ(mem_malloc(0), nullptr);
  mem_stats after = mem_get_stats();
  EXPECT_EQ(after.num_blocks, before.num_blocks);
  EXPECT_EQ(after.mem_allocated, before.mem_allocated);
}

TEST_F(GuardedAllocator, FreshBlockIsFilledAndCounted) {
  mem_stats before = mem_get_stats();
  auto* p = static_cast<unsigned char*>(mem_malloc(10));
  ASSERT_NE(p, nullptr);
  for (int i = 0; i < 10; ++i) EXPECT_EQ(p[i], 0xCC) << i;
  mem_stats during = mem_get_stats();
  EXPECT_EQ(during.mem_allocated, before.mem_allocated + 22);
  EXPECT_EQ(during.num_blocks, before.num_blocks + 1);
  EXPECT_GE(during.max_blocks, during.num_blocks);
  EXPECT_GE(during.max_allocated, during.mem_allocated);
  mem_free(p);
  mem_stats after = mem_get_stats();
  EXPECT_EQ(after.num_blocks, before.num_blocks);
  EXPECT_EQ(after.mem_allocated, before.mem_allocated);
  EXPECT_EQ(captured, "");
}

TEST_F(GuardedAllocator, StompedGuardsAreReportedNotFatal) {
  auto* p = static_cast<unsigned char*>(mem_malloc(10));
  p[10] = 0;  // one past the end: the footer guard
  mem_free(p);
  EXPECT_EQ(captured, "Memory footer stomped.\n");

  captured.clear();
  mem_stats before = mem_get_stats();
  p = static_cast<unsigned char*>(mem_malloc(10));
  p[-1] = 0;  // the header guard
  EXPECT_EQ(mem_check_block(p), 0);
  EXPECT_EQ(captured, "Memory header stomped.\n");
  captured.clear();
  mem_free(p);
  EXPECT_EQ(captured, "Memory header stomped.\n");
  EXPECT_EQ(mem_get_stats().mem_allocated, before.mem_allocated);
}

TEST_F(GuardedAllocator, ReallocKeepsDataAndCounts) {
  mem_stats before = mem_get_stats();
  auto* p = static_cast<char*>(mem_realloc(nullptr, 4));  // null: a new block
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(mem_get_stats().num_blocks, before.num_blocks + 1);
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(mem_realloc(p, 100));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "abc");
  EXPECT_EQ(mem_get_stats().mem_allocated, before.mem_allocated + 112);
  EXPECT_EQ(mem_get_stats().num_blocks, before.num_blocks + 1);
  EXPECT_EQ(mem_check_block(p), 1);

  // Growth that cannot be served: reported, null, the old block untouched and still counted.
  char* same = static_cast<char*>(mem_realloc(p, UINT32_MAX));
  EXPECT_EQ(same, nullptr);
  EXPECT_EQ(captured, "(memory,197): Realloc failure.\n");
  EXPECT_STREQ(p, "abc");
  EXPECT_EQ(mem_get_stats().mem_allocated, before.mem_allocated + 112);

  EXPECT_EQ(mem_realloc(p, 0), nullptr);  // size 0 releases
  EXPECT_EQ(mem_get_stats().num_blocks, before.num_blocks);
  EXPECT_EQ(mem_get_stats().mem_allocated, before.mem_allocated);
}

TEST_F(GuardedAllocator, StrdupAndCheckReport) {
  EXPECT_EQ(mem_strdup(nullptr), nullptr);
  mem_stats before = mem_get_stats();
  char* e = mem_strdup("");
  ASSERT_NE(e, nullptr);
  EXPECT_STREQ(e, "");
  EXPECT_EQ(mem_get_stats().mem_allocated, before.mem_allocated + 14);  // two bytes for ""
  char* s = mem_strdup("guard");
  EXPECT_STREQ(s, "guard");

  mem_check();
  mem_stats now = mem_get_stats();
  char expected[200];
  std::snprintf(expected, sizeof expected,
                "Current memory allocated: %6d blocks, %9u bytes total\n"
                "Max memory allocated:     %6d blocks, %9u bytes total\n",
                now.num_blocks, now.mem_allocated, now.max_blocks, now.max_allocated);
  EXPECT_EQ(captured, expected);
  mem_free(e);
  mem_free(s);
}

int customCalls = 0;
void* customMalloc(size_t n) { ++customCalls; return std::malloc(n); }
void* customRealloc(void* p, size_t n) { ++customCalls; return std::realloc(p, n); }
void customFree(void* p) { ++customCalls; std::free(p); }

TEST_F(GuardedAllocator, EntryPointsReplaceableUntilLocked) {
  customCalls = 0;
  mem_register_func(customMalloc, customRealloc, customFree);
  void* p = mem_malloc(8);
  mem_free(p);
  EXPECT_EQ(customCalls, 2);
  mem_check();  // not the guarded allocator: silent
  EXPECT_EQ(captured, "");

  mem_register_func(nullptr, nullptr, nullptr);
  VRK_mem_lock(1);
  mem_register_func(customMalloc, customRealloc, customFree);  // ignored while locked
  p = mem_malloc(8);
  mem_free(p);
  VRK_mem_lock(0);
  EXPECT_EQ(customCalls, 2);
}

}  // namespace
