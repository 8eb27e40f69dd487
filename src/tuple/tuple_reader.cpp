// CSRMReportTupleStreamReader: the two grammars of tuple text, each one transition table.
//
// A character is classified, the table row of the reader's state and the column of the class
// give what to do with the character and the next state. Every character sequence is accepted;
// only the end of the input can fail (inside a tuple, or when the stream reports an error).
#include "tuple/tuple_reader.h"

#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>
#include <utility>

#include "tuple/result_codes.h"

namespace {

using State = CSRMReportTupleStreamReader::State;

// The table columns. Whitespace is the C locale's space class; bytes >= 0x80 are ordinary.
enum CharClass { kSpace, kSemicolon, kComma, kQuote, kOther, kClassCount };

constexpr CharClass ClassOf(unsigned char c) {
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

// The class of every byte, looked up once per character.
struct ClassTable {
  constexpr ClassTable() : of() {
    for (int c = 0; c < 256; ++c) of[c] = ClassOf(static_cast<unsigned char>(c));
  }
  CharClass of[256];
};
constexpr ClassTable kClasses;

CharClass Classify(char c) {
  return kClasses.of[static_cast<unsigned char>(c)];
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

// True when, in the Quoted row of table, every class but the quote appends and stays: a
// quoted run then ends at the next '"' and nowhere else.
template <int Rows>
constexpr bool QuotedRunEndsAtQuote(const Transition (&table)[Rows][kClassCount]) {
  for (int c = 0; c < kClassCount; ++c) {
    const Transition& t = table[static_cast<int>(State::Quoted)][c];
    const bool stays = t.action == Action::kAppend && t.next == State::Quoted;
    if (stays != (c != kQuote)) return false;
  }
  return true;
}
static_assert(QuotedRunEndsAtQuote(kTupleTable) && QuotedRunEndsAtQuote(kRawTable),
              "a quoted run ends at the next quote");

constexpr size_t kTupleReserve = 256;  // common element length
constexpr size_t kRawReserve = 512;    // common tuple length

// Takes the buffered characters of stream that table, in state, appends without leaving the
// state (the body of a quoted or unquoted run), and appends them to *text at once: the same
// effect as feeding them through the table one by one.
template <int Rows>
void TakeRun(CSRMTupleFDStream* stream, const Transition (&table)[Rows][kClassCount], State state,
             std::string* text) {
  const Transition* row = table[static_cast<int>(state)];
  size_t count = 0;
  const char* data = stream->PeekBuffered(&count);
  size_t n = 0;
  if (state == State::Quoted) {
    // Only the closing quote ends a quoted run (checked below for both tables).
    const void* quote = std::memchr(data, '"', count);
    n = quote != nullptr ? static_cast<size_t>(static_cast<const char*>(quote) - data) : count;
  } else {
    while (n < count) {
      const Transition& t = row[Classify(data[n])];
      if (t.action != Action::kAppend || t.next != state) break;
      ++n;
    }
  }
  text->append(data, n);
  stream->SkipBuffered(n);
}

// Feeds characters of stream through table from *state until a ';' completes the tuple
// (CSRM_OK, *state back to Start) or the stream returns a non-zero result, which is returned as
// it is with *state left where the input stopped. Appended characters go to *text; emit is
// called at each element end. runs, when not null, is stream itself as a descriptor stream:
// its buffered characters are taken straight from the buffer (GetNextCharacter is called only
// to refill it), and after each appended character the rest of its run is taken at once.
// Throws std::bad_alloc when text or an element cannot grow.
template <int Rows, typename Emit>
unsigned long RunGrammar(CSRMTupleStream* stream, CSRMTupleFDStream* runs,
                         const Transition (&table)[Rows][kClassCount], State* state,
                         std::string* text, Emit emit) {
  for (;;) {
    char c = 0;
    size_t buffered = 0;
    const char* next = runs != nullptr ? runs->PeekBuffered(&buffered) : nullptr;
    if (buffered > 0) {
      // What GetNextCharacter would hand out, without the call.
      c = *next;
      runs->SkipBuffered(1);
    } else {
      const unsigned long rc = stream->GetNextCharacter(c);
      if (rc != CSRM_OK) return rc;
    }
    const Transition& t = table[static_cast<int>(*state)][Classify(c)];
    switch (t.action) {
      case Action::kDrop:
        break;
      case Action::kAppend:
        text->push_back(c);
        if (runs != nullptr) TakeRun(runs, table, t.next, text);
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
  // Only the descriptor stream itself: a stream derived from it may deliver its characters
  // differently.
  fd_stream_ = typeid(*stream) == typeid(CSRMTupleFDStream)
                   ? static_cast<CSRMTupleFDStream*>(stream)
                   : nullptr;
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
    rc = RunGrammar(stream_, fd_stream_, kTupleTable, &state_, &text, [&result, &text] {
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
    // The raw table never emits.
    rc = RunGrammar(stream_, fd_stream_, kRawTable, &state_, &raw, [] {});
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
