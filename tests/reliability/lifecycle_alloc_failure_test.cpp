// Allocation failures over a whole scan driven through the native methods. For every N, the Nth
// allocation of the lifecycle fails (then, in a second sweep, every allocation from the Nth on):
// each call must answer its defined failure result, nothing may crash or leak (the sanitizer
// build checks leaks at exit), and the database must go on working once memory is back.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "alloc_fault.h"
#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"
#include "temp_dir.h"

namespace {

constexpr char kSucceeded[] = "The operation succeeded.";
constexpr char kNoMemory[] = "Memory allocation error";
constexpr char kNoStagingFile[] = "The file could not be opened.";
constexpr char kAttachFailed[] = "Failed to attach collection stream";

// A JNIEnv that forwards to a FakeJni with the switch paused: the virtual machine's own
// allocations are not the library's, and a real machine reports its failures differently.
class PausedJni {
 public:
  explicit PausedJni(FakeJni* fake) : table_(*fake->env()->functions) {
    table_.GetStringUTFChars = &GetStringUTFChars;
    table_.ReleaseStringUTFChars = &ReleaseStringUTFChars;
    table_.NewStringUTF = &NewStringUTF;
    env_.env.functions = &table_;
    env_.inner = fake->env();
  }
  PausedJni(const PausedJni&) = delete;
  PausedJni& operator=(const PausedJni&) = delete;
  JNIEnv* env() { return &env_.env; }

 private:
  struct Env {
    JNIEnv env;  // first member: a JNIEnv* is an Env*
    JNIEnv* inner;
  };
  static JNIEnv* Inner(JNIEnv* env) { return reinterpret_cast<Env*>(env)->inner; }
  static const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring s, jboolean* is_copy) {
    ScopedAllocPause pause;
    return Inner(env)->GetStringUTFChars(s, is_copy);
  }
  static void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
    ScopedAllocPause pause;
    Inner(env)->ReleaseStringUTFChars(s, chars);
  }
  static jstring JNICALL NewStringUTF(JNIEnv* env, const char* chars) {
    ScopedAllocPause pause;
    return Inner(env)->NewStringUTF(chars);
  }

  JNINativeInterface_ table_;
  Env env_;
};

// Every how many N a sweep tries: RESDB_ALLOC_STRIDE (`make alloc-failure` sets 1, every N);
// by default every 17th, which keeps the sweeps short inside the ordinary test runs.
long SweepStride() {
  const char* text = std::getenv("RESDB_ALLOC_STRIDE");
  long stride = text != nullptr ? std::atol(text) : 17;
  return stride > 0 ? stride : 1;
}

SrmResourceDatabase* Db(jlong handle) {
  return reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(handle));
}

int LastErrorCode(jlong handle) {
  int code = 0;
  Db(handle)->getLastErrorInfo(&code, nullptr, nullptr);
  return code;
}

class LifecycleAllocFailureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    scan_ = LoadScan(RESDB_SCAN_DIR);
    ASSERT_EQ(kNativeAddMethodCount, static_cast<int>(scan_.size()));
    // The shared key vocabulary is built once per process; build it before any sweep.
    jlong handle = Create();
    first_ = RunLifecycle(env(), handle, scan_);
    second_ = RunLifecycle(env(), handle, scan_);
    Destroy(handle);
    ASSERT_EQ(std::vector<std::string>(scan_.size(), kSucceeded), first_.added);
    ASSERT_EQ(1, first_.serialized);
    // The sweep is worth only as much as the clean scan exercises: it must be reported.
    ASSERT_EQ(0u, first_.report.rfind("<VALUE.OBJECT>", 0)) << first_.report.substr(0, 80);
  }

  JNIEnv* env() { return jni_.env(); }
  jlong Create() { return RESDB_NATIVE_NAME(create)(env(), nullptr); }
  void Destroy(jlong handle) { RESDB_NATIVE_NAME(destroy)(env(), nullptr, handle); }

  // The allocations of one clean lifecycle, create and destroy included.
  long CountAllocations() {
    long before = AllocCount();
    jlong handle = Create();
    RunLifecycle(env(), handle, scan_);
    Destroy(handle);
    return AllocCount() - before;
  }

  // One lifecycle with the switch armed by arm(n), step by step. Checks each step's answer:
  // while no allocation has failed it is the clean run's; in the step where one fails, it is
  // the step's failure result; after that, any of its defined results. Then, with memory
  // back, the same database must take the whole scan again and report like a clean database
  // that took it twice. Returns whether an allocation failed.
  bool RunArmed(void (*arm)(long), long n) {
    // Only the library's own allocations fail: the test's are paused, the calls resumed.
    ScopedAllocPause scaffolding;
    SCOPED_TRACE(n);
    arm(n);
    jlong handle;
    {
      ScopedAllocResume library;
      handle = Create();
    }
    if (handle == 0) {
      EXPECT_TRUE(AllocDisarm()) << "create answered 0 with memory to spare";
      return true;
    }
    bool failed_before = false;
    bool batch_lost = false;  // an add method lost (part of) its batch to the failure
    // Whether the step just run saw the failure (or ran after it).
    auto step_failed = [&failed_before] {
      bool now = AllocFailedYet();
      bool in_step = now && !failed_before;
      failed_before = now;
      return in_step;
    };
    for (size_t i = 0; i < scan_.size(); ++i) {
      const ScanBatch& batch = scan_[i];
      const bool earlier = failed_before;
      jstring text = env()->NewStringUTF(batch.text.c_str());
      jstring answer;
      {
        ScopedAllocResume library;
        answer = kNativeAddMethods[batch.method].call(env(), nullptr, handle, text);
      }
      std::string result = answer != nullptr ? fake_.text(answer) : "<null>";
      const bool now = step_failed();
      batch_lost = batch_lost || now || earlier;
      if (!earlier && !now) {
        EXPECT_EQ(first_.added[i], result) << kNativeAddMethods[batch.method].name;
      } else {
        // A tuple the reader could not allocate answers the allocation error, a read that
        // failed the method's collection failure; a staging file whose path cannot be
        // allocated is a file that cannot be opened. A failure the library gets past (a
        // message it could not keep) still answers success.
        EXPECT_TRUE(result == kSucceeded || result == kNoMemory || result == kNoStagingFile ||
                    result == kAttachFailed || result.rfind("Failed to collect", 0) == 0)
            << kNativeAddMethods[batch.method].name << ": " << result;
      }
    }
    {
      const bool earlier = failed_before;
      int resolved;
      {
        ScopedAllocResume library;
        resolved = RESDB_NATIVE_NAME(resolveDatabase)(env(), nullptr, handle);
      }
      if (step_failed()) {
        EXPECT_EQ(0, resolved);
        EXPECT_EQ(12, LastErrorCode(handle));
      } else if (!earlier) {
        EXPECT_EQ(first_.resolved, resolved);
      }
    }
    {
      const bool earlier = failed_before;
      int serialized = 0;
      std::string text = CaptureStdout([&] {
        ScopedAllocResume library;
        serialized = RESDB_NATIVE_NAME(serialize)(env(), nullptr, handle);
      });
      if (step_failed()) {
        EXPECT_EQ(0, serialized);
      } else if (!earlier) {
        EXPECT_EQ(first_.serialized, serialized);
        EXPECT_EQ(first_.serialized_text, text);
      }
    }
    {
      const bool earlier = failed_before;
      jstring answer;
      {
        ScopedAllocResume library;
        answer = RESDB_NATIVE_NAME(print)(env(), nullptr, handle);
      }
      std::string report = answer != nullptr ? fake_.text(answer) : "<null>";
      if (step_failed()) {
        // Either the report failed, or what failed was only the keeping of a log line or a
        // result record by the agent's utility library, and the report is the whole one.
        EXPECT_TRUE(IsError(report) || (!earlier && report == first_.report))
            << "a damaged report despite a failed allocation";
      } else if (!earlier) {
        EXPECT_EQ(first_.report, report);
      } else {
        EXPECT_FALSE(report.empty());
      }
    }
    const bool failed = AllocDisarm();

    // Memory is back: the database takes the scan again, writes a consistent whole (its
    // counts check out, and the text loads into a new database) and reports, unless an error
    // it holds refuses the report. What it holds may differ from a clean database's: a batch
    // that was lost the first time arrives after the batches that refer to it.
    LifecycleResult again = RunLifecycle(env(), handle, scan_);
    EXPECT_EQ(second_.added, again.added);
    EXPECT_EQ(1, again.serialized);
    EXPECT_EQ(1, Reload(again.serialized_text));
    if (batch_lost) {
      // A record that lost its batch arrives after the records that refer to it, and merging
      // does not relink what they failed to find (a volume's volume manager, say): the report
      // may then be refused, but it must be a whole report or an error text.
      EXPECT_TRUE(IsError(again.report) || again.report.rfind("<VALUE.OBJECT>", 0) == 0);
    } else if (Db(handle)->getErrorList()->getErrorCount() == 0) {
      EXPECT_EQ(IsError(second_.report), IsError(again.report)) << again.report;
    } else {
      EXPECT_EQ("ERROR 2", again.report);
    }
    Destroy(handle);
    return failed;
  }

  static bool IsError(const std::string& report) { return report.rfind("ERROR", 0) == 0; }

  // Loads serialized text into a new database; its deserialize result.
  static int Reload(const std::string& text) {
    int fd = memfd_create("reload", 0);
    if (fd < 0 || write(fd, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
      ADD_FAILURE() << "cannot stage the text";
      if (fd >= 0) close(fd);
      return -1;
    }
    lseek(fd, 0, SEEK_SET);
    SrmResourceDatabase db;
    int result = db.deserialize(fd, nullptr);
    close(fd);
    return result;
  }

  // Runs RunArmed for N = 0, stride, 2 * stride, ... until a lifecycle runs without a failure
  // (or the failures turn fatal). Returns the number of lifecycles in which one failed.
  long Sweep(void (*arm)(long)) {
    const long total = CountAllocations();
    EXPECT_GT(total, 0);
    const long stride = SweepStride();
    long failures = 0;
    for (long n = 0; n <= total; n += stride) {
      if (!RunArmed(arm, n)) break;
      ++failures;
      if (HasFatalFailure() || HasFailure()) break;
    }
    RecordProperty("allocations", static_cast<int>(total));
    RecordProperty("failing_runs", static_cast<int>(failures));
    std::printf("lifecycle allocations: %ld; runs with a failed allocation: %ld (stride %ld)\n",
                total, failures, stride);
    return failures;
  }

  ScopedTempDir dir_;
  ScopedEnv tmpdir_{"TMPDIR", dir_.path().c_str()};
  FakeJni fake_;
  PausedJni jni_{&fake_};
  std::vector<ScanBatch> scan_;
  LifecycleResult first_;   // a clean database after the scan
  LifecycleResult second_;  // the same database after the scan a second time
};

TEST_F(LifecycleAllocFailureTest, EachSingleFailedAllocationIsReportedAndRecoveredFrom) {
  EXPECT_GT(Sweep(&AllocFailNth), 0);
}

TEST_F(LifecycleAllocFailureTest, FailuresFromTheNthAllocationOnAreReportedAndRecoveredFrom) {
  EXPECT_GT(Sweep(&AllocFailAfter), 0);
}

}  // namespace
