// The tuple reader, both grammars, over a descriptor stream with a small buffer whose reads
// come back short, checked against the same reader over a plain character source; tuples also
// through a buffer of 256 bytes with the lines of a reference's shape taken straight from it.
//
// Input: byte 0 picks the stream's buffer size (1 to 16), byte 1 the size of the pieces the
// descriptor delivers (1 to the buffer size), byte 2 the grammar (even: tuples, odd: raw
// texts); the rest is the tuple text.
#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "char_sources.h"
#include "fuzz_support.h"
#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace {

// The most packets a socket is asked to hold.
constexpr size_t kMaxPieces = 2048;
// The buffer, and the packets, of the run that takes reference lines.
constexpr size_t kLargePiece = 256;

// Everything a reader hands out, call by call, until it stops answering 0; with references, a
// line the reader takes as a reference line counts as the tuple of its two elements.
std::vector<std::string> ReadAll(CSRMTupleStream* stream, bool raw, bool references = false) {
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
      std::string_view type, id;
      if (references && reader.ReadReferenceLine(&type, &id)) {
        const std::string t = "\"Type=" + std::string(type) + "\"";
        const std::string i = "\"Id=" + std::string(id) + "\"";
        calls.push_back("0 " + std::to_string(t.size()) + ":" + t + "|" + std::to_string(i.size()) +
                        ":" + i + "|");
        continue;
      }
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

  if (!raw) {
    PieceSource large_pieces(text, kLargePiece);
    CSRMTupleFDStream large;
    FUZZ_CHECK(large.SetBufferSize(static_cast<int>(kLargePiece)) == CSRM_OK);
    FUZZ_CHECK(large.SetFileDescriptor(large_pieces.fd()) == CSRM_OK);
    FUZZ_CHECK(ReadAll(&large, false, true) == expected);
  }
  return 0;
}
