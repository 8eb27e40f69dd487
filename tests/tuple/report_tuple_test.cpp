#include "tuple/report_tuple.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "tuple/result_codes.h"

namespace {

using Elements = std::vector<std::string>;

// Reads the remaining elements through getNextElement.
Elements ReadRest(CSRMReportTuple* tuple) {
  Elements out;
  std::string element;
  while (tuple->getNextElement(&element) == CSRM_OK) out.push_back(element);
  return out;
}

CSRMReportTuple MakeTuple(const Elements& elements) {
  CSRMReportTuple tuple;
  for (const std::string& e : elements) EXPECT_EQ(CSRM_OK, tuple.addElement(e));
  return tuple;
}

TEST(ReportTupleTest, EmptyTupleEndsAtOnceAndLeavesOutputAlone) {
  CSRMReportTuple tuple;
  std::string element = "keep";
  EXPECT_EQ(0u, tuple.getElementCount());
  EXPECT_EQ(CSRM_END_OF_DATA, tuple.getNextElement(&element));
  EXPECT_EQ("keep", element);
}

TEST(ReportTupleTest, ElementsComeBackInOrderThenEndOfData) {
  CSRMReportTuple tuple = MakeTuple({"\"A=1\"", "", "\"B=2\""});
  EXPECT_EQ((Elements{"\"A=1\"", "", "\"B=2\""}), ReadRest(&tuple));
  std::string element = "keep";
  EXPECT_EQ(CSRM_END_OF_DATA, tuple.getNextElement(&element));
  EXPECT_EQ("keep", element);
}

TEST(ReportTupleTest, AddElementRestartsTheWalkAtTheFirstElement) {
  CSRMReportTuple tuple = MakeTuple({"a", "b"});
  std::string element;
  ASSERT_EQ(CSRM_OK, tuple.getNextElement(&element));
  ASSERT_EQ(CSRM_OK, tuple.getNextElement(&element));
  tuple.addElement("c");
  EXPECT_EQ((Elements{"a", "b", "c"}), ReadRest(&tuple));
}

TEST(ReportTupleTest, ResetNextRewindsAndGetAllKeepsThePosition) {
  CSRMReportTuple tuple = MakeTuple({"a", "b", "c"});
  std::string element;
  ASSERT_EQ(CSRM_OK, tuple.getNextElement(&element));
  Elements all = {"old"};
  EXPECT_EQ(CSRM_OK, tuple.getAllElements(&all));
  EXPECT_EQ((Elements{"a", "b", "c"}), all);
  EXPECT_EQ((Elements{"b", "c"}), ReadRest(&tuple));
  EXPECT_EQ(CSRM_OK, tuple.resetNext());
  EXPECT_EQ((Elements{"a", "b", "c"}), ReadRest(&tuple));
}

TEST(ReportTupleTest, ClearTupleEmptiesAndRewinds) {
  CSRMReportTuple tuple = MakeTuple({"a", "b"});
  ReadRest(&tuple);
  EXPECT_EQ(CSRM_OK, tuple.clearTuple());
  EXPECT_EQ(0u, tuple.getElementCount());
  tuple.addElement("z");
  EXPECT_EQ((Elements{"z"}), ReadRest(&tuple));
}

TEST(ReportTupleTest, CopyStartsAtItsFirstElementAndIsIndependent) {
  CSRMReportTuple original = MakeTuple({"a", "b"});
  std::string element;
  ASSERT_EQ(CSRM_OK, original.getNextElement(&element));
  CSRMReportTuple copy(original);
  copy.addElement("c");
  EXPECT_EQ((Elements{"b"}), ReadRest(&original));
  EXPECT_EQ((Elements{"a", "b", "c"}), ReadRest(&copy));
  EXPECT_EQ(2u, original.getElementCount());
}

TEST(ReportTupleTest, AddElementFromCharacters) {
  struct Case {
    const char* text;
    long length;
    unsigned long result;
    Elements expected;
  };
  const Case cases[] = {
      {nullptr, 5, CSRM_NULL_ARGUMENT, {}},
      {"abcdef", 3, CSRM_OK, {"abc"}},
      {"abc", 0, CSRM_OK, {"abc"}},
      {"abc", -4, CSRM_OK, {"abc"}},
      {"a\0b", 3, CSRM_OK, {std::string("a\0b", 3)}},  // a length counts bytes, NULs included
      {"", 0, CSRM_OK, {""}},
  };
  for (const Case& c : cases) {
    CSRMReportTuple tuple;
    EXPECT_EQ(c.result, tuple.addElement(c.text, c.length)) << c.length;
    Elements all;
    tuple.getAllElements(&all);
    EXPECT_EQ(c.expected, all) << c.length;
  }
}

TEST(ReportTupleTest, NullOutputsAreRefused) {
  CSRMReportTuple tuple = MakeTuple({"a"});
  EXPECT_EQ(CSRM_NULL_ARGUMENT, tuple.getNextElement(nullptr));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, tuple.getAllElements(nullptr));
  EXPECT_EQ((Elements{"a"}), ReadRest(&tuple));  // the refused read did not advance
}

TEST(ReportTupleTest, AllocationFailuresAreReportedAndChangeNothing) {
  const std::string long_element(100, 'x');  // too long for the string's inline storage
  CSRMReportTuple tuple = MakeTuple({long_element});
  unsigned long add, add_chars, next, all;
  std::string element;
  Elements elements;
  {
    ScopedAllocFault fault(0);
    add = tuple.addElement(long_element);
    add_chars = tuple.addElement(long_element.c_str(), 0);
    next = tuple.getNextElement(&element);
    all = tuple.getAllElements(&elements);
  }
  EXPECT_EQ(CSRM_NO_MEMORY, add);
  EXPECT_EQ(CSRM_NO_MEMORY, add_chars);
  EXPECT_EQ(CSRM_NO_MEMORY, next);
  EXPECT_EQ(CSRM_NO_MEMORY, all);
  EXPECT_EQ((Elements{long_element}), ReadRest(&tuple));  // still one element, not skipped
}

}  // namespace
