// CSRMReportTupleStreamReader: the two grammars of tuple text, each one transition table.
//
// A character is classified, the table row of the reader's state and the column of the class
// give what to do with the character and the next state. Every character sequence is accepted;
// only the end of the input can fail (inside a tuple, or when the stream reports an error).
#include "tuple/tuple_reader.h"

#include <memory>
#include <new>
#include <string>
#include <utility>

#include "tuple/result_codes.h"

namespace {

using State = CSRMReportTupleStreamReader::State;

// The table columns. Whitespace is the C locale's space class; bytes >= 0x80 are ordinary.
enum CharClass { kSpace, kSemicolon, kComma, kQuote, kOther, kClassCount };

CharClass Classify(char c) {
  switch (c) {
    case ' ':
    case '\t':
    case '\n':
    case '\v':
    case '\f':
    case '\r':
      return kSpace;
    case ';':
      return kSemicolon;
    case ',':
      return kComma;
    case '"':
      return kQuote;
    default:
      return kOther;
  }
}

enum class Action {
  kDrop,      // the character is not part of any element
  kAppend,    // the character is appended to the current text
  kEmit,      // the comma ends the current text: it becomes an element and is cleared
  kComplete,  // the ';' ends the tuple
};

struct Transition {
  Action action;
  State next;
};

// The rows are the states a call passes through, in the order of State.
constexpr int kRowCount = 5;
static_assert(static_cast<int>(State::Start) == 0 && static_cast<int>(State::Blank) == 1 &&
                  static_cast<int>(State::Unquoted) == 2 && static_cast<int>(State::Quoted) == 3 &&
                  static_cast<int>(State::AfterComma) == 4,
              "table rows follow the order of State");

// clang-format off
constexpr Action D = Action::kDrop;
constexpr Action A = Action::kAppend;
constexpr Action E = Action::kEmit;
constexpr Action C = Action::kComplete;
constexpr State kStart = State::Start;
constexpr State kBlank = State::Blank;
constexpr State kUnq = State::Unquoted;
constexpr State kQuo = State::Quoted;
constexpr State kAfter = State::AfterComma;

// Tuple grammar. An element ends at a comma outside quotes; a tuple ends at a ';' that
// directly follows such a comma. A ';' anywhere else outside an element is skipped, inside
// one it is text.
constexpr Transition kTupleTable[kRowCount][kClassCount] = {
  //                whitespace     ';'            ','            '"'          other
  /* Start      */ {{D, kBlank},  {D, kStart},  {E, kAfter},  {A, kQuo},  {A, kUnq}},
  /* Blank      */ {{D, kBlank},  {D, kStart},  {E, kAfter},  {A, kQuo},  {A, kUnq}},
  /* Unquoted   */ {{A, kUnq},    {A, kUnq},    {E, kAfter},  {A, kQuo},  {A, kUnq}},
  /* Quoted     */ {{A, kQuo},    {A, kQuo},    {A, kQuo},    {A, kUnq},  {A, kQuo}},
  /* AfterComma */ {{A, kUnq},    {C, kStart},  {E, kAfter},  {A, kQuo},  {A, kUnq}},
};

// Raw grammar: the tuple's text up to a ';' outside quotes. Commas are ordinary characters
// (their column repeats "other") and there is no AfterComma row.
constexpr Transition kRawTable[kRowCount - 1][kClassCount] = {
  //                whitespace     ';'            ','            '"'          other
  /* Start      */ {{D, kBlank},  {C, kStart},  {A, kUnq},    {A, kQuo},  {A, kUnq}},
  /* Blank      */ {{D, kBlank},  {C, kStart},  {A, kUnq},    {A, kQuo},  {A, kUnq}},
  /* Unquoted   */ {{A, kUnq},    {C, kStart},  {A, kUnq},    {A, kQuo},  {A, kUnq}},
  /* Quoted     */ {{A, kQuo},    {A, kQuo},    {A, kQuo},    {A, kUnq},  {A, kQuo}},
};
// clang-format on

constexpr size_t kTupleReserve = 256;  // common element length
constexpr size_t kRawReserve = 512;    // common tuple length

// Feeds characters of stream through table from *state until a ';' completes the tuple
// (CSRM_OK, *state back to Start) or the stream returns a non-zero result, which is returned as
// it is with *state left where the input stopped. Appended characters go to *text; emit is
// called at each element end. Throws std::bad_alloc when text or an element cannot grow.
template <int Rows, typename Emit>
unsigned long RunGrammar(CSRMTupleStream* stream, const Transition (&table)[Rows][kClassCount],
                         State* state, std::string* text, Emit emit) {
  for (;;) {
    char c = 0;
    const unsigned long rc = stream->GetNextCharacter(c);
    if (rc != CSRM_OK) return rc;
    const Transition& t = table[static_cast<int>(*state)][Classify(c)];
    switch (t.action) {
      case Action::kDrop:
        break;
      case Action::kAppend:
        text->push_back(c);
        break;
      case Action::kEmit:
        emit();
        break;
      case Action::kComplete:
        *state = t.next;
        return CSRM_OK;
    }
    *state = t.next;
  }
}

}  // namespace

