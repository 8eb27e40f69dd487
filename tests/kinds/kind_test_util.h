// The anonymous temporary file tests/model/reference_reader_test.cpp reads references from.
// Kept only for that test; once it no longer includes this header, delete it.
#ifndef RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_
#define RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace kindtest {

// An anonymous read-write temporary file, closed (and so gone) with the object.
class TempFile {
 public:
  TempFile() : file_(std::tmpfile()) {}
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;
  ~TempFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  int fd() const { return file_ != nullptr ? fileno(file_) : -1; }
  // Appends text at the current offset.
  bool write(const std::string& text) {
    return ::write(fd(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  void rewind() const { ::lseek(fd(), 0, SEEK_SET); }

 private:
  FILE* file_;
};

}  // namespace kindtest

#endif  // RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_
