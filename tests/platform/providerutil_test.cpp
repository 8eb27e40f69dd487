// Tests of the provider utility library stand-in: log lines kept and echoed, result records
// kept, the capture limit, availability, and logging from several threads at once.
#include "providerutil.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

namespace {

const char kComponent[] = "QDX_SRMAgentAdapter";
const char kBundle[] = "com.orv.vimbrel.mgmt.agent.result.resources.resultStatus";

// Each test starts with empty stores, the echo silenced and the utility available.
class ProviderUtilTest : public ::testing::Test {
 protected:
  void SetUp() override {
    setenv("RESDB_LOG_STDERR", "0", 1);
    ProviderUtil::setAvailable(true);
    ProviderUtil::clearCaptured();
  }
  void TearDown() override {
    ProviderUtil::setAvailable(true);
    ProviderUtil::clearCaptured();
  }
};

TEST_F(ProviderUtilTest, LogLinesAreKeptAsGiven) {
  EXPECT_EQ(prv_log(PRV_LOG_ERROR, kComponent, "Initialize()", "Class name is blank"), 0);
  EXPECT_EQ(prv_log(PRV_LOG_INFO, nullptr, nullptr, nullptr), 0);
  std::vector<ProviderLogLine> lines = ProviderUtil::getLogLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].level, 1);
  EXPECT_EQ(lines[0].component, kComponent);
  EXPECT_EQ(lines[0].function, "Initialize()");
  EXPECT_EQ(lines[0].message, "Class name is blank");
  EXPECT_EQ(lines[1].level, 6);
  EXPECT_EQ(lines[1].component, "");
  EXPECT_EQ(lines[1].message, "");
}

TEST_F(ProviderUtilTest, EchoIsOnePlainLinePerMessage) {
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

TEST_F(ProviderUtilTest, ResultsAreKeptWithTheirArguments) {
  ProviderUtil* utility = ProviderUtil::getInstance("");
  ASSERT_NE(utility, nullptr);
  EXPECT_EQ(ProviderUtil::getInstance("another provider"), utility);

  Result* result = new Result("F_REPORT_CONV_FAILURE", kBundle);
  result->addArg("Get_Disk_Instances", "FailurePoint");
  EXPECT_EQ(utility->storeResult(result), 0);
  EXPECT_EQ(utility->storeResult(nullptr), -1);

  std::vector<Result> results = ProviderUtil::getResults();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].getCode(), "F_REPORT_CONV_FAILURE");
  EXPECT_EQ(results[0].getBundle(), kBundle);
  ASSERT_EQ(results[0].getArgs().size(), 1u);
  EXPECT_EQ(results[0].getArgs()[0].value, "Get_Disk_Instances");
  EXPECT_EQ(results[0].getArgs()[0].label, "FailurePoint");

  ProviderUtil::clearCaptured();
  EXPECT_TRUE(ProviderUtil::getResults().empty());
}

TEST_F(ProviderUtilTest, UnavailableUtilityIsNull) {
  ProviderUtil::setAvailable(false);
  EXPECT_EQ(ProviderUtil::getInstance("x"), nullptr);
  ProviderUtil::setAvailable(true);
  EXPECT_NE(ProviderUtil::getInstance("x"), nullptr);
}

TEST_F(ProviderUtilTest, StoresKeepOnlyTheMostRecentEntries) {
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

TEST_F(ProviderUtilTest, ConcurrentLoggingLosesAndMixesNothing) {
  const int kThreads = 4;
  const int kPerThread = 500;
  setenv("RESDB_LOG_STDERR", "1", 1);  // set before the threads start
  testing::internal::CaptureStderr();
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      ProviderUtil* utility = ProviderUtil::getInstance("provider");
      for (int i = 0; i < kPerThread; ++i) {
        std::string message = std::to_string(t) + ":" + std::to_string(i);
        prv_log(PRV_LOG_INFO, kComponent, "worker", message.c_str());
        Result* result = new Result("I_SRMAGENT_INFO", kBundle);
        result->addArg(message, "SrmAgent Error Message");
        utility->storeResult(result);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  std::string echoed = testing::internal::GetCapturedStderr();

  // Every echoed line is whole.
  size_t echoedLines = 0;
  for (size_t start = 0; start < echoed.size(); ++echoedLines) {
    size_t end = echoed.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    std::string line = echoed.substr(start, end - start);
    EXPECT_EQ(line.rfind("[6] QDX_SRMAgentAdapter worker: ", 0), 0u) << line;
    EXPECT_EQ(line.find('[', 1), std::string::npos) << line;
    start = end + 1;
  }
  EXPECT_EQ(echoedLines, static_cast<size_t>(kThreads * kPerThread));

  // Every line arrived whole, and each thread's lines in the order it logged them.
  std::vector<int> next(kThreads, 0);
  std::vector<ProviderLogLine> lines = ProviderUtil::getLogLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kPerThread));
  for (const ProviderLogLine& line : lines) {
    size_t colon = line.message.find(':');
    ASSERT_NE(colon, std::string::npos) << line.message;
    int t = std::stoi(line.message.substr(0, colon));
    ASSERT_TRUE(t >= 0 && t < kThreads);
    EXPECT_EQ(std::stoi(line.message.substr(colon + 1)), next[t]++);
    EXPECT_EQ(line.function, "worker");
  }
  EXPECT_EQ(ProviderUtil::getResults().size(), static_cast<size_t>(kThreads * kPerThread));
}

}  // namespace
