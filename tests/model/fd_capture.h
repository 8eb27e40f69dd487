// CaptureWrites: runs write_to(fd) with the write end of a fresh pipe and returns, through
// *text, everything it wrote; the result is write_to's own. A reader thread drains the pipe,
// so writes of any size complete.
#ifndef RESDB_TESTS_MODEL_FD_CAPTURE_H_
#define RESDB_TESTS_MODEL_FD_CAPTURE_H_

#include <unistd.h>

#include <string>
#include <thread>

template <class WriteTo>
int CaptureWrites(WriteTo write_to, std::string* text) {
  int fds[2];
  if (::pipe(fds) != 0) return -1;
  text->clear();
  std::thread reader([&] {
    char chunk[4096];
    ssize_t n;
    while ((n = ::read(fds[0], chunk, sizeof chunk)) > 0)
      text->append(chunk, static_cast<size_t>(n));
  });
  int result = write_to(fds[1]);
  ::close(fds[1]);
  reader.join();
  ::close(fds[0]);
  return result;
}

#endif  // RESDB_TESTS_MODEL_FD_CAPTURE_H_
