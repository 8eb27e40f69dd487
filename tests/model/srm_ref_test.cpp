#include "model/srm_ref.h"

#include <gtest/gtest.h>

#include "test_record.h"

namespace {

TEST(SrmRefTest, CountsReferencesAndDeletesOnTheLast) {
  int destroyed = 0;
  TestRecord* r = new TestRecord(SRM_DISK, "d1", [&] { ++destroyed; });
  EXPECT_EQ(1, r->getRefCount());
  EXPECT_EQ(2, r->AddRef());
  EXPECT_EQ(3, r->AddRef());
  r->Release();
  r->Release();
  EXPECT_EQ(1, r->getRefCount());
  EXPECT_EQ(0, destroyed);
  r->Release();
  EXPECT_EQ(1, destroyed);
}

// Deleting through the base must reach the derived destructor.
TEST(SrmRefTest, ReleaseThroughTheBaseDestroysTheWholeObject) {
  int destroyed = 0;
  SrmRef* base = new TestRecord(SRM_VOLUME, "v1", [&] { ++destroyed; });
  base->Release();
  EXPECT_EQ(1, destroyed);
}

}  // namespace