unsigned long CSRMReportTupleStreamReader::SetTupleStream(CSRMTupleStream* stream) {
  if (stream == nullptr) return CSRM_NULL_ARGUMENT;
  if (!stream->IsValid()) return CSRM_INVALID_STREAM;
  stream_ = stream;
  state_ = State::Start;
  return CSRM_OK;
}

unsigned long CSRMReportTupleStreamReader::EndOfInput(unsigned long stream_result) {
  // Only the end of the data between tuples is a clean end; any stream error, and any end
  // inside a tuple, fails the reader for good.
  if (stream_result == CSRM_END_OF_DATA && (state_ == State::Start || state_ == State::Blank)) {
    state_ = State::Ended;
    return CSRM_END_OF_DATA;
  }
  state_ = State::Failed;
  return CSRM_READ_FAILED;
}

unsigned long CSRMReportTupleStreamReader::GetNextTuple(CSRMReportTuple** tuple) {
  if (tuple == nullptr) return CSRM_NULL_ARGUMENT;
  *tuple = nullptr;  // whatever happens below, the caller never holds a stale pointer
  if (state_ == State::Ended) return CSRM_END_OF_DATA;
  if (state_ != State::Start || stream_ == nullptr) return CSRM_BAD_STATE;

  // Nothing is read before both allocations have succeeded: a failure here leaves Start.
  std::unique_ptr<CSRMReportTuple> result(new (std::nothrow) CSRMReportTuple);
  if (!result) return CSRM_NO_MEMORY;
  std::string text;
  try {
    text.reserve(kTupleReserve);
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }

  unsigned long rc;
  try {
    rc = RunGrammar(stream_, kTupleTable, &state_, &text, [&result, &text] {
      if (result->addElement(text) != CSRM_OK) throw std::bad_alloc();
      text.clear();
    });
  } catch (const std::bad_alloc&) {
    // Characters of this tuple were consumed and are lost: the input cannot be resumed.
    state_ = State::Failed;
    return CSRM_NO_MEMORY;
  }
  if (rc != CSRM_OK) {
    rc = EndOfInput(rc);
    if (rc != CSRM_END_OF_DATA) return rc;  // the partial tuple dies with result
  }
  *tuple = result.release();  // a complete tuple, or the empty one of a clean end
  return rc;
}

unsigned long CSRMReportTupleStreamReader::GetNextTuple(std::string* text) {
  if (text == nullptr) return CSRM_NULL_ARGUMENT;
  if (state_ == State::Ended) return CSRM_END_OF_DATA;
  if (state_ != State::Start || stream_ == nullptr) return CSRM_BAD_STATE;

  std::string raw;
  try {
    raw.reserve(kRawReserve);
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }

  unsigned long rc;
  try {
    rc = RunGrammar(stream_, kRawTable, &state_, &raw, [] {});  // the raw table never emits
  } catch (const std::bad_alloc&) {
    state_ = State::Failed;
    return CSRM_NO_MEMORY;
  }
  if (rc != CSRM_OK) {
    rc = EndOfInput(rc);
    if (rc != CSRM_END_OF_DATA) return rc;  // *text unchanged
    raw.clear();
  }
  *text = std::move(raw);
  return rc;
}
