// The temporary file tests/model/reference_reader_test.cpp reads from; delete this header once
// that test no longer includes it.
#ifndef RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_
#define RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_

#include <unistd.h>

#include <cstdio>
#include <string>

#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace kindtest {

// An anonymous read-write temporary file, gone when the object closes it.
struct TempFile {
  FILE* file = std::tmpfile();
  ~TempFile() { std::fclose(file); }
  int fd() const { return fileno(file); }
  bool write(const std::string& text) {
    return ::write(fd(), text.data(), text.size()) == static_cast<ssize_t>(text.size());
  }
  void rewind() const { ::lseek(fd(), 0, SEEK_SET); }
};

}  // namespace kindtest

#endif  // RESDB_TESTS_KINDS_KIND_TEST_UTIL_H_
