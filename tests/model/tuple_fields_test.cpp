#include "model/tuple_fields.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>
#include <vector>

namespace {

// The low 32 bits of a 64-bit value, as a 32-bit field stores it.
int32_t Low32(int64_t v) {
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// Inputs the C library converts without overflow: atoll and atoi are the reference.
TEST(SrmParseIntTest, AgreesWithTheCLibraryOnOrdinaryText) {
  const char* inputs[] = {"0",
                          "42",
                          "  -12x",
                          "+7",
                          "",
                          "abc",
                          "-",
                          "+",
                          "- 5",
                          "--5",
                          "+-5",
                          "0x1A",
                          "007",
                          "\t\n\v\f\r 9",
                          "12 34",
                          "1e5",
                          "-0",
                          "3.9",
                          "2147483647",
                          "-2147483648",
                          "9223372036854775807",
                          "-9223372036854775808"};
  for (const char* text : inputs) {
    SCOPED_TRACE(text);
    EXPECT_EQ(std::atoll(text), SrmParseInt64(text));
    int64_t wide = std::atoll(text);
    if (wide >= INT32_MIN && wide <= INT32_MAX) {
      EXPECT_EQ(std::atoi(text), SrmParseInt32(text));
    }
  }
}

// Out-of-range text: saturation as strtoll gives it, then the 32-bit cut of that value.
TEST(SrmParseIntTest, WideAndOverflowingValues) {
  const int64_t max = std::numeric_limits<int64_t>::max();
  const int64_t min = std::numeric_limits<int64_t>::min();
  const std::vector<std::pair<std::string, int64_t>> cases = {
      {"3907018584", 3907018584LL},  // a 4 TB disk in KB
      {"99999999999999999999", max},        {"9223372036854775808", max},
      {"-9223372036854775809", min},        {"-99999999999999999999999999", min},
      {"  +18446744073709551616tail", max},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.first);
    EXPECT_EQ(c.second, SrmParseInt64(c.first));
    EXPECT_EQ(std::strtoll(c.first.c_str(), nullptr, 10), SrmParseInt64(c.first));
    EXPECT_EQ(Low32(c.second), SrmParseInt32(c.first));
  }
  EXPECT_EQ(-387948712, SrmParseInt32("3907018584"));
}

TEST(SrmParseIntTest, StopsAtAnEmbeddedNul) {
  EXPECT_EQ(12, SrmParseInt64(std::string("12\0"
                                          "34",
                                          5)));
}

CSRMReportTuple MakeTuple(const std::vector<std::string>& elements) {
  CSRMReportTuple tuple;
  for (const std::string& e : elements) tuple.addElement(e);
  return tuple;
}

using Visits = std::vector<std::pair<int, std::string>>;

Visits Walk(CSRMReportTuple* tuple) {
  Visits visits;
  SrmForEachElement(tuple,
                    [&](int key, const std::string& value) { visits.emplace_back(key, value); });
  return visits;
}

TEST(SrmForEachElementTest, VisitsKeyIdsAndValuesInOrder) {
  CSRMReportTuple tuple =
      MakeTuple({"\"Type=Disk\"", "\"Id=d1\"", "\"NoSuchKey=x\"", "\"Name=a=b\"", "\"Sign=\""});
  Visits expected = {
      {kKeyType, "Disk"}, {kKeyId, "d1"}, {kKeyType, "x"}, {kKeyName, "a=b"}, {kKeySign, ""}};
  EXPECT_EQ(expected, Walk(&tuple));
  // Every walk starts over at the first element.
  std::string element;
  tuple.resetNext();
  tuple.getNextElement(&element);
  EXPECT_EQ(expected, Walk(&tuple));
}

TEST(SrmForEachElementTest, StopsAtTheFirstElementWithoutEquals) {
  CSRMReportTuple tuple = MakeTuple({"\"Id=d1\"", "\"garbage\"", "\"Name=n\""});
  EXPECT_EQ((Visits{{kKeyId, "d1"}}), Walk(&tuple));
  CSRMReportTuple empty;
  EXPECT_TRUE(Walk(&empty).empty());
}

}  // namespace
