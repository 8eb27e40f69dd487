// Databases on separate threads at once, each driven through the native methods from its own
// fake JNIEnv. They share only the key vocabulary and the provider log, so each must end exactly
// as the same scan ends alone. Run under ThreadSanitizer by `make tsan`.
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "database_text.h"
#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"
#include "temp_dir.h"

namespace {

// One scan on a new database: the add answers, resolution, serialized text and report, one
// after the other. Serialization goes to a file of the thread's own, not the shared output.
std::string RunScan(const std::vector<ScanBatch>& scan) {
  FakeJni jni;
  JNIEnv* env = jni.env();
  jlong handle = RESDB_NATIVE_NAME(create)(env, nullptr);
  std::string outcome;
  for (const ScanBatch& batch : scan) {
    outcome += jni.text(kNativeAddMethods[batch.method].call(env, nullptr, handle,
                                                             jni.newJavaString(batch.text))) +
               "\n";
  }
  outcome += std::to_string(RESDB_NATIVE_NAME(resolveDatabase)(env, nullptr, handle)) + "\n";
  int serialized = 0;
  const std::string text =
      SerializedText(reinterpret_cast<SrmResourceDatabase*>(handle), &serialized);
  EXPECT_EQ(1, serialized);
  outcome += text + jni.text(RESDB_NATIVE_NAME(print)(env, nullptr, handle));
  RESDB_NATIVE_NAME(destroy)(env, nullptr, handle);
  return outcome;
}

TEST(ConcurrentDatabasesTest, DatabasesOnSeparateThreadsEndAsOnOne) {
  ScopedTempDir dir;
  ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
  ScopedEnv quiet("RESDB_LOG_STDERR", "0");
  const std::vector<ScanBatch> scan = LoadScan(RESDB_SCAN_DIR);
  ASSERT_EQ(kNativeAddMethodCount, static_cast<int>(scan.size()));
  const std::string alone = RunScan(scan);
  std::vector<std::vector<std::string>> outcomes(4);
  std::vector<std::thread> threads;
  for (auto& mine : outcomes) {
    threads.emplace_back([&scan, &mine] {
      for (int round = 0; round < 10; ++round) mine.push_back(RunScan(scan));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (const auto& mine : outcomes) {
    for (const std::string& outcome : mine) EXPECT_EQ(alone, outcome);
  }
}

}  // namespace
