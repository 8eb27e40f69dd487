#include "cimxml/text_reservation.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

struct RangeGuard {
  char* range;
  ~RangeGuard() { textReservationRelease(range); }
};

// Growth in steps that end inside a huge page, on one's end, one byte into the next and many
// pages on: the first bytes and the last usable byte of every step must all be there at the
// end.
TEST(TextReservationTest, GrowthKeepsWhatEveryStepWrote) {
  if (textReservationLimit() == 0) GTEST_SKIP() << "no reservations on this system";
  const size_t kMiB = size_t{1} << 20;
  const size_t steps[] = {4 * kMiB + 3, 8 * kMiB, 8 * kMiB + 1, 16 * kMiB + 5, 40 * kMiB};
  char* range = textReservationCreate(steps[0]);
  ASSERT_NE(range, nullptr);
  RangeGuard guard{range};
  memset(range, 'x', kMiB);
  size_t usable = steps[0];
  for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
    ASSERT_TRUE(textReservationGrow(range, usable, steps[i])) << i;
    usable = steps[i];
    range[usable - 1] = static_cast<char>('a' + i);
  }
  for (size_t i = 0; i < sizeof(steps) / sizeof(steps[0]); ++i) {
    EXPECT_EQ(range[steps[i] - 1], static_cast<char>('a' + i)) << i;
  }
  EXPECT_EQ(std::string(range, kMiB), std::string(kMiB, 'x'));
}

TEST(TextReservationTest, NothingBeyondTheLimitIsHandedOut) {
  if (textReservationLimit() == 0) GTEST_SKIP() << "no reservations on this system";
  const size_t limit = textReservationLimit();
  EXPECT_EQ(textReservationCreate(limit + 1), nullptr);
  char* range = textReservationCreate(1);
  ASSERT_NE(range, nullptr);
  RangeGuard guard{range};
  range[0] = 'x';
  EXPECT_FALSE(textReservationGrow(range, 1, limit + 1));
  EXPECT_EQ(range[0], 'x');
  textReservationRelease(nullptr);  // nothing to give back: no crash
}

}  // namespace
