// Databases on separate threads at the same time, each driven through the native methods
// from its own fake JNIEnv. They share nothing but the key vocabulary (and the provider log),
// so each must end exactly as the same scan ends on a single thread. Run under
// ThreadSanitizer by `make tsan`.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <string>
#include <thread>
#include <vector>

#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"
#include "temp_dir.h"

namespace {

constexpr int kThreads = 4;
constexpr int kRounds = 10;

// What one database ends with after the scan: the add answers, the resolution, the serialized
// text and the report.
struct Outcome {
  std::vector<std::string> added;
  int resolved = 0;
  std::string serialized;
  std::string report;
};

// One scan on a new database. Serialization goes to a file of this thread's own: the native
// method would share the process's standard output.
Outcome RunScan(const std::vector<ScanBatch>& scan) {
  FakeJni jni;
  JNIEnv* env = jni.env();
  Outcome outcome;
  jlong handle = RESDB_NATIVE_NAME(create)(env, nullptr);
  for (const ScanBatch& batch : scan) {
    jstring answer =
        kNativeAddMethods[batch.method].call(env, nullptr, handle, jni.newJavaString(batch.text));
    outcome.added.push_back(answer != nullptr ? jni.text(answer) : "<null>");
  }
  outcome.resolved = RESDB_NATIVE_NAME(resolveDatabase)(env, nullptr, handle);
  int fd = memfd_create("serialized", 0);
  auto* db = reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(handle));
  if (fd >= 0 && db->serialize(fd, 0) == 1) {
    char chunk[4096];
    ssize_t n;
    off_t at = 0;
    while ((n = pread(fd, chunk, sizeof chunk, at)) > 0) {
      outcome.serialized.append(chunk, static_cast<size_t>(n));
      at += n;
    }
  }
  if (fd >= 0) close(fd);
  jstring report = RESDB_NATIVE_NAME(print)(env, nullptr, handle);
  outcome.report = report != nullptr ? jni.text(report) : "<null>";
  RESDB_NATIVE_NAME(destroy)(env, nullptr, handle);
  return outcome;
}

TEST(ConcurrentDatabasesTest, DatabasesOnSeparateThreadsEndAsOnOne) {
  ScopedTempDir dir;
  ScopedEnv tmpdir("TMPDIR", dir.path().c_str());
  ScopedEnv quiet("RESDB_LOG_STDERR", "0");
  const std::vector<ScanBatch> scan = LoadScan(RESDB_SCAN_DIR);
  ASSERT_EQ(kNativeAddMethodCount, static_cast<int>(scan.size()));
  const Outcome alone = RunScan(scan);
  ASSERT_FALSE(alone.serialized.empty());

  std::vector<std::vector<Outcome>> outcomes(kThreads);
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&scan, &outcomes, t] {
      for (int round = 0; round < kRounds; ++round) outcomes[t].push_back(RunScan(scan));
    });
  }
  for (std::thread& thread : threads) thread.join();
  for (int t = 0; t < kThreads; ++t) {
    for (const Outcome& outcome : outcomes[t]) {
      EXPECT_EQ(alone.added, outcome.added) << "thread " << t;
      EXPECT_EQ(alone.resolved, outcome.resolved) << "thread " << t;
      EXPECT_EQ(alone.serialized, outcome.serialized) << "thread " << t;
      EXPECT_EQ(alone.report, outcome.report) << "thread " << t;
    }
  }
}

}  // namespace
