// Allocation failures over a whole scan driven through the native methods. For every N the Nth
// allocation of the lifecycle fails (then, in a second sweep, every allocation from the Nth on):
// each call must answer its defined failure result, nothing may crash or leak (every block the
// library allocated is freed once the database is destroyed), and the database must go on
// working once memory is back.
// RESDB_ALLOC_STRIDE=1 (`make alloc-failure`) tries every N; by default every 17th.

#include <cstdlib>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "database_text.h"
#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "model/chunk_cache.h"
#include "native_lifecycle.h"
#include "providerutil.h"
#include "temp_dir.h"

namespace {

// A JNIEnv that forwards to a FakeJni with the switch paused: the virtual machine's own
// allocations are not the library's.
class PausedJni {
 public:
  explicit PausedJni(FakeJni* fake) : table_(*fake->env()->functions) {
    table_.GetStringUTFChars = [](JNIEnv* env, jstring s, jboolean* is_copy) {
      ScopedAllocPause pause;
      return Inner(env)->GetStringUTFChars(s, is_copy);
    };
    table_.ReleaseStringUTFChars = [](JNIEnv* env, jstring s, const char* chars) {
      ScopedAllocPause pause;
      Inner(env)->ReleaseStringUTFChars(s, chars);
    };
    table_.NewStringUTF = [](JNIEnv* env, const char* chars) {
      ScopedAllocPause pause;
      return Inner(env)->NewStringUTF(chars);
    };
    env_.env.functions = &table_;
    env_.inner = fake->env();
  }
  JNIEnv* env() { return &env_.env; }

 private:
  struct Env {
    JNIEnv env;  // first member: a JNIEnv* is an Env*
    JNIEnv* inner;
  };
  static JNIEnv* Inner(JNIEnv* env) { return reinterpret_cast<Env*>(env)->inner; }
  JNINativeInterface_ table_;
  Env env_;
};

// The blocks live counts once the log lines and result records the library handed to the
// utility library, and the chunks kept for the next database, are gone (kept, not leaked).
long LiveAfterClearing(const ScopedLiveBlocks& live) {
  ScopedAllocPause pause;
  ProviderUtil::clearCaptured();
  SrmChunkCache::Drain();
  return live.count();
}

bool IsError(const std::string& report) {
  return report.rfind("ERROR", 0) == 0;
}

class LifecycleAllocFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scan_ = LoadScan(RESDB_SCAN_DIR);
    ASSERT_EQ(kNativeAddMethodCount, static_cast<int>(scan_.size()));
    jlong handle = Create();  // builds the shared key vocabulary before any sweep
    first_ = RunLifecycle(env(), handle, scan_);
    second_ = RunLifecycle(env(), handle, scan_);
    Destroy(handle);
    ASSERT_EQ(std::vector<std::string>(scan_.size(), kSucceeded), first_.added);
    // The sweep is worth only as much as the clean scan exercises: it must be reported.
    ASSERT_EQ(0u, first_.report.rfind("<VALUE.OBJECT>", 0)) << first_.report.substr(0, 80);
  }

  JNIEnv* env() { return jni_.env(); }
  jlong Create() { return RESDB_NATIVE_NAME(create)(env(), nullptr); }
  void Destroy(jlong handle) { RESDB_NATIVE_NAME(destroy)(env(), nullptr, handle); }

  // One lifecycle with arm(n), step by step. While no allocation has failed each step answers
  // as the clean run's; the step in which one fails answers its failure result; later steps
  // any defined result. Then, with memory back, the same database takes the whole scan again,
  // writes a whole that loads back, and reports. Returns whether an allocation failed.
  bool RunArmed(void (*arm)(long), long n) {
    SCOPED_TRACE(n);
    ScopedAllocPause scaffolding;  // only the library's allocations fail
    ScopedLiveBlocks live;
    arm(n);
    jlong handle;
    {
      ScopedAllocResume library;
      handle = Create();
    }
    if (handle == 0) return AllocDisarm();
    bool failed_before = false, batch_lost = false;
    // Whether an allocation failed in the step just run.
    auto failed_now = [&failed_before] {
      const bool in_step = AllocFailedYet() && !failed_before;
      failed_before = AllocFailedYet();
      return in_step;
    };
    for (size_t i = 0; i < scan_.size(); ++i) {
      const bool earlier = failed_before;
      jstring text = env()->NewStringUTF(scan_[i].text.c_str());
      jstring answer;
      {
        ScopedAllocResume library;
        answer = kNativeAddMethods[scan_[i].method].call(env(), nullptr, handle, text);
      }
      const std::string result = answer != nullptr ? fake_.text(answer) : "<null>";
      const bool now = failed_now();
      batch_lost = batch_lost || now || earlier;
      if (!now && !earlier) {
        EXPECT_EQ(first_.added[i], result);
      } else {
        // A tuple the reader could not allocate answers the allocation error, a read that
        // failed the method's collection failure; a staging file whose path cannot be
        // allocated is a file that cannot be opened. A failure the library gets past (a
        // message it could not keep) still answers success.
        EXPECT_TRUE(result == kSucceeded || result == "Memory allocation error" ||
                    result == "The file could not be opened." ||
                    result == "Failed to attach collection stream" ||
                    result.rfind("Failed to collect", 0) == 0)
            << result;
      }
    }
    bool earlier = failed_before;
    int resolved, serialized = 0;
    {
      ScopedAllocResume library;
      resolved = RESDB_NATIVE_NAME(resolveDatabase)(env(), nullptr, handle);
    }
    if (failed_now()) {
      int code = 0;
      reinterpret_cast<SrmResourceDatabase*>(handle)->getLastErrorInfo(&code, nullptr, nullptr);
      EXPECT_EQ(0, resolved);
      EXPECT_EQ(12, code);
    } else if (!earlier) {
      EXPECT_EQ(first_.resolved, resolved);
    }
    earlier = failed_before;
    const std::string text = CaptureStdout([&] {
      ScopedAllocResume library;
      serialized = RESDB_NATIVE_NAME(serialize)(env(), nullptr, handle);
    });
    if (failed_now()) {
      EXPECT_EQ(0, serialized);
    } else if (!earlier) {
      EXPECT_EQ(first_.serialized_text, text);
      EXPECT_EQ(1, serialized);
    }
    earlier = failed_before;
    jstring answer;
    {
      ScopedAllocResume library;
      answer = RESDB_NATIVE_NAME(print)(env(), nullptr, handle);
    }
    const std::string report = answer != nullptr ? fake_.text(answer) : "<null>";
    if (failed_now()) {
      // The report failed, or only the keeping of a log line or result record did.
      EXPECT_TRUE(IsError(report) || (!earlier && report == first_.report)) << report;
    } else {
      EXPECT_TRUE(earlier ? !report.empty() : report == first_.report);
    }
    const bool failed = AllocDisarm();

    // Memory is back. A batch lost the first time arrives after the batches that refer to it,
    // and merging does not relink what they failed to find: the report may then be refused.
    LifecycleResult again = RunLifecycle(env(), handle, scan_);
    EXPECT_EQ(second_.added, again.added);
    EXPECT_EQ(1, again.serialized);
    SrmResourceDatabase reloaded;
    EXPECT_EQ(1, LoadText(&reloaded, again.serialized_text));
    if (batch_lost) {
      EXPECT_TRUE(IsError(again.report) || again.report.rfind("<VALUE.OBJECT>", 0) == 0);
    } else if (reinterpret_cast<SrmResourceDatabase*>(handle)->getErrorList()->getErrorCount()) {
      EXPECT_EQ("ERROR 2", again.report);
    } else {
      EXPECT_EQ(IsError(second_.report), IsError(again.report)) << again.report;
    }
    Destroy(handle);
    EXPECT_EQ(0, LiveAfterClearing(live)) << "blocks the library did not free";
    return failed;
  }

  // RunArmed for N = 0, stride, 2 * stride, ... until a lifecycle runs without a failure.
  void Sweep(void (*arm)(long)) {
    const long before = AllocCount();
    jlong handle = Create();
    RunLifecycle(env(), handle, scan_);
    Destroy(handle);
    const long total = AllocCount() - before;
    const char* stride_text = std::getenv("RESDB_ALLOC_STRIDE");
    const long stride = std::max(1L, stride_text != nullptr ? std::atol(stride_text) : 17);
    long failures = 0;
    for (long n = 0; n <= total && !HasFailure(); n += stride, ++failures) {
      if (!RunArmed(arm, n)) break;
    }
    std::printf("lifecycle allocations: %ld; runs with a failed allocation: %ld (stride %ld)\n",
                total, failures, stride);
    EXPECT_GT(failures, 0);
  }

  static constexpr char kSucceeded[] = "The operation succeeded.";
  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  FakeJni fake_;
  PausedJni jni_{&fake_};
  std::vector<ScanBatch> scan_;
  LifecycleResult first_, second_;  // a clean database after the scan once and twice
};

