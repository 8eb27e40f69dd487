// Character sources for the tuple reader's tests and fuzz target: a plain stream over a string
// that can fail at a given position, and a descriptor whose every read() comes back short.
#ifndef RESDB_TESTS_SUPPORT_CHAR_SOURCES_H_
#define RESDB_TESTS_SUPPORT_CHAR_SOURCES_H_

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tuple/result_codes.h"
#include "tuple/tuple_stream.h"

// Hands out the characters of text one by one, then CSRM_END_OF_DATA; at position fail_at it
// answers fail_code instead.
class StringStream : public CSRMTupleStream {
 public:
  explicit StringStream(std::string text, size_t fail_at = std::string::npos,
                        unsigned long fail_code = CSRM_READ_FAILED)
      : text_(std::move(text)), fail_at_(fail_at), fail_code_(fail_code) {}
  int IsValid() override { return valid; }
  unsigned long GetNextCharacter(char& c) override {
    if (at == fail_at_) return fail_code_;
    if (at >= text_.size()) return CSRM_END_OF_DATA;
    c = text_[at++];
    return CSRM_OK;
  }
  unsigned long ResetToStart() override { return at = 0; }
  size_t at = 0;
  int valid = 1;

 private:
  std::string text_;
  size_t fail_at_;
  unsigned long fail_code_;
};

// A sequenced-packet socket that already holds text in packets of piece bytes, its writing end
// closed: each read() returns at most one packet. At most about 2 000 packets fit.
class PieceSource {
 public:
  PieceSource(const std::string& text, size_t piece) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) std::abort();
    fd_ = fds[0];
    int room = 1 << 22;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    for (size_t at = 0; at < text.size(); at += piece) {
      const size_t n = std::min(piece, text.size() - at);
      if (send(fds[1], text.data() + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) std::abort();
    }
    close(fds[1]);
  }
  ~PieceSource() { close(fd_); }
  PieceSource(const PieceSource&) = delete;
  PieceSource& operator=(const PieceSource&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

#endif  // RESDB_TESTS_SUPPORT_CHAR_SOURCES_H_
