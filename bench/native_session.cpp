#include "native_session.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "fake_jni.h"
#include "jni/native_methods.h"

namespace {

struct NamedAddMethod {
  const char* name;
  NativeAddMethod call;
};

constexpr NamedAddMethod kAddMethods[] = {
    {"addAlias", RESDB_NATIVE_NAME(addAlias)},
    {"addComputer", RESDB_NATIVE_NAME(addComputer)},
    {"addDisk", RESDB_NATIVE_NAME(addDisk)},
    {"addDiskChunk", RESDB_NATIVE_NAME(addDiskChunk)},
    {"addFileSystem", RESDB_NATIVE_NAME(addFileSystem)},
    {"addMountpoint", RESDB_NATIVE_NAME(addMountpoint)},
    {"addShare", RESDB_NATIVE_NAME(addShare)},
    {"addVolume", RESDB_NATIVE_NAME(addVolume)},
    {"addVolumeGroup", RESDB_NATIVE_NAME(addVolumeGroup)},
    {"addVolumeManagerInfo", RESDB_NATIVE_NAME(addVolumeManagerInfo)},
};

jlong Create() {
  FakeJni jni;
  return RESDB_NATIVE_NAME(create)(jni.env(), nullptr);
}

// Points the process's standard output at fd until destroyed, flushing what the C and C++
// streams hold first so nothing of theirs lands in fd.
class StdoutRedirect {
 public:
  explicit StdoutRedirect(int fd) {
    std::cout.flush();
    std::fflush(stdout);
    saved_ = dup(STDOUT_FILENO);
    if (saved_ >= 0) dup2(fd, STDOUT_FILENO);
  }
  StdoutRedirect(const StdoutRedirect&) = delete;
  StdoutRedirect& operator=(const StdoutRedirect&) = delete;
  ~StdoutRedirect() {
    if (saved_ < 0) return;
    dup2(saved_, STDOUT_FILENO);
    close(saved_);
  }

 private:
  int saved_ = -1;
};

}  // namespace

NativeSession::NativeSession() : handle_(Create()) {}

NativeSession::~NativeSession() {
  FakeJni jni;
  RESDB_NATIVE_NAME(destroy)(jni.env(), nullptr, handle_);
}

NativeAddMethod FindAddMethod(const std::string& method) {
  for (const NamedAddMethod& m : kAddMethods) {
    if (method == m.name) return m.call;
  }
  return nullptr;
}

std::string NativeSession::add(const std::string& method, const std::string& text) {
  NativeAddMethod call = FindAddMethod(method);
  if (call == nullptr) return "unknown method";
  FakeJni jni;
  jstring result = call(jni.env(), nullptr, handle_, jni.newJavaString(text));
  return result != nullptr ? jni.text(result) : std::string("null");
}

int NativeSession::resolveDatabase() {
  FakeJni jni;
  return RESDB_NATIVE_NAME(resolveDatabase)(jni.env(), nullptr, handle_);
}

int NativeSession::serialize(int fd) {
  FakeJni jni;
  StdoutRedirect redirect(fd);
  return RESDB_NATIVE_NAME(serialize)(jni.env(), nullptr, handle_);
}

std::string NativeSession::print() {
  FakeJni jni;
  jstring result = RESDB_NATIVE_NAME(print)(jni.env(), nullptr, handle_);
  // Moved out of the fake virtual machine's string rather than copied: a report of 100 000
  // records is 440 MB, whose copy would cost the process as much as the virtual machine's own.
  return result != nullptr ? jni.takeText(result) : std::string("null");
}

bool IsPrintError(const std::string& result) {
  return result.compare(0, 6, "ERROR ") == 0 || result == "null";
}
