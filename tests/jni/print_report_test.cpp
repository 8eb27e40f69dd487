// The body of the native print method: the report text of a host database or the error text
// of the step that failed, always valid modified UTF-8.
#include "jni/print_report.h"

#include <gtest/gtest.h>

#include <string>

#include "cimapi_testing.h"
#include "db/srm_resource_database.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "providerutil.h"

namespace {

class PrintReportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("RESDB_LOG_STDERR", "0", 1);
    ProviderUtil::clearCaptured();
    auto* c = new SrmComputer("h1");
    c->setOS("Linux 6.1");
    db_.addComputer(c, 1);
    c->Release();
    db_.getThisComputer();
    auto* d = new SrmDisk("d1");
    d->setName(
        "/dev/s\xE9"
        "a");  // a Latin-1 byte
    db_.addResource(d);
    d->Release();
  }
  void TearDown() override { nmspc_cim::cim_testFailAllocationsAfter(-1); }
  SrmResourceDatabase db_;
};

TEST_F(PrintReportTest, ReportOfAHost) {
  std::string text = printReport(&db_);
  EXPECT_EQ(0u, text.find("<VALUE.OBJECT>\r\n"));
  EXPECT_NE(std::string::npos, text.find("Tavrix_RM_HalcyonUnitaryComputerSystem"));
  EXPECT_NE(std::string::npos, text.find("Tavrix_RM_PathToDisk"));
  EXPECT_NE(std::string::npos, text.find("/dev/s&#xE9;a"));
  EXPECT_TRUE(IsModifiedUtf8(text.c_str()));
}

TEST_F(PrintReportTest, ErrorTexts) {
  SrmResourceDatabase empty;
  EXPECT_EQ("ERROR 2", printReport(&empty));  // no computer to report
  EXPECT_EQ("ERROR 2", printReport(nullptr));
  db_.addError("h1", "Failed to attach collection stream", 22, 2);
  EXPECT_EQ("ERROR 2", printReport(&db_));
}

TEST_F(PrintReportTest, AllocationFailuresGiveAnErrorTextAndLeakNothing) {
  const std::string whole = printReport(&db_);
  bool failed_somewhere = false;
  for (long step = 0; step < 400; ++step) {
    nmspc_cim::cim_testFailAllocationsAfter(step);
    std::string text = printReport(&db_);
    nmspc_cim::cim_testFailAllocationsAfter(-1);
    if (text != whole) {
      failed_somewhere = true;
      EXPECT_EQ(0u, text.find("ERROR ")) << step << ": " << text;
    }
  }
  EXPECT_TRUE(failed_somewhere);
}

TEST(ModifiedUtf8Test, Sequences) {
  struct {
    const char* text;
    bool valid;
  } cases[] = {
      {"", true},
      {"plain <ascii>", true},
      {"caf\xC3\xA9", true},        // two bytes
      {"\xE2\x82\xAC", true},       // three bytes
      {"\xC0\x80", true},           // the two-byte NUL of modified UTF-8
      {"\xF0\x9F\x98\x80", false},  // four bytes: not in modified UTF-8
      {"\xE9", false},              // a lone Latin-1 byte
      {"\xC3", false},              // cut short
      {"\x80", false},              // stray continuation
      {"\xE0\x80\xAF", false},      // overlong
      {"\xC1\xBF", false},          // overlong
  };
  for (const auto& c : cases) EXPECT_EQ(c.valid, IsModifiedUtf8(c.text)) << c.text;
}

}  // namespace
