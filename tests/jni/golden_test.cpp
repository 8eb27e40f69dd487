// Golden scans: each folder of tests/data/golden is a scan replayed through the native methods
// as the replay tool drives it (the add methods in their order, resolveDatabase, serialize,
// print). What it gives is compared byte for byte with the folder's expected files:
//   expected.db   what serialize wrote (a serialized database loaded again must write the same,
//                 or expected.reload.db where it does not)
//   expected.xml  what print answered (the machine's host name written as @HOST@)
//   expected.log  each call's result, then the log lines and result records of the provider
//   expected.cluster.xml  for a cluster database, its cluster report
// A folder's input is its own tuple files, a serialized database.txt (the only way scanner
// errors, cluster headers and virtual servers reach the library), or, for a folder named after
// an example scan, that example. RESDB_UPDATE_GOLDEN=1 (`make golden`) rewrites the expected
// files from what the library gives now.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cimxml/marshall.h"
#include "cimxml/sbuf.h"
#include "database_text.h"
#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"
#include "providerutil.h"
#include "report/qdx_report.h"

namespace {

// Compares text with the expected file, or rewrites the file when updating. An empty expected
// reload file is not kept: the reload then gives the first text again.
void Check(const std::string& dir, const std::string& name, const std::string& text) {
  const std::string path = dir + "/" + name;
  if (const char* update = std::getenv("RESDB_UPDATE_GOLDEN"); update && *update == '1') {
    if (text.empty() && name == "expected.reload.db") {
      std::remove(path.c_str());
    } else {
      std::ofstream(path, std::ios::binary) << text;
    }
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in || text.empty()) << path << " is missing (make golden writes it)";
  std::ostringstream expected;
  expected << in.rdbuf();
  EXPECT_EQ(expected.str(), text) << path << " differs (after an intended change: make golden)";
}

// The report with this machine's name (each reference's HOST element) made neutral.
std::string Neutral(std::string report) {
  char host[256] = {};
  gethostname(host, sizeof host - 1);
  const std::string from = "<HOST>" + std::string(host) + "</HOST>", to = "<HOST>@HOST@</HOST>";
  for (size_t at = 0; (at = report.find(from, at)) != std::string::npos; at += to.size())
    report.replace(at, from.size(), to);
  return report;
}

// What the provider kept since the last call, one line each, then forgotten.
std::string TakeCaptured() {
  std::string text;
  for (const ProviderLogLine& l : ProviderUtil::getLogLines()) {
    text += "[" + std::to_string(l.level) + "] " + l.component + " " + l.function + ": " +
            l.message + "\n";
  }
  for (const Result& r : ProviderUtil::getResults()) {
    text += "result " + r.getCode() + " " + r.getBundle() + ":";
    for (const Result::Arg& a : r.getArgs()) text += " [" + a.value + "|" + a.label + "]";
    text += "\n";
  }
  ProviderUtil::clearCaptured();
  return text;
}

// The cluster report of db as CIM-XML, or the reason there is none.
std::string ClusterReport(SrmResourceDatabase* db) {
  QDX_Report report;
  if (!report.GenerateCIMReports(db, "cluster")) return "not generated\n";
  std::unique_ptr<nmspc_cim::CCIMList, void (*)(nmspc_cim::CCIMList*)> list(
      report.GetReport(), nmspc_cim::cim_freeInstanceList);
  std::unique_ptr<sbuf, SbufDeleter> buffer(sbufCreate(4096));
  if (list == nullptr || marshallInstanceList(buffer.get(), list.get(), 0) != 0) return "failed\n";
  return sbufGetString(buffer.get());
}

class GoldenScanTest : public ::testing::TestWithParam<std::string> {};

TEST_P(GoldenScanTest, GivesItsExpectedOutputs) {
  const std::string dir = RESDB_GOLDEN_DIR "/" + GetParam();
  const std::string input = GoldenScanInput(GetParam());
  FakeJni jni;
  JNIEnv* env = jni.env();
  jlong handle = RESDB_NATIVE_NAME(create)(env, nullptr);
  ASSERT_NE(0, handle);
  auto* db = reinterpret_cast<SrmResourceDatabase*>(handle);
  ProviderUtil::clearCaptured();

  std::string log;
  std::vector<ScanBatch> batches = LoadScan(input);
  if (int loaded = LoadSavedDatabase(handle, input); loaded >= 0) {
    log += "deserialize: " + std::to_string(loaded) + "\n";
  }
  LifecycleResult result = RunLifecycle(env, handle, batches);
  for (size_t i = 0; i < batches.size(); ++i) {
    log += std::string(kNativeAddMethods[batches[i].method].name) + ": " + result.added[i] + "\n";
  }
  log += "resolveDatabase: " + std::to_string(result.resolved) + "\n";
  log += "serialize: " + std::to_string(result.serialized) + "\n";
  log += TakeCaptured();
  Check(dir, "expected.db", result.serialized_text);
  Check(dir, "expected.xml", Neutral(result.report));
  if (!db->cluster_name.empty()) Check(dir, "expected.cluster.xml", Neutral(ClusterReport(db)));
  log += TakeCaptured();
  Check(dir, "expected.log", log);
  RESDB_NATIVE_NAME(destroy)(env, nullptr, handle);

  // The serialized database loads back whole and writes the same text again.
  SrmResourceDatabase reloaded;
  EXPECT_EQ(1, LoadText(&reloaded, result.serialized_text));
  std::string again = CaptureStdout([&] { reloaded.serialize(1, 0); });
  Check(dir, "expected.reload.db", again == result.serialized_text ? "" : again);
  ProviderUtil::clearCaptured();
}

INSTANTIATE_TEST_SUITE_P(Scans, GoldenScanTest, ::testing::ValuesIn(GoldenScanNames()),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '-', '_');
                           return name;
                         });

}  // namespace
