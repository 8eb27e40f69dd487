// A whole scan driven by one input through the exported native methods: batches of every
// kind in any order, resolution, serialization and the report, on one database.
//
// Input: a sequence of steps, each "#@" followed by one letter and, for the add methods, the
// batch text up to the next "#@". Letters: C addComputer, D addDisk, K addDiskChunk,
// M addVolumeManagerInfo, V addVolume, G addVolumeGroup, F addFileSystem, P addMountpoint,
// S addShare, A addAlias, R resolveDatabase, W serialize, X print. Other letters do nothing.
#include <cstdint>
#include <cstring>
#include <string>

#include "fake_jni.h"
#include "fuzz_support.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"

namespace {

constexpr char kStepMark[] = "#@";
// The add methods by letter, in the order of kNativeAddMethods.
constexpr char kAddLetters[] = "CDKMVGFPSA";
static_assert(sizeof(kAddLetters) - 1 == kNativeAddMethodCount, "one letter per add method");

// Runs one step on handle.
void Step(FakeJni* jni, jlong handle, char letter, const std::string& text) {
  JNIEnv* env = jni->env();
  if (const char* at = letter != '\0' ? std::strchr(kAddLetters, letter) : nullptr) {
    jstring answer =
        kNativeAddMethods[at - kAddLetters].call(env, nullptr, handle, jni->newJavaString(text));
    FUZZ_CHECK(answer != nullptr);
    FUZZ_CHECK(LoadedOrCut(jni->text(answer)));
  } else if (letter == 'R') {
    RESDB_NATIVE_NAME(resolveDatabase)(env, nullptr, handle);
  } else if (letter == 'W') {
    RESDB_NATIVE_NAME(serialize)(env, nullptr, handle);
  } else if (letter == 'X') {
    jstring report = RESDB_NATIVE_NAME(print)(env, nullptr, handle);
    FUZZ_CHECK(report != nullptr);
    FUZZ_CHECK(!jni->text(report).empty());
  }
  FUZZ_CHECK(jni->outstandingChars() == 0);
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzQuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  FakeJni jni;
  jlong handle = RESDB_NATIVE_NAME(create)(jni.env(), nullptr);
  FUZZ_CHECK(handle != 0);
  size_t at = input.find(kStepMark);
  while (at != std::string::npos) {
    const size_t body = at + 2;
    const char letter = body < input.size() ? input[body] : '\0';
    size_t next = input.find(kStepMark, body);
    const size_t text_start = body + 1 < input.size() ? body + 1 : input.size();
    const size_t text_end = next == std::string::npos ? input.size() : next;
    Step(&jni, handle, letter, input.substr(text_start, text_end - text_start));
    at = next;
  }
  RESDB_NATIVE_NAME(destroy)(jni.env(), nullptr, handle);
  return 0;
}
