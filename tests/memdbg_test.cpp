// Tagged allocator: live-byte accounting and the fatal paths with their exact messages.
#include "base/memdbg.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

void toStderr(const char* text) { std::fprintf(stderr, "%s", text); }
void* failingMalloc(size_t) { return nullptr; }
void* failingRealloc(void*, size_t) { return nullptr; }

TEST(MemDbg, TotalsFollowEveryOperation) {
  const int base = get_current_memory();
  char* a = static_cast<char*>(mymalloc(10, "test", 1));
  EXPECT_EQ(get_current_memory(), base + 10);

  auto* b = static_cast<unsigned char*>(mycalloc(3, 4, "test", 2));
  EXPECT_EQ(get_current_memory(), base + 22);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(b[i], 0);

  std::memcpy(a, "123456789", 10);
  a = static_cast<char*>(myrealloc(a, 100, "test", 3));
  EXPECT_EQ(get_current_memory(), base + 112);
  EXPECT_STREQ(a, "123456789");
  a = static_cast<char*>(myrealloc(a, 5, "test", 4));
  EXPECT_EQ(get_current_memory(), base + 17);

  char* s = mystrdup("abc", "test", 5);
  EXPECT_STREQ(s, "abc");
  EXPECT_EQ(get_current_memory(), base + 21);

  myfree(a, "test", 6);
  myfree(b, "test", 7);
  myfree(s, "test", 8);
  EXPECT_EQ(get_current_memory(), base);
}

TEST(MemDbg, ZeroSizeAndNullReallocAreLiveBlocks) {
  const int base = get_current_memory();
  void* z = mymalloc(0, "test", 1);
  ASSERT_NE(z, nullptr);
  void* r = myrealloc(nullptr, 8, "test", 2);  // null acts as a fresh allocation
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(get_current_memory(), base + 8);
  myfree(z, "test", 3);
  myfree(r, "test", 4);
  EXPECT_EQ(get_current_memory(), base);
  EXPECT_EQ(get_current_small_blocks(), 0);
  EXPECT_EQ(get_total_small_blocks(), 0);
}

TEST(MemDbg, UnderlyingAllocatorIsReplaceable) {
  static int calls = 0;
  calls = 0;
  memoryRegisterAlloc([](size_t n) { ++calls; return std::malloc(n); },
                      [](void* p, size_t n) { ++calls; return std::realloc(p, n); },
                      [](void* p) { ++calls; std::free(p); });
  void* p = mymalloc(4, "test", 1);
  p = myrealloc(p, 8, "test", 2);
  myfree(p, "test", 3);
  memoryRegisterAlloc(nullptr, nullptr, nullptr);
  EXPECT_EQ(calls, 3);
}

using MemDbgDeathTest = ::testing::Test;

TEST_F(MemDbgDeathTest, FailedAllocationsEndTheProcess) {
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        memoryRegisterAlloc(failingMalloc, failingRealloc, std::free);
        mymalloc(10, "test", 5);
      },
      ::testing::ExitedWithCode(1), "^malloc: Error allocating block of size 10 \\(a\\), test 5\n$");
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        memoryRegisterAlloc(failingMalloc, failingRealloc, std::free);
        mystrdup("hello", "config", 77);
      },
      ::testing::ExitedWithCode(1), "^strdup: Error allocating block of size 6 \\(6\\), config 77\n$");
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        void* p = mymalloc(4, "test", 1);
        memoryRegisterAlloc(failingMalloc, failingRealloc, std::free);
        myrealloc(p, 255, "test", 9);
      },
      ::testing::ExitedWithCode(1), "^realloc: Error allocating block of size 255 \\(ff\\), test 9\n$");
}

TEST_F(MemDbgDeathTest, CallocProductBeyond32BitsIsAFailure) {
  // 0x10000 * 0x10001 wraps to 0x10000 in 32 bits: it must not yield a small block.
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        mycalloc(0x10000, 0x10001, "test", 12);
      },
      ::testing::ExitedWithCode(1), "^calloc: Error allocating block of size 4295032832 \\(100010000\\), test 12\n$");
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        mymalloc(static_cast<size_t>(INT32_MAX), "test", 13);
      },
      ::testing::ExitedWithCode(1), "^malloc: Error allocating block of size 2147483647 \\(7fffffff\\), test 13\n$");
}

TEST_F(MemDbgDeathTest, NullFreeAndNegativeTotalEndTheProcess) {
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        myfree(nullptr, "test", 42);
      },
      ::testing::ExitedWithCode(1), "^free: free of a null ptr, test 42\n$");
  EXPECT_EXIT(
      {
        memoryRegisterDebug(toStderr);
        const int base = get_current_memory();
        char* p = static_cast<char*>(mymalloc(4, "test", 1));
        int32_t forged = base + 1004;  // the header claims more than was ever counted
        std::memcpy(p - 4, &forged, sizeof forged);
        myfree(p, "test", 2);
      },
      ::testing::ExitedWithCode(1), "^Total went negative!!! \\(Total: -1000\\)\n$");
}

TEST_F(MemDbgDeathTest, DroppedMessagesStillEndTheProcess) {
  EXPECT_EXIT(
      {
        memoryRegisterDebug(nullptr);
        myfree(nullptr, "test", 1);
      },
      ::testing::ExitedWithCode(1), "^$");
}

}  // namespace
