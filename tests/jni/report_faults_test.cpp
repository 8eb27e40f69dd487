// Faults of the report and the marshaller that once gave a wrong report without a word:
// attribute text and characters outside the BMP, unreadable arrays, and print with no database.
// Numbers beyond their CIM type (a cluster node's unset index too) and kinds sharing an Id are
// golden scans (out-of-range, unset-cluster-index, shared-id).
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "cimxml/marshall.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "providerutil.h"

namespace {

using namespace nmspc_cim;

class ReportFaultsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("RESDB_LOG_STDERR", "0", 1);
    ProviderUtil::clearCaptured();
  }
  static bool Logged(int level, const std::string& part1, const std::string& part2) {
    for (const ProviderLogLine& line : ProviderUtil::getLogLines()) {
      if (line.level == level && line.message.find(part1) != std::string::npos &&
          line.message.find(part2) != std::string::npos) {
        return true;
      }
    }
    return false;
  }
  FakeJni jni_;
};

// The marshalled text of one property of type with value.
std::string PropertyText(const char* name, CIMType type, const char* value) {
  CCIMProperty* p = cim_createProperty(name, type, value, nullptr, CIM_FALSE);
  sbuf* b = sbufCreate(64);
  marshallProperty(b, p, 0);
  std::string text = sbufGetString(b);
  sbufDestroy(b);
  cim_freeProperty(p);
  return text;
}

TEST_F(ReportFaultsTest, CallerTextInResponseAttributesIsEscaped) {
  sbuf* b = sbufCreate(64);
  ASSERT_EQ(marshallInvokeMethodResults(b, nullptr, "7\"&<>'", "Get\"<"), 0);
  std::string text = sbufGetString(b);
  EXPECT_NE(text.find("<MESSAGE ID=\"7&quot;&amp;&lt;&gt;&apos;\" PROTOCOLVERSION=\"1.0\">"),
            std::string::npos);
  EXPECT_NE(text.find("<METHODRESPONSE NAME=\"Get&quot;&lt;\">"), std::string::npos);
  sbufClear(b);
  ASSERT_EQ(marshallExecQueryResults(b, nullptr, "42"), 0);
  EXPECT_NE(std::string(sbufGetString(b)).find("<IMETHODRESPONSE NAME=\"ExecQuery\">"),
            std::string::npos);
  sbufDestroy(b);
}

TEST_F(ReportFaultsTest, PrintWithoutDatabaseLogsAndStoresItsResult) {
  jstring answer = RESDB_NATIVE_NAME(print)(jni_.env(), nullptr, 0);
  EXPECT_EQ(jni_.text(answer), "ERROR 2");
  EXPECT_TRUE(Logged(PRV_LOG_ERROR, "SrmResourceDatabase is NULL.", ""));
  std::vector<Result> results = ProviderUtil::getResults();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].getCode(), "F_NULL_POINTER");
}

TEST_F(ReportFaultsTest, SurrogatePairIsOneCharacter) {
  const struct {
    const char* value;
    const char* written;
  } cases[] = {
      {"Caf\xC3\xA9\xE2\x82\xAC\xED\xA0\xBD\xED\xB8\x80x", "Caf\xC3\xA9\xE2\x82\xAC&#x1F600;x"},
      {"\xED\xAF\xBF\xED\xBF\xBF", "&#x10FFFF;"},
      {"\xED\xA0\xBDx", "&#xED;&#xA0;&#xBD;x"},                              // a lone high half
      {"\xED\xB8\x80", "&#xED;&#xB8;&#x80;"},                                // a lone low half
      {"\xED\xA0\xBD\xED\xA0\xBD", "&#xED;&#xA0;&#xBD;&#xED;&#xA0;&#xBD;"},  // two high halves
      {"\xED\xA0\xBD\xED\xB8", "&#xED;&#xA0;&#xBD;&#xED;&#xB8;"},            // a cut low half
  };
  for (const auto& c : cases) {
    EXPECT_EQ(PropertyText("P", CIM_STRING, c.value),
              std::string("<PROPERTY NAME=\"P\" TYPE=\"string\">\r\n  <VALUE>") + c.written +
                  "</VALUE>\r\n</PROPERTY>\r\n");
  }
  EXPECT_EQ(PropertyText("\xED\xA0\xBD\xED\xB8\x80", CIM_STRING, nullptr),
            "<PROPERTY NAME=\"&#x1F600;\" TYPE=\"string\">\r\n</PROPERTY>\r\n");
}

TEST_F(ReportFaultsTest, RealUnderflowIsNearestAndUnreadableArrayIsNull) {
  int count = 0;
  double* r32 = cim_decodeReal32Array("1e-46,-1e-46,1e-45,2", &count);
  ASSERT_NE(r32, nullptr);
  ASSERT_EQ(count, 4);
  EXPECT_EQ(r32[0], 0.0);
  EXPECT_EQ(r32[1], 0.0);
  EXPECT_EQ(static_cast<float>(r32[2]), std::numeric_limits<float>::denorm_min());
  EXPECT_EQ(r32[3], 2.0);
  free(r32);
  long double* r64 = cim_decodeReal64Array("1e-5000", &count);
  ASSERT_NE(r64, nullptr);
  EXPECT_EQ(r64[0], 0.0L);
  free(r64);
  EXPECT_EQ(cim_decodeReal32Array("1e39", &count), nullptr);  // an overflow still fails

  EXPECT_EQ(PropertyText("A", CIM_REAL32_ARRAY, "1,x"),
            "<PROPERTY.ARRAY NAME=\"A\" TYPE=\"real32\">\r\n</PROPERTY.ARRAY>\r\n");
  EXPECT_TRUE(Logged(PRV_LOG_WARNING, "Array property A (real32)", "not a value of its type"));
}

}  // namespace
