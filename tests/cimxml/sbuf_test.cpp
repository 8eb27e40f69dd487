// The growable string buffer: growth steps and their limit, NUL bytes, appending its own text
// across growth, formatting errors, null arguments, and the large steps that grow a reserved
// address range in place.
#include "cimxml/sbuf.h"

#include <wchar.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "cimxml/text_reservation.h"

namespace {

using Buffer = std::unique_ptr<sbuf, SbufDeleter>;

std::string Contents(const Buffer& b) {
  return std::string(sbufGetString(b.get()), sbufGetSize(b.get()));
}

TEST(SbufTest, GrowthStepsAndTheirLimit) {
  const unsigned int cases[][3] = {{0, 1, 2},
                                   {1, 1, 4},
                                   {8192, 1, 16386},
                                   {UINT_MAX / 2 - 1, 1, UINT_MAX - 1},
                                   {UINT_MAX / 2, 0, 0},
                                   {UINT_MAX, 0, 0}};
  for (const auto& c : cases) {
    unsigned int next = 0;
    EXPECT_EQ(static_cast<int>(c[1]), sbufNextCapacity(c[0], &next)) << c[0];
    EXPECT_EQ(c[2], next) << c[0];
  }
  EXPECT_EQ(nullptr, sbufCreate(0));
  // capacity, text appended first, room asked for, capacity after (0: the reserve fails)
  const unsigned int reserves[][4] = {
      {8, 3, 4, 8}, {8, 3, 5, 18}, {2, 1, 100, 126}, {8, 0, 0, 8}, {8, 3, UINT_MAX, 0}};
  for (const auto& c : reserves) {
    Buffer b(sbufCreate(c[0]));
    ASSERT_EQ(b.get(), sbufAppend(b.get(), std::string(c[1], 'a').c_str()));
    EXPECT_EQ(c[3] != 0, sbufReserve(b.get(), c[2]) == b.get()) << c[2];
    EXPECT_TRUE(c[3] == 0 || c[3] == sbufGetCapacity(b.get())) << c[2];
    EXPECT_EQ(c[3] == 0 ? 1 : 0, sbufHadTrouble(b.get())) << c[2];
    EXPECT_EQ(std::string(c[1], 'a'), Contents(b)) << c[2];
  }
  Buffer b(sbufCreate(8));
  ASSERT_EQ(b.get(), sbufAppend(b.get(), "abcdefg"));  // fills the room before growing
  EXPECT_EQ(8u, sbufGetCapacity(b.get()));
  ASSERT_EQ(b.get(), sbufAppend(b.get(), "h"));
  EXPECT_EQ(18u, sbufGetCapacity(b.get()));
  const std::string big(20000, 'q');
  EXPECT_EQ(b.get(), sbufPrintf(b.get(), "<%s>%d", big.c_str(), 42));
  EXPECT_EQ("abcdefgh<" + big + ">42", Contents(b));
  EXPECT_EQ(b.get(), sbufClear(b.get()));
  EXPECT_EQ(20478u, sbufGetCapacity(b.get()));
  EXPECT_STREQ("", sbufGetString(b.get()));
}

TEST(SbufTest, NulBytesOwnTextAndFormatterErrors) {
  for (unsigned int capacity = 1; capacity <= 8; ++capacity) {
    Buffer b(sbufCreate(capacity));
    EXPECT_EQ(b.get(), sbufAppendN(b.get(), "ab\0cd", 5));  // strncpy: NUL bytes after a NUL
    EXPECT_EQ(std::string("ab\0\0\0", 5), Contents(b)) << capacity;
    EXPECT_EQ('\0', sbufGetString(b.get())[5]);
  }
  Buffer b(sbufCreate(4));
  sbufAppend(b.get(), "abc");
  EXPECT_EQ(b.get(), sbufAppend(b.get(), sbufGetString(b.get())));  // grows under its source
  EXPECT_EQ(b.get(), sbufAppendN(b.get(), sbufGetString(b.get()) + 1, 4));
  EXPECT_EQ(b.get(), sbufAppendN(b.get(), "xyz", 0));
  EXPECT_EQ("abcabcbcab", Contents(b));
  char* copy = sbufGetStringCopy(b.get());
  EXPECT_STREQ("abcabcbcab", copy);
  free(copy);
  const unsigned int capacity = sbufGetCapacity(b.get());
  const wchar_t wide[] = {static_cast<wchar_t>(0x4e2d), 0};  // not convertible in the C locale
  EXPECT_EQ(nullptr, sbufPrintf(b.get(), "%ls", wide));
  EXPECT_EQ("abcabcbcab", Contents(b));
  EXPECT_EQ(capacity, sbufGetCapacity(b.get()));
  const char* no_text = nullptr;
  EXPECT_EQ(nullptr, sbufAppendN(b.get(), no_text, 3));
  EXPECT_EQ(nullptr, sbufAppend(b.get(), no_text));
  EXPECT_EQ(nullptr, sbufPrintf(b.get(), no_text, 1));
  EXPECT_EQ(0, sbufHadTrouble(b.get()));
  sbufSetTrouble(b.get());
  EXPECT_EQ(1, sbufHadTrouble(b.get()));
  EXPECT_EQ(nullptr, sbufAppendN(nullptr, "a", 1));
  EXPECT_EQ(nullptr, sbufAppend(nullptr, "a"));
  EXPECT_EQ(nullptr, sbufPrintf(nullptr, "%d", 1));
  EXPECT_EQ(nullptr, sbufReserve(nullptr, 1));
  EXPECT_EQ(nullptr, sbufClear(nullptr));
  EXPECT_EQ(nullptr, sbufGetString(nullptr));
  EXPECT_EQ(nullptr, sbufGetStringCopy(nullptr));
  EXPECT_EQ(0u, sbufGetSize(nullptr) + sbufGetCapacity(nullptr));
  EXPECT_EQ(0, sbufHadTrouble(nullptr));
  sbufSetTrouble(nullptr);
  sbufDestroy(nullptr);
}

// Past a few megabytes the text moves once into a reserved range, which later steps grow in
// place: the text, NUL bytes and an append of the buffer's own text must come through as they
// do below it.
TEST(SbufTest, LargeGrowthStepsKeepTheText) {
  Buffer b(sbufCreate(8192));
  std::string expected;
  for (int i = 0; expected.size() < (3u << 20); ++i) expected += "line " + std::to_string(i) + "\n";
  ASSERT_EQ(b.get(), sbufAppendN(b.get(), expected.data(), expected.size()));
  const unsigned int before = sbufGetCapacity(b.get());
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(b.get(), sbufAppendN(b.get(), sbufGetString(b.get()), sbufGetSize(b.get())));
    expected += expected;
  }
  ASSERT_EQ(b.get(), sbufAppendN(b.get(), "a\0b", 3));
  expected += std::string("a\0\0", 3);
  EXPECT_GT(sbufGetCapacity(b.get()), 4 * before);
  EXPECT_EQ(textReservationLimit() != 0, b->reserved != 0);  // moved where the system allows
  EXPECT_EQ(expected, Contents(b));
  EXPECT_EQ('\0', sbufGetString(b.get())[sbufGetSize(b.get())]);
  EXPECT_EQ(0, sbufHadTrouble(b.get()));
}

