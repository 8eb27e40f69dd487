// The platform stand-ins where the report relies on more than the golden scans show: array
// texts decoded within their type's range, a list left as it was by a failed add, the last
// error kept per thread, log lines echoed on one line each, the stores' limit.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "cimapi.h"
#include "cimapi_testing.h"
#include "providerutil.h"

using namespace nmspc_cim;

namespace {

const char kComponent[] = "QDX_SRMAgentAdapter";
const char kBundle[] = "com.orv.vimbrel.mgmt.agent.result.resources.resultStatus";

template <class T>
std::string decodedText(T* (*decode)(const char*, int*), const char* text) {
  int count = -1;
  T* items = decode(text, &count);
  if (items == nullptr) {
    return count == 0 ? "FAIL" : "FAIL with count " + std::to_string(count);
  }
  std::string out;
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ' ';
    out += std::to_string(items[i]);
  }
  free(items);
  return out;
}

TEST(CimArrayTest, DecodesNumbersWithinTheirTypeRange) {
  struct Case {
    std::string got;
    const char* expected;
  };
  const Case cases[] = {
      {decodedText(cim_decodeUint8Array, ""), ""},
      {decodedText(cim_decodeUint8Array, "0,255,"), "0 255"},
      {decodedText(cim_decodeUint8Array, " 1 ,\t2\t"), "1 2"},
      {decodedText(cim_decodeUint8Array, "256"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "-1"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "+1"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "1,,2"), "FAIL"},
      {decodedText(cim_decodeSint8Array, "-128,127"), "-128 127"},
      {decodedText(cim_decodeUint16Array, "65535,"), "65535"},
      {decodedText(cim_decodeSint16Array, "-32768,32767"), "-32768 32767"},
      {decodedText(cim_decodeUint32Array, "4294967295"), "4294967295"},
      {decodedText(cim_decodeUint32Array, "4294967296"), "FAIL"},
      {decodedText(cim_decodeUint64Array, "18446744073709551615"), "18446744073709551615"},
      {decodedText(cim_decodeUint64Array, "18446744073709551616"), "FAIL"},
      {decodedText(cim_decodeSint64Array, "-9223372036854775808,3907018584"),
       "-9223372036854775808 3907018584"},
      {decodedText(cim_decodeDateTimeArray, "1700000000,"), "1700000000"},
      {decodedText(cim_decodeBooleanArray, "true,FALSE,1,0, True "), "1 0 1 0 1"},
      {decodedText(cim_decodeBooleanArray, "yes"), "FAIL"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

std::vector<std::string> decodedStrings(const char* text) {
  int count = 0;
  char** items = cim_decodeStringArray(text, &count);
  if (items == nullptr) return {"FAIL"};
  std::vector<std::string> out(items, items + count);
  EXPECT_EQ(items[count], nullptr);
  cim_freeStringArray(items);
  return out;
}

TEST(CimArrayTest, DecodesStringsWithEscapes) {
  using V = std::vector<std::string>;
  EXPECT_EQ(decodedStrings(""), V{});
  EXPECT_EQ(decodedStrings(","), V{""});
  EXPECT_EQ(decodedStrings("a"), V{"a"});
  EXPECT_EQ(decodedStrings("a,,"), (V{"a", ""}));
  EXPECT_EQ(decodedStrings(" a , b"), (V{" a ", " b"}));
  EXPECT_EQ(decodedStrings("x\\,y,z\\\\,"), (V{"x,y", "z\\"}));
  EXPECT_EQ(decodedStrings("end\\"), V{"end\\"});
}

TEST(CimListTest, FailedAddLeavesTheListAsItWas) {
  CCIMList* list = cim_addInstance(cim_createInstanceList(), cim_createInstance("A"));
  CCIMInstance* b = cim_createInstance("B");
  cim_testFailAllocationsAfter(0);
  EXPECT_EQ(cim_addInstance(list, b), nullptr);
  cim_testFailAllocationsAfter(-1);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_NO_MEMORY);
  EXPECT_EQ(list->next, nullptr);
  cim_freeInstance(b);  // still the caller's
  cim_freeInstanceList(list);
}

TEST(CimErrorTest, LastErrorIsPerThread) {
  cim_createException(77, "main thread", "test");
  std::string seen[2];
  std::thread threads[2];
  for (int t = 0; t < 2; ++t) {
    threads[t] = std::thread([t, &seen] {
      seen[t] = std::to_string(cim_getLastError()->code);  // fresh thread: no failure yet
      for (int i = 0; i < 200; ++i) cim_createException(t, std::to_string(t + i).c_str(), "w");
      seen[t] += std::string(" ") + cim_getLastError()->message;
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ("0 199", seen[0]);
  EXPECT_EQ("0 200", seen[1]);
  EXPECT_EQ(cim_getLastError()->code, 77);
  EXPECT_STREQ(cim_getLastError()->message, "main thread");
}

// One plain line on standard error unless RESDB_LOG_STDERR is 0; the kept copy is exact.
TEST(ProviderUtilTest, EchoIsOnePlainLinePerMessage) {
  const char* echoed = "[4] QDX_SRMAgentAdapter FindCIMInstMaps: two  lines\n";
  const char* cases[][2] = {{nullptr, echoed}, {"1", echoed}, {"0", ""}};
  for (const auto& c : cases) {
    if (c[0] != nullptr) setenv("RESDB_LOG_STDERR", c[0], 1);
    if (c[0] == nullptr) unsetenv("RESDB_LOG_STDERR");
    testing::internal::CaptureStderr();
    prv_log(PRV_LOG_WARNING, kComponent, "FindCIMInstMaps", "two\r\nlines");
    EXPECT_EQ(c[1], testing::internal::GetCapturedStderr());
    EXPECT_EQ("two\r\nlines", ProviderUtil::getLogLines().back().message);
  }
}

TEST(ProviderUtilTest, StoresKeepOnlyTheMostRecentEntries) {
  const size_t total = ProviderUtil::kCaptureLimit + 5;
  ProviderUtil* utility = ProviderUtil::getInstance("");
  for (size_t i = 0; i < total; ++i) {
    prv_log(PRV_LOG_INFO, kComponent, "f", std::to_string(i).c_str());
    utility->storeResult(new Result(std::to_string(i), kBundle));
  }
  std::vector<ProviderLogLine> lines = ProviderUtil::getLogLines();
  std::vector<Result> results = ProviderUtil::getResults();
  ASSERT_EQ(lines.size(), ProviderUtil::kCaptureLimit);
  ASSERT_EQ(results.size(), ProviderUtil::kCaptureLimit);
  EXPECT_EQ(lines.front().message, "5");
  EXPECT_EQ(lines.back().message, std::to_string(total - 1));
  EXPECT_EQ(results.front().getCode(), "5");
}

}  // namespace
