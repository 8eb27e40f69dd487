// Tests of the CIM client library stand-in: records, ownership of copies, object paths, the
// per-thread last error, the array text encoding, and every allocation failure.
#include "cimapi.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "cimapi_testing.h"

using namespace nmspc_cim;

namespace {

CCIMProperty* propertyAt(const CCIMList* list, int index) {
  for (; list != nullptr; list = list->next) {
    if (index-- == 0) return static_cast<CCIMProperty*>(list->data);
  }
  return nullptr;
}

int lengthOf(const CCIMList* list) {
  int n = 0;
  for (; list != nullptr; list = list->next) ++n;
  return n;
}

// An instance of class C with key K1 = "a", non-key V = "v", key K2 = "b".
CCIMInstance* makeKeyedInstance() {
  CCIMInstance* instance = cim_createInstance("C");
  cim_addProperty(instance, cim_createProperty("K1", CIM_STRING, "a", nullptr, CIM_TRUE));
  cim_addProperty(instance, cim_createProperty("V", CIM_STRING, "v", nullptr, CIM_FALSE));
  cim_addProperty(instance, cim_createProperty("K2", CIM_UINT32, "7", nullptr, CIM_TRUE));
  return instance;
}

TEST(CimRecordsTest, PropertyHoldsItsOwnCopies) {
  char name[] = "Name";
  char value[] = "disk0";
  CCIMProperty* p = cim_createProperty(name, CIM_STRING, value, nullptr, CIM_TRUE);
  ASSERT_NE(p, nullptr);
  name[0] = 'X';
  value[0] = 'X';
  EXPECT_STREQ(p->name, "Name");
  EXPECT_STREQ(p->value, "disk0");
  EXPECT_EQ(p->type, CIM_STRING);
  EXPECT_EQ(p->isKey, CIM_TRUE);
  EXPECT_EQ(p->reference, nullptr);
  cim_freeProperty(p);

  CCIMProperty* empty = cim_createProperty("N", CIM_UINT64, nullptr, nullptr, CIM_FALSE);
  ASSERT_NE(empty, nullptr);
  EXPECT_EQ(empty->value, nullptr);
  cim_freeProperty(empty);
}

TEST(CimRecordsTest, ObjectPathCopiesKeysInOrder) {
  CCIMInstance* instance = makeKeyedInstance();
  CCIMObjectPath* path = cim_createObjectPath(instance);
  cim_freeInstance(instance);  // the path must not share anything with it
  ASSERT_NE(path, nullptr);
  EXPECT_STREQ(path->className, "C");
  EXPECT_STREQ(path->nameSpace, "root/cimv2");
  ASSERT_EQ(lengthOf(path->keys), 2);
  EXPECT_STREQ(propertyAt(path->keys, 0)->name, "K1");
  EXPECT_STREQ(propertyAt(path->keys, 0)->value, "a");
  EXPECT_STREQ(propertyAt(path->keys, 1)->name, "K2");
  EXPECT_EQ(propertyAt(path->keys, 1)->type, CIM_UINT32);
  cim_freeObjectPath(path);
}

// A path is mostly one block, but callers may still replace its texts (releasing the old ones
// with free) and link keys of their own into it; the path releases each exactly once, which
// the sanitizer and leak checker runs verify.
TEST(CimRecordsTest, ObjectPathReleasesWhatCallersPutInIt) {
  CCIMInstance* instance = makeKeyedInstance();
  for (int change = 0; change < 4; ++change) {
    CCIMObjectPath* path = cim_createObjectPath(instance);
    ASSERT_NE(path, nullptr);
    CCIMProperty* first = propertyAt(path->keys, 0);
    switch (change) {
      case 0:  // the class name, which lives in the path's block
        path->className = strdup("Replaced");
        break;
      case 1:  // a key's name and value
        first->name = strdup("K9");
        free(first->value);
        first->value = strdup("z");
        break;
      case 2: {  // a key made elsewhere, in a list node of its own
        auto* node = static_cast<CCIMList*>(malloc(sizeof(CCIMList)));
        *node = CCIMList{cim_createProperty("K3", CIM_STRING, "c", nullptr, CIM_TRUE), nullptr,
                         nullptr};
        path->keys->next->next = node;  // after the two keys the path was made with
        path->keys->last = node;
        break;
      }
      case 3: {  // a key that is itself a reference
        CCIMObjectPath* nested = cim_createObjectPath(instance);
        ASSERT_NE(nested, nullptr);
        first->reference = nested;
        break;
      }
    }
    if (change == 2) {
      ASSERT_EQ(lengthOf(path->keys), 3);
      EXPECT_STREQ(propertyAt(path->keys, 2)->value, "c");
    }
    EXPECT_STREQ(propertyAt(path->keys, 1)->name, "K2");
    cim_freeObjectPath(path);
  }
  cim_freeInstance(instance);
}

TEST(CimRecordsTest, ReferencePropertyCopiesThePathDeeply) {
  CCIMInstance* target = makeKeyedInstance();
  CCIMObjectPath* targetPath = cim_createObjectPath(target);
  CCIMProperty* reference =
      cim_createProperty("Antecedent", CIM_REFERENCE, nullptr, targetPath, CIM_TRUE);
  cim_freeObjectPath(targetPath);
  cim_freeInstance(target);
  ASSERT_NE(reference, nullptr);

  // An association whose key is a reference: its own path holds a nested reference.
  CCIMInstance* association = cim_createInstance("A");
  ASSERT_EQ(cim_addProperty(association, reference), 1);
  CCIMObjectPath* associationPath = cim_createObjectPath(association);
  cim_freeInstance(association);
  ASSERT_NE(associationPath, nullptr);
  CCIMProperty* key = propertyAt(associationPath->keys, 0);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->type, CIM_REFERENCE);
  ASSERT_NE(key->reference, nullptr);
  EXPECT_STREQ(key->reference->className, "C");
  EXPECT_EQ(lengthOf(key->reference->keys), 2);
  cim_freeObjectPath(associationPath);
}

