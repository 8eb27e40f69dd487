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
      {decodedText(cim_decodeUint8Array, "0,255"), "0 255"},
      {decodedText(cim_decodeUint8Array, " 1 ,\t2\t"), "1 2"},
      {decodedText(cim_decodeUint8Array, "256"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "-1"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "+1"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "1,,2"), "FAIL"},
      {decodedText(cim_decodeUint8Array, "1x"), "FAIL"},
      {decodedText(cim_decodeUint8Array, ","), "FAIL"},
      {decodedText(cim_decodeSint8Array, "-128,127"), "-128 127"},
      {decodedText(cim_decodeSint8Array, "128"), "FAIL"},
      {decodedText(cim_decodeUint16Array, "65535,"), "65535"},
      {decodedText(cim_decodeUint16Array, "65536,"), "FAIL"},
      {decodedText(cim_decodeSint16Array, "-32768,32767"), "-32768 32767"},
      {decodedText(cim_decodeSint16Array, "-32769"), "FAIL"},
      {decodedText(cim_decodeUint32Array, "4294967295"), "4294967295"},
      {decodedText(cim_decodeUint32Array, "4294967296"), "FAIL"},
      {decodedText(cim_decodeSint32Array, "-2147483648"), "-2147483648"},
      {decodedText(cim_decodeUint64Array, "18446744073709551615"), "18446744073709551615"},
      {decodedText(cim_decodeUint64Array, "18446744073709551616"), "FAIL"},
      {decodedText(cim_decodeSint64Array, "-9223372036854775808,3907018584"),
       "-9223372036854775808 3907018584"},
      {decodedText(cim_decodeDateTimeArray, "1700000000,"), "1700000000"},
      {decodedText(cim_decodeDateTimeArray, "-5"), "FAIL"},
      {decodedText(cim_decodeBooleanArray, "true,FALSE,1,0, True "), "1 0 1 0 1"},
      {decodedText(cim_decodeBooleanArray, "yes"), "FAIL"},
      {decodedText(cim_decodeBooleanArray, "2"), "FAIL"},
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
  EXPECT_EQ(decodedStrings("a,"), V{"a"});
  EXPECT_EQ(decodedStrings("a,,"), (V{"a", ""}));
  EXPECT_EQ(decodedStrings(" a , b"), (V{" a ", " b"}));
  EXPECT_EQ(decodedStrings("x\\,y,z\\\\,"), (V{"x,y", "z\\"}));
  EXPECT_EQ(decodedStrings("\\q"), V{"q"});
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
  std::vector<int> codesSeen(4, -1);
  std::vector<std::string> messages(4);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t, &codesSeen, &messages] {
      codesSeen[t] = cim_getLastError()->code;  // fresh thread: no failure yet
      for (int i = 0; i < 200; ++i) {
        std::string text = "thread " + std::to_string(t) + " round " + std::to_string(i);
        cim_createException(t, text.c_str(), "worker");
        if (i % 2 == 0) cim_createProperty(nullptr, CIM_STRING, "", nullptr, CIM_FALSE);
      }
      messages[t] = cim_getLastError()->message;
    });
  }
  for (std::thread& t : threads) t.join();
  for (int t = 0; t < 4; ++t) {
    EXPECT_EQ(codesSeen[t], CIM_ERR_NONE);
    EXPECT_EQ(messages[t], "thread " + std::to_string(t) + " round 199");
  }
  EXPECT_EQ(cim_getLastError()->code, 77);
  EXPECT_STREQ(cim_getLastError()->message, "main thread");
}

TEST(ProviderUtilTest, EchoIsOnePlainLinePerMessage) {
  struct Case {
    const char* setting;  // RESDB_LOG_STDERR, null for unset
    const char* expected;
  };
  const Case cases[] = {
      {nullptr, "[4] QDX_SRMAgentAdapter FindCIMInstMaps: two  lines\n"},
      {"1", "[4] QDX_SRMAgentAdapter FindCIMInstMaps: two  lines\n"},
      {"0", ""},
  };
  for (const Case& c : cases) {
    if (c.setting != nullptr) {
      setenv("RESDB_LOG_STDERR", c.setting, 1);
    } else {
      unsetenv("RESDB_LOG_STDERR");
    }
    testing::internal::CaptureStderr();
    prv_log(PRV_LOG_WARNING, kComponent, "FindCIMInstMaps", "two\r\nlines");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
  }
  // The kept copy is exact whatever the echo does.
  for (const ProviderLogLine& line : ProviderUtil::getLogLines()) {
    EXPECT_EQ(line.message, "two\r\nlines");
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