TEST(TextReservationTest, GrowthKeepsWhatEveryStepWroteAndStopsAtTheLimit) {
  const size_t limit = textReservationLimit();
  if (limit == 0) GTEST_SKIP() << "no reservations on this system";
  const size_t kMiB = size_t{1} << 20;
  const size_t steps[] = {4 * kMiB + 3, 8 * kMiB, 8 * kMiB + 1, 16 * kMiB + 5, 40 * kMiB};
  EXPECT_EQ(nullptr, textReservationCreate(limit + 1));
  char* range = textReservationCreate(steps[0]);
  ASSERT_NE(nullptr, range);
  range[0] = 'x';
  for (size_t i = 0; i < 5; ++i) {
    ASSERT_TRUE(textReservationGrow(range, i ? steps[i - 1] : steps[0], steps[i])) << i;
    range[steps[i] - 1] = static_cast<char>('a' + i);
  }
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(static_cast<char>('a' + i), range[steps[i] - 1]);
  EXPECT_FALSE(textReservationGrow(range, steps[4], limit + 1));
  EXPECT_EQ('x', range[0]);
  textReservationRelease(range);
  textReservationRelease(nullptr);
  // A buffer gives its range back: a hundred of them leave no mapping behind.
  auto mappings = [] {
    std::ifstream maps("/proc/self/maps");
    return std::count(std::istreambuf_iterator<char>(maps), {}, '\n');
  };
  const auto before = mappings();
  for (int i = 0; i < 100; ++i) ASSERT_EQ(1, Buffer(sbufCreate(4u << 20))->reserved) << i;
  EXPECT_LT(mappings(), before + 50);
}

}  // namespace
