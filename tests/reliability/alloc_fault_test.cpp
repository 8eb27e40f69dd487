// The allocation-failure switch itself: both arming modes, the nothrow forms, the wrapped
// malloc family and the pause.
#include "alloc_fault.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <new>

namespace {

// Allocations pass through here, so the compiler cannot leave any of them out.
void* volatile g_sink = nullptr;

bool NewThrows() {
  try {
    int* p = new int(3);
    g_sink = p;
    delete p;
    return false;
  } catch (const std::bad_alloc&) {
    return true;
  }
}

TEST(AllocFaultTest, FailAfterFailsFromTheNthAllocationOnUntilDisarmed) {
  AllocFailAfter(1);
  std::unique_ptr<int> first(new (std::nothrow) int(1));
  int* second = new (std::nothrow) int(2);
  bool threw = NewThrows();
  void* block = std::malloc(8);
  g_sink = block;
  EXPECT_TRUE(AllocDisarm());
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, second);
  EXPECT_TRUE(threw);
  EXPECT_EQ(nullptr, block);
  EXPECT_FALSE(AllocDisarm());
  EXPECT_FALSE(NewThrows());
}

TEST(AllocFaultTest, FailNthFailsOnlyTheNthAllocation) {
  AllocFailNth(2);
  void* a = std::malloc(4);
  g_sink = a;
  void* b = std::calloc(2, 4);
  g_sink = b;
  EXPECT_FALSE(AllocFailedYet());
  void* c = std::realloc(a, 64);  // the third: fails and leaves a alone
  g_sink = c;
  EXPECT_TRUE(AllocFailedYet());
  bool threw = NewThrows();
  EXPECT_TRUE(AllocDisarm());
  EXPECT_NE(nullptr, a);
  EXPECT_NE(nullptr, b);
  EXPECT_EQ(nullptr, c);
  EXPECT_FALSE(threw);
  std::free(c != nullptr ? c : a);
  std::free(b);
}

TEST(AllocFaultTest, CountsEveryAllocationOnceAndNonePaused) {
  long before = AllocCount();
  EXPECT_FALSE(NewThrows());
  g_sink = std::malloc(1);
  std::free(g_sink);
  EXPECT_EQ(before + 2, AllocCount());
  AllocFailAfter(0);
  {
    ScopedAllocPause pause;
    EXPECT_FALSE(NewThrows());
  }
  EXPECT_EQ(before + 2, AllocCount());
  EXPECT_TRUE(NewThrows());
  EXPECT_TRUE(AllocDisarm());
}

}  // namespace