TEST(CimRecordsTest, InvalidArgumentsFailWithTheirOrigin) {
  CCIMInstance* instance = cim_createInstance("C");
  CCIMInstance nameless{nullptr, nullptr};
  struct Case {
    const char* what;
    std::function<bool()> fails;
    const char* origin;
  };
  const Case cases[] = {
      {"null class name", [] { return cim_createInstance(nullptr) == nullptr; },
       "cim_createInstance"},
      {"null property name",
       [] { return cim_createProperty(nullptr, CIM_STRING, "v", nullptr, CIM_FALSE) == nullptr; },
       "cim_createProperty"},
      {"type above 29",
       [] {
         return cim_createProperty("N", static_cast<CIMType>(30), "v", nullptr, CIM_FALSE) ==
                nullptr;
       },
       "cim_createProperty"},
      {"negative type",
       [] {
         return cim_createProperty("N", static_cast<CIMType>(-1), "v", nullptr, CIM_FALSE) ==
                nullptr;
       },
       "cim_createProperty"},
      {"reference without path",
       [] { return cim_createProperty("R", CIM_REFERENCE, nullptr, nullptr, CIM_TRUE) == nullptr; },
       "cim_createProperty"},
      {"path of null instance", [] { return cim_createObjectPath(nullptr) == nullptr; },
       "cim_createObjectPath"},
      {"path of nameless instance", [&] { return cim_createObjectPath(&nameless) == nullptr; },
       "cim_createObjectPath"},
      {"property into null instance", [] { return cim_addProperty(nullptr, nullptr) == 0; },
       "cim_addProperty"},
      {"null property", [&] { return cim_addProperty(instance, nullptr) == 0; }, "cim_addProperty"},
      {"null instance into list", [] { return cim_addInstance(nullptr, nullptr) == nullptr; },
       "cim_addInstance"},
  };
  for (const Case& c : cases) {
    cim_createException(0, "", "");
    EXPECT_TRUE(c.fails()) << c.what;
    EXPECT_EQ(cim_getLastError()->code, CIM_ERR_INVALID_ARGUMENT) << c.what;
    EXPECT_STREQ(cim_getLastError()->origin, c.origin) << c.what;
    EXPECT_STRNE(cim_getLastError()->message, "") << c.what;
  }
  cim_freeInstance(instance);
}

// A property carries its own list node: adding one cannot run out of memory, and the
// properties of an instance and the keys of its path (copied) are released with their owners.
TEST(CimListTest, AddingPropertiesNeedsNoAllocation) {
  CCIMInstance* instance = cim_createInstance("A");
  ASSERT_NE(instance, nullptr);
  const char* names[] = {"K1", "V", "K2"};
  CCIMProperty* properties[3];
  for (int i = 0; i < 3; ++i) {
    properties[i] =
        cim_createProperty(names[i], CIM_STRING, "x", nullptr, i == 1 ? CIM_FALSE : CIM_TRUE);
    ASSERT_NE(properties[i], nullptr);
  }
  cim_testFailAllocationsAfter(0);
  for (CCIMProperty* p : properties) EXPECT_EQ(cim_addProperty(instance, p), 1);
  cim_testFailAllocationsAfter(-1);
  ASSERT_EQ(lengthOf(instance->properties), 3);
  const CCIMList* node = instance->properties;
  for (const char* name : names) {
    EXPECT_STREQ(static_cast<CCIMProperty*>(node->data)->name, name);
    node = node->next;
  }
  CCIMObjectPath* path = cim_createObjectPath(instance);
  ASSERT_NE(path, nullptr);
  EXPECT_EQ(lengthOf(path->keys), 2);
  cim_freeObjectPath(path);
  cim_freeInstance(instance);
}

