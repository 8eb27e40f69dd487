// One add method through the exported native function and a fake JNIEnv, on a new database:
// the batch twice (the second time every record meets its stored twin), then resolution and
// serialization.
//
// Input: byte 0 picks the add method; the rest is the batch text.
#include <cstdint>
#include <cstring>
#include <string>

#include "db/srm_resource_database.h"
#include "fake_jni.h"
#include "fuzz_support.h"
#include "jni/native_methods.h"
#include "native_lifecycle.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  FuzzQuietProcess();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const NativeAddMethod& method = kNativeAddMethods[data[0] % kNativeAddMethodCount];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);

  FakeJni jni;
  jlong handle = RESDB_NATIVE_NAME(create)(jni.env(), nullptr);
  FUZZ_CHECK(handle != 0);
  for (int round = 0; round < 2; ++round) {
    jstring answer = method.call(jni.env(), nullptr, handle, jni.newJavaString(text));
    FUZZ_CHECK(answer != nullptr);
    FUZZ_CHECK(LoadedOrCut(jni.text(answer)));
    FUZZ_CHECK(jni.outstandingChars() == 0);
  }
  auto* db = reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(handle));
  // Between calls no stream is attached.
  FUZZ_CHECK(db->getTupleStream() == nullptr);
  RESDB_NATIVE_NAME(resolveDatabase)(jni.env(), nullptr, handle);
  FuzzMemFile out;
  db->serialize(out.fd(), 0);
  RESDB_NATIVE_NAME(destroy)(jni.env(), nullptr, handle);
  return 0;
}
