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

// Records of an arena: the free calls leave them to it, records of another arena (or of none)
// are refused, a value is replaced where its property lives, a large record takes a chunk of
// its own, records past the first chunks (in huge pages) keep their values apart, and the arena
// releases everything at once (the leak checker sees to that).
TEST(CimArenaTest, RecordsLiveAndGoWithTheirArena) {
  CCIMArena* arena = cim_createArena();
  ASSERT_NE(arena, nullptr);
  CCIMInstance* a = cim_createInstanceIn(arena, "A");
  CCIMProperty* key = cim_createPropertyIn(arena, "Name", CIM_STRING, " ", nullptr, CIM_TRUE);
  EXPECT_EQ(cim_addProperty(a, key), 1);
  CCIMProperty* loose = cim_createProperty("Loose", CIM_STRING, "x", nullptr, CIM_FALSE);
  EXPECT_EQ(cim_addProperty(a, loose), 0);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_INVALID_ARGUMENT);
  cim_freeProperty(loose);  // still the caller's
  EXPECT_EQ(cim_setPropertyValue(key, "0"), 1);
  EXPECT_STREQ(key->value, "0");
  const std::string big(100000, 'v');
  CCIMProperty* large =
      cim_createPropertyIn(arena, "Big", CIM_STRING, big.c_str(), nullptr, CIM_FALSE);
  ASSERT_NE(large, nullptr);
  EXPECT_EQ(large->value, big);
  EXPECT_EQ(cim_addProperty(a, large), 1);
  CCIMList* list = cim_addInstance(cim_createInstanceListIn(arena), a);
  ASSERT_NE(list, nullptr);
  CCIMInstance* plain = cim_createInstance("B");
  EXPECT_EQ(cim_addInstance(list, plain), nullptr);
  cim_freeInstance(plain);
  cim_freeInstanceList(list);  // nothing: the arena holds it
  EXPECT_STREQ(a->className, "A");
  EXPECT_STREQ(static_cast<CCIMProperty*>(a->properties->next->data)->name, "Big");
  std::vector<CCIMProperty*> many;  // 20 MB: small chunks, then huge pages
  const std::string padding(200, 'p');
  auto value = [&padding](int i) { return padding + std::to_string(i); };
  for (int i = 0; i < 80000; ++i) {
    many.push_back(
        cim_createPropertyIn(arena, "P", CIM_STRING, value(i).c_str(), nullptr, CIM_FALSE));
    ASSERT_NE(many.back(), nullptr);
  }
  for (int i = 0; i < 80000; i += 499) EXPECT_EQ(value(i), many[i]->value);
  EXPECT_EQ(value(79999), many.back()->value);
  cim_freeArena(arena);
}

TEST(CimArenaTest, FailedGrowthFailsAsMallocDoes) {
  CCIMArena* arena = cim_createArena();
  cim_testFailAllocationsAfter(0);
  EXPECT_EQ(cim_createInstanceIn(arena, "A"), nullptr);
  cim_testFailAllocationsAfter(-1);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_NO_MEMORY);
  EXPECT_STREQ(cim_getLastError()->origin, "cim_createInstance");
  cim_freeArena(arena);
}

// A shared path is made once and handed out until the instance changes; its holders keep it
// when the instance goes.
TEST(CimPathTest, SharedPathIsMadeOnceUntilTheInstanceChanges) {
  CCIMInstance* a = cim_createInstance("A");
  cim_addProperty(a, cim_createProperty("Id", CIM_STRING, "1", nullptr, CIM_TRUE));
  CCIMObjectPath* first = cim_shareObjectPath(a);
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(cim_shareObjectPath(a), first);
  cim_addProperty(a, cim_createProperty("Id2", CIM_STRING, "2", nullptr, CIM_TRUE));
  CCIMObjectPath* changed = cim_shareObjectPath(a);
  ASSERT_NE(changed, first);
  EXPECT_NE(changed->keys->next, nullptr);
  cim_freeInstance(a);
  EXPECT_EQ(first->keys->next, nullptr);
  EXPECT_STREQ(static_cast<CCIMProperty*>(first->keys->data)->value, "1");
  for (CCIMObjectPath* held : {first, first, changed}) cim_freeObjectPath(held);
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