TEST(CimListTest, EmptyListIsANodeAndFreesCleanly) {
  CCIMList* list = cim_createInstanceList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->data, nullptr);
  EXPECT_EQ(list->next, nullptr);
  cim_freeInstanceList(list);
  cim_freeInstanceList(nullptr);
}

TEST(CimListTest, InstancesKeepTheirOrder) {
  for (bool startEmpty : {true, false}) {
    CCIMList* list = startEmpty ? cim_createInstanceList() : nullptr;
    const char* classes[] = {"A", "B", "C", "D"};
    for (const char* c : classes) {
      CCIMList* kept = cim_addInstance(list, cim_createInstance(c));
      ASSERT_NE(kept, nullptr);
      list = kept;
    }
    ASSERT_EQ(lengthOf(list), 4);
    int i = 0;
    for (CCIMList* node = list; node != nullptr; node = node->next, ++i) {
      EXPECT_STREQ(static_cast<CCIMInstance*>(node->data)->className, classes[i]);
    }
    cim_freeInstanceList(list);
  }
}

TEST(CimListTest, FailedAddLeavesTheListAsItWas) {
  CCIMList* list = cim_addInstance(cim_createInstanceList(), cim_createInstance("A"));
  CCIMInstance* b = cim_createInstance("B");
  cim_testFailAllocationsAfter(0);
  EXPECT_EQ(cim_addInstance(list, b), nullptr);
  cim_testFailAllocationsAfter(-1);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_NO_MEMORY);
  EXPECT_EQ(lengthOf(list), 1);
  cim_freeInstance(b);  // still the caller's
  cim_freeInstanceList(list);
}

TEST(CimErrorTest, CreateExceptionBecomesTheLastError) {
  std::string message = "NULL CIMInstance member object.";
  CCIMException* e = cim_createException(2, message.c_str(), "InsertProperty");
  message.assign("overwritten");
  EXPECT_EQ(e, cim_getLastError());
  EXPECT_EQ(e->code, 2);
  EXPECT_STREQ(e->message, "NULL CIMInstance member object.");
  EXPECT_STREQ(e->origin, "InsertProperty");

  // Passing the current message back in is safe.
  e = cim_createException(5, cim_getLastError()->message, nullptr);
  EXPECT_STREQ(e->message, "NULL CIMInstance member object.");
  EXPECT_STREQ(e->origin, "");

  // A later failure replaces it; a success does not.
  cim_freeInstance(cim_createInstance("ok"));
  EXPECT_EQ(cim_getLastError()->code, 5);
  cim_createInstance(nullptr);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_INVALID_ARGUMENT);
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

// Decoded array of any element type as decimal texts, or "FAIL".
template <typename T>
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

TEST(CimArrayTest, DecodesFiniteReals) {
  int count = 0;
  double* r32 = cim_decodeReal32Array("2.5,-1e3, 0.125 ", &count);
  ASSERT_NE(r32, nullptr);
  ASSERT_EQ(count, 3);
  EXPECT_EQ(r32[0], 2.5);
  EXPECT_EQ(r32[1], -1000.0);
  EXPECT_EQ(r32[2], 0.125);
  free(r32);
  long double* r64 = cim_decodeReal64Array("1e300,", &count);
  ASSERT_NE(r64, nullptr);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(r64[0], 1e300L);
  free(r64);
  for (const char* bad : {"1e39", "inf", "nan", "1.5.2", "x"}) {
    EXPECT_EQ(cim_decodeReal32Array(bad, &count), nullptr) << bad;
    EXPECT_EQ(count, 0);
    EXPECT_EQ(cim_getLastError()->code, CIM_ERR_FAILED);
  }
}

// Decoded string array as a vector, or {"FAIL"}.
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

