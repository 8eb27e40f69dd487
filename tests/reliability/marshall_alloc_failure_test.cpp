// A document written while allocations fail: whichever allocation fails, the marshaller must
// answer -1 rather than hand back a document with a part missing.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "alloc_fault.h"
#include "cimapi.h"
#include "cimxml/marshall.h"
#include "cimxml/sbuf.h"

namespace {

using nmspc_cim::CCIMInstance;
using nmspc_cim::CCIMList;

struct ListDeleter {
  void operator()(CCIMList* list) const { nmspc_cim::cim_freeInstanceList(list); }
};

// One instance with a blank key, whose "0" the marshaller allocates, and a plain property.
std::unique_ptr<CCIMList, ListDeleter> InstanceWithABlankKey() {
  std::unique_ptr<CCIMList, ListDeleter> list(nmspc_cim::cim_createInstanceList());
  CCIMInstance* instance = nmspc_cim::cim_createInstance("Tavrix_RM_Alias");
  nmspc_cim::cim_addProperty(
      instance, nmspc_cim::cim_createProperty("QDXIdentityAlias", nmspc_cim::CIM_STRING, "",
                                              nullptr, nmspc_cim::CIM_TRUE));
  nmspc_cim::cim_addProperty(
      instance, nmspc_cim::cim_createProperty("ElementName", nmspc_cim::CIM_STRING, "alias",
                                              nullptr, nmspc_cim::CIM_FALSE));
  return std::unique_ptr<CCIMList, ListDeleter>(
      nmspc_cim::cim_addInstance(list.release(), instance));
}

TEST(MarshallAllocFailureTest, EveryFailedAllocationFailsTheDocument) {
  std::string whole;
  {
    auto list = InstanceWithABlankKey();
    std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(1));
    ASSERT_EQ(0, marshallInstanceList(buffer.get(), list.get(), 0));
    whole = sbufGetString(buffer.get());
  }
  ASSERT_NE(std::string::npos, whole.find("<VALUE>0</VALUE>"));
  for (long n = 0;; ++n) {
    SCOPED_TRACE(n);
    auto list = InstanceWithABlankKey();
    // A buffer that grows on the first line, so that growth failures are swept too.
    std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(1));
    int result;
    bool failed;
    {
      ScopedAllocFault fault(n);
      result = marshallInstanceList(buffer.get(), list.get(), 0);
      failed = AllocDisarm();
    }
    if (!failed) {
      EXPECT_EQ(0, result);
      EXPECT_EQ(whole, sbufGetString(buffer.get()));
      break;
    }
    EXPECT_EQ(-1, result);
  }
}

// A growth step of a large text that cannot get its memory leaves the text as it was and
// marks the buffer.
TEST(MarshallAllocFailureTest, FailedLargeGrowthKeepsTheText) {
  std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(8u << 20));
  ASSERT_NE(buffer, nullptr);
  const std::string text((8u << 20) - 1, 'x');
  ASSERT_EQ(buffer.get(),
            sbufAppendN(buffer.get(), text.data(), static_cast<unsigned int>(text.size())));
  sbuf* grown;
  {
    ScopedAllocFault fault(0);
    grown = sbufAppendN(buffer.get(), "y", 1);
    EXPECT_TRUE(AllocFailedYet());
  }
  EXPECT_EQ(nullptr, grown);
  EXPECT_EQ(8u << 20, sbufGetCapacity(buffer.get()));
  EXPECT_EQ(text, sbufGetString(buffer.get()));
  EXPECT_EQ(1, sbufHadTrouble(buffer.get()));
}

}  // namespace
