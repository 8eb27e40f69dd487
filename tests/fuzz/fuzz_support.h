// What the fuzz targets share: a quiet process (standard output to /dev/null, the provider
// log kept off standard error) and anonymous in-memory files to hand text to a descriptor.
#ifndef RESDB_TESTS_FUZZ_FUZZ_SUPPORT_H_
#define RESDB_TESTS_FUZZ_FUZZ_SUPPORT_H_

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// Serialized text goes to descriptor 1 and the report logs to standard error: neither may
// flood the fuzzer's own output (which is on standard error).
inline void FuzzQuietProcess() {
  setenv("RESDB_LOG_STDERR", "0", 1);
  int null_fd = open("/dev/null", O_WRONLY);
  if (null_fd >= 0) {
    dup2(null_fd, 1);
    close(null_fd);
  }
}

// An anonymous file holding text, rewound; closed when the object goes.
class FuzzMemFile {
 public:
  explicit FuzzMemFile(const std::string& text) : fd_(memfd_create("fuzz", 0)) {
    if (fd_ < 0) std::abort();
    size_t done = 0;
    while (done < text.size()) {
      ssize_t n = write(fd_, text.data() + done, text.size() - done);
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    lseek(fd_, 0, SEEK_SET);
  }
  FuzzMemFile() : FuzzMemFile(std::string()) {}
  ~FuzzMemFile() { close(fd_); }
  FuzzMemFile(const FuzzMemFile&) = delete;
  FuzzMemFile& operator=(const FuzzMemFile&) = delete;
  int fd() const { return fd_; }
  // Everything the file holds now.
  std::string contents() const {
    std::string text(static_cast<size_t>(lseek(fd_, 0, SEEK_END)), '\0');
    if (pread(fd_, &text[0], text.size(), 0) != static_cast<ssize_t>(text.size())) std::abort();
    return text;
  }

 private:
  int fd_;
};

// Stops the run with a message when a property the target checks does not hold.
#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// With memory and a staging directory to spare, a batch loads to its end, or it is cut
// inside a record and answers its method's collection failure.
inline bool LoadedOrCut(const std::string& answer) {
  return answer == "The operation succeeded." || answer.rfind("Failed to collect", 0) == 0;
}

#endif  // RESDB_TESTS_FUZZ_FUZZ_SUPPORT_H_
