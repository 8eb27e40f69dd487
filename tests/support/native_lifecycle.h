// A whole scan driven through the exported native methods, as the Java class drives it: create,
// the add methods batch by batch, resolveDatabase, serialize, print, destroy. A scan is a folder
// of tuple files, one per add method, named after it (addComputer.txt, ...).
#ifndef RESDB_TESTS_SUPPORT_NATIVE_LIFECYCLE_H_
#define RESDB_TESTS_SUPPORT_NATIVE_LIFECYCLE_H_

#include <jni.h>

#include <string>
#include <vector>

// One add method: its name and its exported function.
struct NativeAddMethod {
  const char* name;
  jstring (*call)(JNIEnv*, jobject, jlong, jstring);
};

// The ten add methods in the order a scan is replayed (computers first, aliases last).
constexpr int kNativeAddMethodCount = 10;
extern const NativeAddMethod kNativeAddMethods[kNativeAddMethodCount];

// One batch of a scan: the index of its method in kNativeAddMethods and its text.
struct ScanBatch {
  int method;
  std::string text;
};

// The batches of the folder dir in replay order; methods without a file are skipped.
std::vector<ScanBatch> LoadScan(const std::string& dir);

// The golden scans: the folders of tests/data/golden, by name.
std::vector<std::string> GoldenScanNames();
// A golden scan's input: the example scan of its name, or else its own folder.
std::string GoldenScanInput(const std::string& name);
// Loads the serialized database.txt of the folder input, when it has one, into the database at
// handle, as the replay tool does before the add methods; the loader's result, -1 without one.
int LoadSavedDatabase(jlong handle, const std::string& input);

// What one lifecycle answered.
struct LifecycleResult {
  std::vector<std::string> added;  // the add methods' result texts; "<null>" for null
  int resolved = 0;
  int serialized = 0;
  std::string serialized_text;  // what serialize wrote to standard output
  std::string report;           // print's text
};

// Runs every batch through its add method on handle, then resolveDatabase, serialize (its
// standard output captured) and print.
LifecycleResult RunLifecycle(JNIEnv* env, jlong handle, const std::vector<ScanBatch>& batches);

// What write() wrote to the process's standard output, which goes to an anonymous file
// meanwhile. Not for concurrent use: it swaps descriptor 1 for the whole process.
std::string CaptureStdoutOf(void (*write)(void*), void* context);
template <class Write>
std::string CaptureStdout(Write write) {
  return CaptureStdoutOf([](void* w) { (*static_cast<Write*>(w))(); }, &write);
}

#endif  // RESDB_TESTS_SUPPORT_NATIVE_LIFECYCLE_H_
