// Descriptor sources for the tuple-stream tests: an unlinked temporary file, and a socket that
// delivers its text in packets of a fixed size, so that every read() comes back short.
#ifndef RESDB_TESTS_TUPLE_FD_SOURCES_H_
#define RESDB_TESTS_TUPLE_FD_SOURCES_H_

#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <string>
#include <thread>

#include <gtest/gtest.h>

// An anonymous file in TMPDIR holding text, rewound; the descriptor is closed on destruction.
class TempFile {
 public:
  explicit TempFile(const std::string& text) {
    const char* dir = getenv("TMPDIR");
    std::string path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/tupleXXXXXX";
    fd_ = mkstemp(&path[0]);
    EXPECT_GE(fd_, 0) << path;
    if (fd_ < 0) return;
    unlink(path.c_str());
    EXPECT_EQ(static_cast<ssize_t>(text.size()), write(fd_, text.data(), text.size()));
    lseek(fd_, 0, SEEK_SET);
  }
  ~TempFile() {
    if (fd_ >= 0) close(fd_);
  }
  TempFile(const TempFile&) = delete;
  TempFile& operator=(const TempFile&) = delete;

  int fd() const { return fd_; }
  off_t Offset() const { return lseek(fd_, 0, SEEK_CUR); }

 private:
  int fd_ = -1;
};

// A sequenced-packet socket whose writer thread sends text in pieces of piece bytes and then
// hangs up. Each read() returns at most one piece, so a reader sees only short counts (its
// buffer must hold a whole piece). Closing the read end on destruction releases the writer.
class ShortReadSource {
 public:
  ShortReadSource(const std::string& text, size_t piece) {
    int fds[2];
    EXPECT_EQ(0, socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds));
    read_fd_ = fds[0];
    const int write_fd = fds[1];
    writer_ = std::thread([text, piece, write_fd] {
      for (size_t at = 0; at < text.size(); at += piece) {
        const size_t n = std::min(piece, text.size() - at);
        if (send(write_fd, text.data() + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) break;
      }
      close(write_fd);
    });
  }
  ~ShortReadSource() {
    close(read_fd_);
    writer_.join();
  }
  ShortReadSource(const ShortReadSource&) = delete;
  ShortReadSource& operator=(const ShortReadSource&) = delete;

  int fd() const { return read_fd_; }

 private:
  int read_fd_ = -1;
  std::thread writer_;
};

#endif  // RESDB_TESTS_TUPLE_FD_SOURCES_H_
