#include "native_lifecycle.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "jni/native_methods.h"

#define RESDB_ADD_METHOD(name) \
  { #name, &RESDB_NATIVE_NAME(name) }
const NativeAddMethod kNativeAddMethods[kNativeAddMethodCount] = {
    RESDB_ADD_METHOD(addComputer),   RESDB_ADD_METHOD(addDisk),
    RESDB_ADD_METHOD(addDiskChunk),  RESDB_ADD_METHOD(addVolumeManagerInfo),
    RESDB_ADD_METHOD(addVolume),     RESDB_ADD_METHOD(addVolumeGroup),
    RESDB_ADD_METHOD(addFileSystem), RESDB_ADD_METHOD(addMountpoint),
    RESDB_ADD_METHOD(addShare),      RESDB_ADD_METHOD(addAlias),
};
#undef RESDB_ADD_METHOD

std::vector<ScanBatch> LoadScan(const std::string& dir) {
  std::vector<ScanBatch> batches;
  for (int i = 0; i < kNativeAddMethodCount; ++i) {
    std::ifstream in(dir + "/" + kNativeAddMethods[i].name + ".txt", std::ios::binary);
    if (!in) continue;
    std::ostringstream text;
    text << in.rdbuf();
    batches.push_back({i, text.str()});
  }
  return batches;
}

std::string CaptureStdoutOf(void (*write)(void*), void* context) {
  std::fflush(stdout);
  int file = memfd_create("stdout", 0);
  int saved = dup(1);
  if (file < 0 || saved < 0 || dup2(file, 1) < 0) {
    if (file >= 0) close(file);
    if (saved >= 0) close(saved);
    write(context);
    return std::string();
  }
  write(context);
  dup2(saved, 1);
  close(saved);
  std::string text;
  char chunk[4096];
  ssize_t n;
  lseek(file, 0, SEEK_SET);
  while ((n = read(file, chunk, sizeof chunk)) > 0) text.append(chunk, static_cast<size_t>(n));
  close(file);
  return text;
}

namespace {

// A string made by the native methods, as text; null (an exception pending) is "<null>".
std::string TextOf(JNIEnv* env, jstring s) {
  if (s == nullptr) return "<null>";
  const char* chars = env->GetStringUTFChars(s, nullptr);
  if (chars == nullptr) return "<null>";
  std::string text(chars);
  env->ReleaseStringUTFChars(s, chars);
  return text;
}

}  // namespace

LifecycleResult RunLifecycle(JNIEnv* env, jlong handle, const std::vector<ScanBatch>& batches) {
  LifecycleResult result;
  for (const ScanBatch& batch : batches) {
    jstring text = env->NewStringUTF(batch.text.c_str());
    jstring answer = kNativeAddMethods[batch.method].call(env, nullptr, handle, text);
    result.added.push_back(TextOf(env, answer));
  }
  result.resolved = RESDB_NATIVE_NAME(resolveDatabase)(env, nullptr, handle);
  result.serialized_text = CaptureStdout(
      [&] { result.serialized = RESDB_NATIVE_NAME(serialize)(env, nullptr, handle); });
  result.report = TextOf(env, RESDB_NATIVE_NAME(print)(env, nullptr, handle));
  return result;
}
