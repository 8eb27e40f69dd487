// CSRMReportTupleStreamReader: cuts the characters of a CSRMTupleStream into tuples by the
// tuple grammar (elements end at commas outside quotes, a tuple at ';' right after a comma) or
// into raw tuple texts. The stream is borrowed and must outlive the reader (or its replacement
// by SetTupleStream): a tuple read from a descriptor stream may view the stream's buffer (lent
// text, see ReadNextTuple) until the reader reads into another tuple, takes another stream or
// ends, which first copy the text into the tuple. While a tuple views it, nothing but the
// reader may take characters from the stream.
#ifndef RESDB_TUPLE_TUPLE_READER_H_
#define RESDB_TUPLE_TUPLE_READER_H_

#include <string>
#include <string_view>

#include "tuple/report_tuple.h"
#include "tuple/tuple_stream.h"

class CSRMReportTupleStreamReader {
 public:
  enum class State { Start, Blank, Unquoted, Quoted, AfterComma, Ended, Failed };

  CSRMReportTupleStreamReader() = default;
  CSRMReportTupleStreamReader(const CSRMReportTupleStreamReader&) = delete;
  CSRMReportTupleStreamReader& operator=(const CSRMReportTupleStreamReader&) = delete;
  // A tuple that still views the stream's buffer gets a copy of its text (or is emptied when
  // none can be made).
  virtual ~CSRMReportTupleStreamReader();

  // Reads from stream (not owned, not rewound) from now on, in state Start.
  // CSRM_NULL_ARGUMENT for null, CSRM_INVALID_STREAM when stream->IsValid() is 0, CSRM_NO_MEMORY
  // when a tuple viewing the old stream's buffer could not get a copy (the reader is unchanged).
  unsigned long SetTupleStream(CSRMTupleStream* stream);

  // Reads the next tuple and hands it over through *tuple; the caller deletes it.
  // 0: a tuple was read. CSRM_END_OF_DATA at a clean end: an empty tuple is handed over
  // (the first time only). CSRM_READ_FAILED: input ended inside a tuple or the stream failed;
  // nothing is handed over and the reader has failed. CSRM_BAD_STATE once failed or without a
  // stream. CSRM_NO_MEMORY when no tuple could be allocated. CSRM_NULL_ARGUMENT for null.
  unsigned long GetNextTuple(CSRMReportTuple** tuple);
  // Reads the next tuple into *tuple (not null), which is emptied first; its buffers are
  // reused, so a caller that reads many tuples through one allocates next to nothing. A tuple
  // that lies whole in a descriptor stream's buffer is not copied: *tuple views it there until
  // the reader reads into another tuple (the text is copied into *tuple first), takes another
  // stream, or ends. Results as above; whenever the result is not 0 the tuple is left empty,
  // except for CSRM_BAD_STATE and CSRM_NULL_ARGUMENT, which leave it as it was.
  unsigned long ReadNextTuple(CSRMReportTuple* tuple);
  // Reads the next tuple when it has the shape of a container's reference line,
  // "Type=T","Id=I",; after blanks, and lies whole in a descriptor stream's buffer: *type and
  // *id then view T and I there, valid until the reader next reads, and the result is true. For
  // any other tuple, or a reader not between tuples or not on a descriptor stream, false, with
  // nothing read: ReadNextTuple then reads the tuple as it reads any other. A tuple of that
  // shape holds the elements "Type=T" and "Id=I" for ReadNextTuple too.
  bool ReadReferenceLine(std::string_view* type, std::string_view* id);
  // Reads the next tuple's raw text (without its ';') into *text; results as above, with the
  // empty text at a clean end and *text unchanged on failure.
  unsigned long GetNextTuple(std::string* text);

  State GetState() const { return state_; }

  // A tuple the reader keeps for its callers to read short tuples into (a container's
  // references, one at a time), so that reading them allocates nothing once its buffers have
  // grown. Owned by the reader; holds what was last read into it until the next read.
  CSRMReportTuple* scratchTuple() { return &scratch_; }

 private:
  // Maps the stream's non-zero result at end of input to the reader's result and state.
  unsigned long EndOfInput(unsigned long stream_result);
  // ReadNextTuple, with lender the note lent text goes through (&lent_), or null for a tuple
  // that always gets a copy of its text.
  unsigned long ReadInto(CSRMReportTuple* tuple, CSRMReportTuple** lender);
  // Before the input buffer's bytes may change: the tuple that views them, unless it is
  // reading_into (which is emptied before it is read into), copies them; the reader's own tuple
  // is emptied instead. False when no copy could be made (the tuple still views them).
  bool TakeBackLentText(const CSRMReportTuple* reading_into);

  CSRMTupleStream* stream_ = nullptr;  // borrowed
  // stream_ when it is exactly a descriptor stream, whose buffered runs the reader takes whole
  // instead of one GetNextCharacter call per character; else null.
  CSRMTupleFDStream* fd_stream_ = nullptr;
  State state_ = State::Failed;
  CSRMReportTuple* lent_ = nullptr;  // the tuple viewing the stream's buffer, if any; borrowed
  CSRMReportTuple scratch_;
};

#endif  // RESDB_TUPLE_TUPLE_READER_H_