// Destroying a database whose own bookkeeping cannot be allocated still frees every record.
TEST_F(LifecycleAllocFailureTest, DestroyFreesEverythingWhenMemoryRunsOut) {
  for (void (*arm)(long) : {&AllocFailNth, &AllocFailAfter}) {
    for (long n = 0;; ++n) {
      SCOPED_TRACE(n);
      ScopedLiveBlocks live;
      jlong handle = Create();
      RunLifecycle(env(), handle, scan_);
      RunLifecycle(env(), handle, scan_);  // merged into what the first run left
      arm(n);
      Destroy(handle);
      const bool failed = AllocDisarm();
      EXPECT_EQ(0, LiveAfterClearing(live));
      if (!failed || HasFailure()) break;
    }
  }
}

// Every golden scan, a serialized database's text included, frees each block it allocated once
// its database is destroyed: service groups, the last error's record, merged and withdrawn
// records. The second run is counted, so that what the first builds once for good is not.
TEST_F(LifecycleAllocFailureTest, EveryGoldenScanFreesWhatItAllocated) {
  for (const std::string& name : GoldenScanNames()) {
    SCOPED_TRACE(name);
    const std::string input = GoldenScanInput(name);
    for (int run = 0; run < 2; ++run) {
      ScopedLiveBlocks live;
      jlong handle = Create();
      LoadSavedDatabase(handle, input);
      RunLifecycle(env(), handle, LoadScan(input));
      Destroy(handle);
      EXPECT_TRUE(run == 0 || LiveAfterClearing(live) == 0) << "blocks the library did not free";
    }
  }
}

TEST_F(LifecycleAllocFailureTest, EachSingleFailedAllocationIsReportedAndRecoveredFrom) {
  Sweep(&AllocFailNth);
}

TEST_F(LifecycleAllocFailureTest, FailuresFromTheNthAllocationOnAreReportedAndRecoveredFrom) {
  Sweep(&AllocFailAfter);
}

}  // namespace
