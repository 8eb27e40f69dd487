// Tests of the growable string buffer: growth steps, appending with NUL bytes and from the
// buffer itself, formatting, copies, and null arguments.
#include "cimxml/sbuf.h"

#include <gtest/gtest.h>

#include <wchar.h>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>

namespace {

// The buffer's text including NUL bytes inside it.
std::string contents(const sbuf* b) {
  return std::string(sbufGetString(b), sbufGetSize(b));
}

// Frees a buffer at the end of a test.
struct BufferGuard {
  sbuf* b;
  ~BufferGuard() { sbufDestroy(b); }
};

TEST(SbufTest, CreateHoldsTheEmptyText) {
  EXPECT_EQ(sbufCreate(0), nullptr);
  sbuf* b = sbufCreate(8192);
  BufferGuard guard{b};
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(sbufGetCapacity(b), 8192u);
  EXPECT_EQ(sbufGetSize(b), 0u);
  EXPECT_STREQ(sbufGetString(b), "");
}

TEST(SbufTest, CapacityOneGrowsOnFirstAppend) {
  sbuf* b = sbufCreate(1);
  BufferGuard guard{b};
  ASSERT_NE(b, nullptr);
  EXPECT_EQ(sbufAppend(b, "ab"), b);
  EXPECT_EQ(sbufGetCapacity(b), 4u);
  EXPECT_EQ(sbufGetSize(b), 2u);
  EXPECT_STREQ(sbufGetString(b), "ab");
}

TEST(SbufTest, FillsTheRoomBeforeGrowing) {
  sbuf* b = sbufCreate(8);
  BufferGuard guard{b};
  EXPECT_EQ(sbufAppend(b, "abc"), b);
  EXPECT_EQ(sbufAppend(b, "defg"), b);  // exactly capacity - 1 - size
  EXPECT_EQ(sbufGetCapacity(b), 8u);
  EXPECT_EQ(sbufGetSize(b), 7u);
  EXPECT_EQ(sbufAppend(b, "h"), b);
  EXPECT_EQ(sbufGetCapacity(b), 18u);
  EXPECT_STREQ(sbufGetString(b), "abcdefgh");
}

TEST(SbufTest, LongAppendGrowsStepByStep) {
  sbuf* b = sbufCreate(2);
  BufferGuard guard{b};
  std::string text(100, 'x');
  EXPECT_EQ(sbufAppend(b, text.c_str()), b);
  EXPECT_EQ(sbufGetCapacity(b), 126u);  // 2, 6, 14, 30, 62, 126
  EXPECT_EQ(contents(b), text);
}

TEST(SbufTest, PrintfGrowsTwiceThenAppendsOnce) {
  sbuf* b = sbufCreate(8192);
  BufferGuard guard{b};
  std::string big(20000, 'q');
  EXPECT_EQ(sbufPrintf(b, "<%s>", big.c_str()), b);
  EXPECT_EQ(sbufGetCapacity(b), 32774u);
  EXPECT_EQ(sbufGetSize(b), 20002u);
  EXPECT_EQ(contents(b), "<" + big + ">");
  EXPECT_EQ(sbufPrintf(b, "%d-%s", 42, "z"), b);
  EXPECT_EQ(contents(b), "<" + big + ">42-z");
}

TEST(SbufTest, GrowthRuleAndItsLimit) {
  struct Case {
    unsigned int capacity;
    int ok;
    unsigned int next;
  };
  const Case cases[] = {
      {0, 1, 2},
      {1, 1, 4},
      {8192, 1, 16386},
      {16386, 1, 32774},
      {32774, 1, 65550},
      {UINT_MAX / 2 - 1, 1, UINT_MAX - 1},
      {UINT_MAX / 2, 0, 0},
      {UINT_MAX - 1, 0, 0},
      {UINT_MAX, 0, 0},
  };
  for (const Case& c : cases) {
    unsigned int next = 0;
    EXPECT_EQ(sbufNextCapacity(c.capacity, &next), c.ok) << c.capacity;
    if (c.ok) {
      EXPECT_EQ(next, c.next) << c.capacity;
    }
  }
}

TEST(SbufTest, ReserveGrowsByTheGrowthStepsAndKeepsTheText) {
  struct Case {
    unsigned int capacity;
    const char* text;  // appended first
    unsigned int n;
    bool ok;
    unsigned int capacityAfter;
  };
  const Case cases[] = {
      {8, "abc", 4, true, 8},         // exactly the room left
      {8, "abc", 5, true, 18},        // one step
      {2, "a", 100, true, 126},       // 2 -> 6 -> 14 -> 30 -> 62 -> 126
      {8, "", 0, true, 8},            // nothing asked
      {8, "abc", UINT_MAX, false, 0}  // more than any capacity: fails, text kept
  };
  for (const Case& c : cases) {
    sbuf* b = sbufCreate(c.capacity);
    BufferGuard guard{b};
    ASSERT_EQ(sbufAppend(b, c.text), b);
    EXPECT_EQ(sbufReserve(b, c.n) == b, c.ok) << c.n;
    if (c.ok) {
      EXPECT_EQ(sbufGetCapacity(b), c.capacityAfter) << c.n;
    }
    EXPECT_GE(sbufGetCapacity(b) - sbufGetSize(b) - 1, c.ok ? c.n : 0u) << c.n;
    EXPECT_EQ(sbufHadTrouble(b), c.ok ? 0 : 1) << c.n;
    EXPECT_STREQ(sbufGetString(b), c.text) << c.n;
  }
  EXPECT_EQ(sbufReserve(nullptr, 1), nullptr);
}

TEST(SbufTest, NulInsideAppendedBytesGivesTheSameTextAtAnyCapacity) {
  const char source[] = {'a', 'b', '\0', 'c', 'd'};
  const std::string expected("ab\0\0\0", 5);
  for (unsigned int capacity = 1; capacity <= 8; ++capacity) {
    sbuf* b = sbufCreate(capacity);
    BufferGuard guard{b};
    EXPECT_EQ(sbufAppendN(b, source, 5), b);
    EXPECT_EQ(contents(b), expected) << "capacity " << capacity;
    EXPECT_EQ(sbufGetString(b)[5], '\0');
  }
}

TEST(SbufTest, AppendNZeroAndNullText) {
  sbuf* b = sbufCreate(4);
  BufferGuard guard{b};
  EXPECT_EQ(sbufAppendN(b, "xyz", 0), b);
  EXPECT_EQ(sbufGetSize(b), 0u);
  EXPECT_EQ(sbufAppendN(b, nullptr, 3), nullptr);
  EXPECT_EQ(sbufAppend(b, nullptr), nullptr);
  const char* noFormat = nullptr;
  EXPECT_EQ(sbufPrintf(b, noFormat, 1), nullptr);
  EXPECT_EQ(sbufGetSize(b), 0u);
}

TEST(SbufTest, AppendsItsOwnTextAcrossGrowth) {
  sbuf* b = sbufCreate(4);
  BufferGuard guard{b};
  sbufAppend(b, "abc");
  EXPECT_EQ(sbufAppend(b, sbufGetString(b)), b);
  EXPECT_EQ(contents(b), "abcabc");
  EXPECT_EQ(sbufAppendN(b, sbufGetString(b) + 1, 4), b);
  EXPECT_EQ(contents(b), "abcabcbcab");
}

// Past a few megabytes the text moves once into a block of another kind, which later steps
// grow in place: the text, NUL bytes and an append of the buffer's own text must come through
// the move and those steps as they do below it.
TEST(SbufTest, LargeGrowthStepsKeepTheText) {
  sbuf* b = sbufCreate(8192);
  BufferGuard guard{b};
  std::string expected;
  for (int i = 0; expected.size() < (3u << 20); ++i) expected += "line " + std::to_string(i) + "\n";
  ASSERT_EQ(sbufAppendN(b, expected.data(), static_cast<unsigned int>(expected.size())), b);
  ASSERT_EQ(contents(b), expected);
  const unsigned int before = sbufGetCapacity(b);
  ASSERT_LT(before, 2 * expected.size());  // the next appends cross the larger steps
  // The buffer's whole text appended to itself, twice, then a NUL inside appended bytes.
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(sbufAppendN(b, sbufGetString(b), sbufGetSize(b)), b) << round;
    expected += expected;
  }
  ASSERT_EQ(sbufAppendN(b, "a\0b", 3), b);
  expected += std::string("a\0\0", 3);
  EXPECT_GT(sbufGetCapacity(b), 4 * before);
  EXPECT_EQ(contents(b), expected);
  EXPECT_EQ(sbufGetString(b)[sbufGetSize(b)], '\0');
  EXPECT_EQ(sbufHadTrouble(b), 0);
}

