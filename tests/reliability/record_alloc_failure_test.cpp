// The places where a failed allocation once left a record or a list wrong, each checked at
// every allocation it makes: a list never keeps a kind without its map, a record never loads
// with its fields cut short, and a written line never loses its key.
#include <gtest/gtest.h>

#include <memory>
#include <new>
#include <string>

#include "alloc_fault.h"
#include "kinds/disk.h"
#include "model/srm_resource_list.h"
#include "model/tuple_line.h"
#include "tuple/report_tuple.h"

namespace {

TEST(RecordAllocFailureTest, AListRefusingARecordOfANewKindKeepsNoEntryForIt) {
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    SrmResourceList list;
    SrmHeld<SrmDisk> disk(new SrmDisk(std::string("d1")));
    int added;
    bool failed;
    {
      ScopedAllocFault fault(n);
      added = list.addResource(disk.get());
      failed = AllocDisarm();
    }
    if (!failed) {
      EXPECT_EQ(1, added);
      break;
    }
    EXPECT_EQ(0, added);
    EXPECT_EQ(nullptr, list.getSrmResourceIdMap(SRM_DISK));
    EXPECT_EQ(0, list.getResourceCount());
    EXPECT_EQ(1, disk->getRefCount());
    EXPECT_EQ(1, list.addResource(disk.get()));  // and the list still works
    EXPECT_EQ(1, list.getResourceCount());
  }
}

TEST(RecordAllocFailureTest, ARecordThatRunsOutOfMemoryWhileReadingThrowsInsteadOfLoadingPart) {
  CSRMReportTuple tuple;
  for (const char* element : {"\"Type=Disk\"", "\"Id=d1\"", "\"Name=a-name-too-long-for-sso\"",
                              "\"LId=a-global-id-too-long-for-sso\"", "\"Sign=7\""}) {
    ASSERT_EQ(0u, tuple.addElement(std::string(element)));
  }
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    SrmHeld<SrmDisk> disk(new SrmDisk());
    int read = -1;
    bool threw = false;
    bool failed;
    {
      ScopedAllocFault fault(n);
      try {
        read = disk->deserialize(-1, &tuple);
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      failed = AllocDisarm();
    }
    if (!failed) {
      EXPECT_EQ(1, read);
      EXPECT_EQ("a-global-id-too-long-for-sso", disk->getLId());
      break;
    }
    // Either the whole record or a failure, never a record missing its later fields.
    EXPECT_TRUE(threw || read == 0 ||
                (disk->getLId() == "a-global-id-too-long-for-sso" && disk->getSign() == 7));
  }
}

TEST(RecordAllocFailureTest, ALineNeverLosesAKeyToAFailedAllocation) {
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    std::string buffer;
    bool threw = false;
    bool failed;
    {
      ScopedAllocFault fault(n);
      try {
        SrmTupleLine line(&buffer);
        line.addTextAlways(kKeySrmResourceDbVersion, "1.0");
      } catch (const std::bad_alloc&) {
        threw = true;
      }
      failed = AllocDisarm();
    }
    if (!threw) {
      EXPECT_EQ("\"SrmResourceDbVersion=1.0\",", buffer);
    }
    if (!failed) break;
  }
}

}  // namespace
