// The tuple reader, both grammars, over a descriptor stream with a small buffer whose reads
// come back short, checked against the same reader over a plain character source.
//
// Input: byte 0 picks the stream's buffer size (1 to 16), byte 1 the size of the pieces the
// descriptor delivers (1 to the buffer size), byte 2 the grammar (even: tuples, odd: raw
// texts); the rest is the tuple text.
#include <sys/socket.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace {

// Hands out the characters of a string one by one, then CSRM_END_OF_DATA.
class StringStream : public CSRMTupleStream {
 public:
  explicit StringStream(const std::string& text) : text_(text) {}
  int IsValid() override { return 1; }
  unsigned long GetNextCharacter(char& c) override {
    if (at_ >= text_.size()) return CSRM_END_OF_DATA;
    c = text_[at_++];
    return CSRM_OK;
  }
  unsigned long ResetToStart() override {
    at_ = 0;
    return CSRM_OK;
  }

 private:
  const std::string& text_;
  size_t at_ = 0;
};

// The most packets a socket is asked to hold (it holds somewhat more with the larger send
// buffer asked for below).
constexpr size_t kMaxPieces = 2048;

// A descriptor whose every read() returns at most one piece: a sequenced-packet socket that
// already holds the whole text in pieces, its writing end closed. text must not need more
// than kMaxPieces pieces.
class PieceSource {
 public:
  PieceSource(const std::string& text, size_t piece) {
    int fds[2];
    if (socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds) != 0) std::abort();
    read_fd_ = fds[0];
    int room = 1 << 22;
    setsockopt(fds[1], SOL_SOCKET, SO_SNDBUF, &room, sizeof room);
    for (size_t at = 0; at < text.size(); at += piece) {
      size_t n = std::min(piece, text.size() - at);
      if (send(fds[1], text.data() + at, n, MSG_NOSIGNAL) != static_cast<ssize_t>(n)) std::abort();
    }
    close(fds[1]);
  }
  ~PieceSource() { close(read_fd_); }
  PieceSource(const PieceSource&) = delete;
  PieceSource& operator=(const PieceSource&) = delete;
  int fd() const { return read_fd_; }

 private:
  int read_fd_ = -1;
};

// Everything a reader hands out, call by call, until it stops answering 0.
std::vector<std::string> ReadAll(CSRMTupleStream* stream, bool raw) {
  CSRMReportTupleStreamReader reader;
  FUZZ_CHECK(reader.SetTupleStream(stream) == CSRM_OK);
  std::vector<std::string> calls;
  for (;;) {
    unsigned long rc;
    std::string seen;
    if (raw) {
      std::string text = "unchanged";
      rc = reader.GetNextTuple(&text);
      if (rc == CSRM_READ_FAILED) FUZZ_CHECK(text == "unchanged");
      if (rc == CSRM_END_OF_DATA) FUZZ_CHECK(text.empty());
      seen = text;
    } else {
      CSRMReportTuple* tuple = nullptr;
      rc = reader.GetNextTuple(&tuple);
      std::unique_ptr<CSRMReportTuple> owned(tuple);
      FUZZ_CHECK((rc == CSRM_OK || rc == CSRM_END_OF_DATA) == (tuple != nullptr));
      std::vector<std::string> elements;
      if (tuple != nullptr) FUZZ_CHECK(tuple->getAllElements(&elements) == CSRM_OK);
      if (rc == CSRM_END_OF_DATA) FUZZ_CHECK(elements.empty());
      for (const std::string& e : elements) seen += std::to_string(e.size()) + ":" + e + "|";
    }
    calls.push_back(std::to_string(rc) + " " + seen);
    if (rc != CSRM_OK) {
      // Ended or failed for good: the next call says so at once.
      CSRMReportTuple* tuple = nullptr;
      unsigned long again = reader.GetNextTuple(&tuple);
      FUZZ_CHECK(tuple == nullptr);
      FUZZ_CHECK(again == (rc == CSRM_END_OF_DATA ? CSRM_END_OF_DATA : CSRM_BAD_STATE));
      break;
    }
  }
  return calls;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  const int buffer_size = data[0] % 16 + 1;
  const size_t piece = data[1] % buffer_size + 1;
  const bool raw = data[2] % 2 == 1;
  // Each read takes one whole piece, so pieces fit the buffer; the socket holds so many.
  const size_t length = std::min(size - 3, kMaxPieces * piece);
  const std::string text(reinterpret_cast<const char*>(data) + 3, length);

  StringStream plain(text);
  const std::vector<std::string> expected = ReadAll(&plain, raw);

  PieceSource source(text, piece);
  CSRMTupleFDStream stream;
  FUZZ_CHECK(stream.SetBufferSize(buffer_size) == CSRM_OK);
  FUZZ_CHECK(stream.SetFileDescriptor(source.fd()) == CSRM_OK);
  FUZZ_CHECK(ReadAll(&stream, raw) == expected);
  return 0;
}