TEST(SbufTest, FormatterErrorLeavesTheTextUnchanged) {
  sbuf* b = sbufCreate(16);
  BufferGuard guard{b};
  sbufAppend(b, "keep");
  // In the C locale a wide character beyond ASCII cannot be converted.
  const wchar_t wide[] = {static_cast<wchar_t>(0x4e2d), 0};
  EXPECT_EQ(sbufPrintf(b, "%ls", wide), nullptr);
  EXPECT_EQ(contents(b), "keep");
  EXPECT_EQ(sbufGetCapacity(b), 16u);
}

TEST(SbufTest, ClearKeepsTheCapacity) {
  sbuf* b = sbufCreate(4);
  BufferGuard guard{b};
  sbufAppend(b, "abcdefgh");
  unsigned int capacity = sbufGetCapacity(b);
  EXPECT_EQ(sbufClear(b), b);
  EXPECT_EQ(sbufGetSize(b), 0u);
  EXPECT_STREQ(sbufGetString(b), "");
  EXPECT_EQ(sbufGetCapacity(b), capacity);
  EXPECT_EQ(sbufAppend(b, "z"), b);
  EXPECT_STREQ(sbufGetString(b), "z");
}

TEST(SbufTest, CopyOutlivesTheBuffer) {
  sbuf* b = sbufCreate(2);
  sbufAppendN(b, "a\0b", 3);
  char* copy = sbufGetStringCopy(b);
  sbufDestroy(b);
  ASSERT_NE(copy, nullptr);
  EXPECT_EQ(std::string(copy, 4), std::string("a\0\0\0", 4));
  free(copy);
}

TEST(SbufTest, NullBufferIsHarmlessEverywhere) {
  struct Case {
    const char* call;
    std::function<bool()> harmless;
  };
  const Case cases[] = {
      {"sbufAppendN", [] { return sbufAppendN(nullptr, "a", 1) == nullptr; }},
      {"sbufAppend", [] { return sbufAppend(nullptr, "a") == nullptr; }},
      {"sbufGetString", [] { return sbufGetString(nullptr) == nullptr; }},
      {"sbufGetStringCopy", [] { return sbufGetStringCopy(nullptr) == nullptr; }},
      {"sbufGetSize", [] { return sbufGetSize(nullptr) == 0; }},
      {"sbufGetCapacity", [] { return sbufGetCapacity(nullptr) == 0; }},
      {"sbufClear", [] { return sbufClear(nullptr) == nullptr; }},
      {"sbufPrintf", [] { return sbufPrintf(nullptr, "%d", 1) == nullptr; }},
      {"sbufDestroy", [] { return sbufDestroy(nullptr), true; }},
  };
  for (const Case& c : cases) EXPECT_TRUE(c.harmless()) << c.call;
}

}  // namespace