TEST(CimArrayTest, EncodersRoundTrip) {
  const char* items[] = {"", "a,b", "c\\", "plain", ",", "\\,"};
  char* text = cim_encodeStringArray(items, 6);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, ",a\\,b,c\\\\,plain,\\,,\\\\\\,,");
  EXPECT_EQ(decodedStrings(text), (std::vector<std::string>(items, items + 6)));
  free(text);

  const int64_t numbers[] = {INT64_MIN, -1, 0, INT64_MAX};
  text = cim_encodeSint64Array(numbers, 4);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "-9223372036854775808,-1,0,9223372036854775807,");
  EXPECT_EQ(decodedText(cim_decodeSint64Array, text),
            "-9223372036854775808 -1 0 9223372036854775807");
  free(text);

  const uint64_t big[] = {UINT64_MAX};
  text = cim_encodeUint64Array(big, 1);
  EXPECT_STREQ(text, "18446744073709551615,");
  free(text);

  text = cim_encodeUint64Array(nullptr, 0);
  EXPECT_STREQ(text, "");
  free(text);

  const char* withNull[] = {"a", nullptr};
  EXPECT_EQ(cim_encodeStringArray(withNull, 2), nullptr);
  EXPECT_EQ(cim_encodeSint64Array(nullptr, 1), nullptr);
  EXPECT_EQ(cim_encodeSint64Array(numbers, -1), nullptr);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_INVALID_ARGUMENT);
}

TEST(CimArrayTest, NullArgumentsFail) {
  int count = 9;
  EXPECT_EQ(cim_decodeUint32Array(nullptr, &count), nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(cim_decodeStringArray("a", nullptr), nullptr);
  EXPECT_EQ(cim_getLastError()->code, CIM_ERR_INVALID_ARGUMENT);
  cim_freeStringArray(nullptr);
}

// Builds a small report (instance with properties, a reference to it in an association, a
// list of both) and decodes arrays, checking every step; true when all of it succeeded. On
// failure everything built so far is released.
bool buildSmallReport() {
  bool ok = false;
  CCIMList* list = cim_createInstanceList();
  CCIMInstance* disk = cim_createInstance("Disk");
  CCIMInstance* association = nullptr;
  CCIMObjectPath* path = nullptr;
  int count = 0;
  do {
    if (list == nullptr || disk == nullptr) break;
    CCIMProperty* key = cim_createProperty("DeviceID", CIM_STRING, "d0", nullptr, CIM_TRUE);
    if (key == nullptr) break;
    if (!cim_addProperty(disk, key)) {
      cim_freeProperty(key);
      break;
    }
    path = cim_createObjectPath(disk);
    if (path == nullptr) break;
    association = cim_createInstance("Dependency");
    if (association == nullptr) break;
    CCIMProperty* ref = cim_createProperty("Antecedent", CIM_REFERENCE, nullptr, path, CIM_TRUE);
    if (ref == nullptr) break;
    if (!cim_addProperty(association, ref)) {
      cim_freeProperty(ref);
      break;
    }
    CCIMList* grown = cim_addInstance(list, disk);
    if (grown == nullptr) break;
    list = grown;
    disk = nullptr;
    grown = cim_addInstance(list, association);
    if (grown == nullptr) break;
    list = grown;
    association = nullptr;
    char** strings = cim_decodeStringArray("a,b,", &count);
    if (strings == nullptr) break;
    cim_freeStringArray(strings);
    uint32_t* numbers = cim_decodeUint32Array("1,2,", &count);
    if (numbers == nullptr) break;
    free(numbers);
    const char* items[] = {"x", "y"};
    char* encoded = cim_encodeStringArray(items, 2);
    if (encoded == nullptr) break;
    free(encoded);
    ok = true;
  } while (false);
  cim_freeObjectPath(path);
  cim_freeInstance(disk);
  cim_freeInstance(association);
  cim_freeInstanceList(list);
  return ok;
}

TEST(CimFaultTest, EveryAllocationFailureIsCleanAndReported) {
  int steps = 0;
  for (long successes = 0;; ++successes, ++steps) {
    ASSERT_LT(steps, 1000) << "the scenario never completed";
    cim_createException(0, "", "");
    cim_testFailAllocationsAfter(successes);
    bool ok = buildSmallReport();
    cim_testFailAllocationsAfter(-1);
    if (ok) break;
    EXPECT_EQ(cim_getLastError()->code, CIM_ERR_NO_MEMORY) << "after " << successes;
    EXPECT_STREQ(cim_getLastError()->message, "out of memory");
  }
  EXPECT_GT(steps, 15);  // every record, text, node and array was stepped through

  // An exception whose texts cannot be copied says so instead.
  cim_testFailAllocationsAfter(1);
  CCIMException* e = cim_createException(2, "message", "origin");
  cim_testFailAllocationsAfter(-1);
  EXPECT_EQ(e->code, CIM_ERR_NO_MEMORY);
  EXPECT_STREQ(e->origin, "cim_createException");
}

}  // namespace
