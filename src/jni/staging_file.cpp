#include "jni/staging_file.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace {

// Appended to the chosen directory; mkstemp replaces the X's.
constexpr char kTemplate[] = "/SRDBRXXXXXX";
// The longest system default, "/var/tmp/"; the buffer is never shorter than it.
constexpr size_t kDefaultDirLength = 9;
// Room for the template and its terminating NUL.
constexpr size_t kTemplateRoom = 16;
static_assert(sizeof(kTemplate) <= kTemplateRoom, "the template must fit its room");

struct FreeDeleter {
  void operator()(char* p) const { std::free(p); }
};

}  // namespace

char* pcopy(char* dst, const char* src) {
  if (src == nullptr) return dst;
  size_t length = std::strlen(src);
  std::memcpy(dst, src, length + 1);
  if (length > 0 && dst[length - 1] == '/') dst[length - 1] = '\0';
  return dst;
}

FILE* mktmpfile(const char* preferredDir) {
  const char* env_dir = std::getenv("TMPDIR");
  size_t t = env_dir ? std::strlen(env_dir) : 0;
  size_t p = preferredDir ? std::strlen(preferredDir) : 0;
  size_t size = std::max({kDefaultDirLength, t, p}) + kTemplateRoom;
  std::unique_ptr<char, FreeDeleter> path(static_cast<char*>(std::malloc(size)));
  if (!path) return nullptr;

  // The environment wins over the caller's directory, the caller's over the system defaults.
  const char* candidates[] = {t > 0 ? env_dir : nullptr, p > 0 ? preferredDir : nullptr,
                              "/var/tmp/", "/tmp"};
  bool found = false;
  for (const char* candidate : candidates) {
    if (candidate == nullptr) continue;
    pcopy(path.get(), candidate);
    if (access(path.get(), W_OK | X_OK) == 0) {
      found = true;
      break;
    }
  }
  if (!found) return nullptr;

  std::strcat(path.get(), kTemplate);
  int fd = mkstemp(path.get());
  if (fd < 0) return nullptr;
  // A file that keeps its name would outlive a crash: refuse it rather than leave it behind.
  if (unlink(path.get()) != 0) {
    close(fd);
    return nullptr;
  }
  FILE* file = fdopen(fd, "w+");
  if (file == nullptr) close(fd);
  return file;
}
