#include "native_lifecycle.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "db/srm_resource_database.h"
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
    std::ostringstream text;
    if (in && text << in.rdbuf()) batches.push_back({i, text.str()});
  }
  return batches;
}

std::vector<std::string> GoldenScanNames() {
  std::vector<std::string> names;
  if (DIR* dir = opendir(RESDB_GOLDEN_DIR)) {
    while (dirent* e = readdir(dir)) {
      if (e->d_name[0] != '.' && e->d_type == DT_DIR) names.push_back(e->d_name);
    }
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::string GoldenScanInput(const std::string& name) {
  const std::string example = RESDB_EXAMPLES_DIR "/" + name;
  return access(example.c_str(), F_OK) == 0 ? example : RESDB_GOLDEN_DIR "/" + name;
}

int LoadSavedDatabase(jlong handle, const std::string& input) {
  const int fd = open((input + "/database.txt").c_str(), O_RDONLY);
  if (fd < 0) return -1;
  auto* db = reinterpret_cast<SrmResourceDatabase*>(handle);
  const int loaded = db->deserialize(fd, nullptr);
  close(fd);
  db->getThisComputer();  // the add methods learn the host name as they load
  return loaded;
}

std::string CaptureStdoutOf(void (*write)(void*), void* context) {
  std::fflush(stdout);
  const int file = memfd_create("stdout", 0), saved = dup(1);
  const bool swapped = file >= 0 && saved >= 0 && dup2(file, 1) >= 0;
  write(context);
  std::string text;
  if (swapped) {
    dup2(saved, 1);
    text.resize(static_cast<size_t>(lseek(file, 0, SEEK_END)));
    if (pread(file, &text[0], text.size(), 0) != static_cast<ssize_t>(text.size())) text.clear();
  }
  for (int fd : {file, saved}) {
    if (fd >= 0) close(fd);
  }
  return text;
}

namespace {

std::string TextOf(JNIEnv* env, jstring s) {
  const char* chars = s != nullptr ? env->GetStringUTFChars(s, nullptr) : nullptr;
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
    result.added.push_back(
        TextOf(env, kNativeAddMethods[batch.method].call(env, nullptr, handle, text)));
  }
  result.resolved = RESDB_NATIVE_NAME(resolveDatabase)(env, nullptr, handle);
  result.serialized_text = CaptureStdout(
      [&] { result.serialized = RESDB_NATIVE_NAME(serialize)(env, nullptr, handle); });
  result.report = TextOf(env, RESDB_NATIVE_NAME(print)(env, nullptr, handle));
  return result;
}
