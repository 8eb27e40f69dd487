// The scan's errors: the log line and result each one raises, and which of them keep the
// report from being built.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "report_test_util.h"

namespace {

using namespace report_test;

class ErrorReportsTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetCapture(); }
  void TearDown() override { ProviderUtil::setAvailable(true); }
};

TEST_F(ErrorReportsTest, NoErrorsNothingToSay) {
  TestDb db;
  ReportRun run;
  run->SetDatabase(db.db());
  EXPECT_EQ(0, run->Get_Error_Instances());
  EXPECT_TRUE(LogLines().empty());
  EXPECT_TRUE(ResultLines().empty());
}

// One error at a time: its result code, log level and whether it is fatal.
TEST_F(ErrorReportsTest, EachErrorByCodeAndSeverity) {
  struct {
    int code;
    int severity;
    std::string result;
    int level;
    bool fatal;
  } cases[] = {
      {22, 1, "F_SRMAGENT_ERROR", 1, true},
      {22, 3, "F_SRMAGENT_ERROR", 1, true},
      {22, 4, "W_SRMAGENT_WARNING", 4, false},
      {22, 5, "I_SRMAGENT_INFO", 6, false},
      {22, 6, "F_SRMAGENT_ERROR", 1, false},
      {2000, 5, "F_CANNOT_LOAD_RESDB", 6, false},
      {2001, 4, "W_NEW_FS_FOUND_RUN_DETAILSCAN", 4, false},
      {2002, 2, "W_GIDU_FAILURE", 1, true},
      {3000, 4, "F_INVALID_AGENT_NAME", 4, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.code) + "/" + std::to_string(c.severity));
    ResetCapture();
    TestDb db;
    db.AddHost("h1");
    ASSERT_EQ(1, db.db()->addError("H1", "scan trouble", c.code, c.severity));
    ReportRun run;
    run->SetDatabase(db.db());
    EXPECT_EQ(c.fatal ? 1 : 0, run->Get_Error_Instances());
    const std::string message = ":ErrorCode: " + std::to_string(c.code) + ": scan trouble";
    EXPECT_EQ((std::vector<std::string>{std::to_string(c.level) + "|SrmError|" + message}),
              LogLines());
    EXPECT_EQ((std::vector<std::string>{c.result + "|" + message + "|SrmAgent Error Message"}),
              ResultLines());
  }
}

TEST_F(ErrorReportsTest, GiduNotRespondingCarriesNoMessage) {
  TestDb db;
  db.db()->addError("h", "gidu silent", 2003, 4);
  ReportRun run;
  run->SetDatabase(db.db());
  EXPECT_EQ(0, run->Get_Error_Instances());
  EXPECT_TRUE(Logged(4, "SrmError", ":ErrorCode: 2003: gidu silent"));
  EXPECT_EQ((std::vector<std::string>{"F_GIDU_NOT_RESPONDING||SrmAgent Error Message"}),
            ResultLines());
}

TEST_F(ErrorReportsTest, EveryErrorIsToldInOwnerThenListOrder) {
  TestDb db;
  db.db()->addError("zeta", "z1", 1, 4);
  db.db()->addError("alpha", "a1", 2, 3);
  db.db()->addError("alpha", "a2", 3, 5);
  ReportRun run;
  run->SetDatabase(db.db());
  EXPECT_EQ(1, run->Get_Error_Instances());
  EXPECT_EQ(
      (std::vector<std::string>{"1|SrmError|:ErrorCode: 2: a1", "6|SrmError|:ErrorCode: 3: a2",
                                "4|SrmError|:ErrorCode: 1: z1"}),
      LogLines());
  EXPECT_EQ(3u, ResultLines().size());
}

TEST_F(ErrorReportsTest, WithoutAUtilityObjectOnlyLogs) {
  TestDb db;  // (resets the capture, utility object included)
  ProviderUtil::setAvailable(false);
  db.db()->addError("h", "bad", 5, 2);
  ReportRun run;
  run->SetDatabase(db.db());
  EXPECT_EQ(1, run->Get_Error_Instances());
  EXPECT_EQ((std::vector<std::string>{
                "1|QDX_Report::Get_Error_Instances|Could not create a Utilities object for error "
                "handling",
                "1|SrmError|:ErrorCode: 5: bad"}),
            LogLines());
  EXPECT_TRUE(ResultLines().empty());
}

TEST_F(ErrorReportsTest, OnlySevereErrorsStopTheReport) {
  TestDb db;
  db.AddHost("h1");
  db.db()->addError("h1", "just so you know", 7, 6);
  ReportRun run;
  EXPECT_EQ(1, run.Generate(db.db()));
  EXPECT_TRUE(
      Raised("F_SRMAGENT_ERROR", ":ErrorCode: 7: just so you know", "SrmAgent Error Message"));

  TestDb bad;
  bad.AddHost("h1");
  bad.db()->addError("h1", "Failed to attach collection stream", 22, 2);
  ReportRun refused;
  EXPECT_EQ(0, refused.Generate(bad.db()));
  std::vector<std::string> lines = LogLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ("1|GenerateCIMReports|SrmAgent returned error objects", lines.back());
}

}  // namespace
