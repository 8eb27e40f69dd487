// CSRMReportTupleStreamReader: the two grammars of tuple text, each one transition table.
//
// A character is classified, the table row of the reader's state and the column of the class
// give what to do with the character and the next state. Every character sequence is accepted;
// only the end of the input can fail (inside a tuple, or when the stream reports an error).
#include "tuple/tuple_reader.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <typeinfo>
#include <utility>

#include "tuple/result_codes.h"

#ifdef __SSE2__
#include <emmintrin.h>  // 16 bytes compared with '"' at once
#endif

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
  kEmit,      // the comma ends the current element (kept after it as its separator)
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

constexpr bool BeforeText(State s) {
  return s == State::Start || s == State::Blank;
}

// True when the characters a tuple keeps (appended ones and the commas that end elements) are
// one unbroken run of the input: characters are dropped only in Start and Blank, and a tuple
// leaves those two states for good with the first character it keeps, until the ';' that
// completes it. A tuple's text can then be copied a block at a time.
template <int Rows>
constexpr bool KeptTextIsOneRun(const Transition (&table)[Rows][kClassCount]) {
  for (int row = 0; row < Rows; ++row) {
    for (int c = 0; c < kClassCount; ++c) {
      const Transition& t = table[row][c];
      const State from = static_cast<State>(row);
      if (t.action == Action::kDrop && !(BeforeText(from) && BeforeText(t.next))) return false;
      const bool keeps = t.action == Action::kAppend || t.action == Action::kEmit;
      if (keeps && BeforeText(t.next)) return false;
      if (t.action == Action::kComplete && t.next != State::Start) return false;
    }
  }
  return true;
}
static_assert(KeptTextIsOneRun(kTupleTable) && KeptTextIsOneRun(kRawTable),
              "a tuple's kept characters are one run of the input");

constexpr bool Is(const Transition& t, Action action, State next) {
  return t.action == action && t.next == next;
}

// True when table reads a quoted element the common way: a '"' at the start of an element
// opens a quoted run, its closing quote is kept, and a comma right after it ends the element.
// A reader may then take such an element with one search for the closing quote.
template <int Rows>
constexpr bool ReadsQuotedElements(const Transition (&table)[Rows][kClassCount]) {
  if (Rows <= static_cast<int>(State::AfterComma)) return false;
  for (State s : {State::Start, State::Blank, State::AfterComma}) {
    if (!Is(table[static_cast<int>(s)][kQuote], Action::kAppend, State::Quoted)) return false;
  }
  return QuotedRunEndsAtQuote(table) &&
         Is(table[static_cast<int>(State::Quoted)][kQuote], Action::kAppend, State::Unquoted) &&
         Is(table[static_cast<int>(State::Unquoted)][kComma], Action::kEmit, State::AfterComma);
}
static_assert(ReadsQuotedElements(kTupleTable), "the tuple grammar reads quoted elements");

constexpr size_t kTupleReserve = 512;   // common tuple length, all its elements together
constexpr size_t kElementReserve = 16;  // common element count
constexpr size_t kRawReserve = 512;     // common tuple length

// The tuple being read, as the text the grammar keeps: a comma that ends an element is kept as
// the element's separator, and its offset marks the element's end. With a lender (the reader's
// note of lent text), a tuple whose whole text lies in the input buffer views it there. The
// marks go straight into the tuple's room; done() tells the tuple how many there are.
struct TupleText {
  TupleText(CSRMReportTuple* read_into, CSRMReportTuple** lent_note)
      : tuple(read_into),
        lender(lent_note),
        mark(read_into->markCursor()),
        mark_limit(read_into->markLimit()) {}

  CSRMReportTuple* tuple;
  CSRMReportTuple** lender;  // null: the tuple always gets a copy of its text
  size_t* mark;              // where the next element's end goes, in the tuple's room
  const size_t* mark_limit;  // the end of that room
  void push_back(char c) { tuple->appendText(c); }
  void append(const char* data, size_t size) { tuple->appendText(data, size); }
  // The tuple's whole text, at data in the input buffer.
  void whole(const char* data, size_t size) {
    if (lender != nullptr) {
      tuple->viewText(data, size, lender);
    } else {
      tuple->appendText(data, size);
    }
  }
  size_t size() const { return tuple->textSize(); }
  void endElement(size_t end) {
    if (mark == mark_limit) moreMarks();
    *mark++ = end;
  }
  void done() { tuple->markedUpTo(mark); }

 private:
  // Throws std::bad_alloc, the marks made so far kept.
  void moreMarks() {
    done();
    tuple->growMarks();
    mark = tuple->markCursor();
    mark_limit = tuple->markLimit();
  }
};

// The raw text of a tuple: the raw grammar never ends an element.
struct RawText {
  std::string* text;
  void push_back(char c) { text->push_back(c); }
  void append(const char* data, size_t size) { text->append(data, size); }
  void whole(const char* data, size_t size) { text->append(data, size); }
  size_t size() const { return text->size(); }
  void endElement(size_t) {}
};

// What one character does: the transition of state for c, with a kept character going to
// *text. Returns true when the character completed the tuple.
template <int Rows, typename Text>
bool Step(const Transition (&table)[Rows][kClassCount], State* state, char c, Text* text) {
  const Transition& t = table[static_cast<int>(*state)][Classify(c)];
  *state = t.next;
  switch (t.action) {
    case Action::kDrop:
      break;
    case Action::kAppend:
      text->push_back(c);
      break;
    case Action::kEmit:
      text->endElement(text->size());
      text->push_back(c);
      break;
    case Action::kComplete:
      return true;
  }
  return false;
}

// The quotes of a run of buffered text, found 64 bytes at a time: a block's quotes become the
// bits of one word, and each next quote is then the lowest bit left. A tuple's elements take a
// search each for their closing quote; this way they share the pass over the bytes. Borrows
// the text; the offsets asked for must not decrease.
class QuoteFinder {
 public:
  QuoteFinder(const char* data, size_t count) : data_(data), count_(count) { load(0); }

  // The offset of the first '"' at or after from, or the run's size when there is none.
  size_t next(size_t from) {
    for (;;) {
      const size_t offset = from - block_;  // from >= block_: the offsets do not decrease
      if (offset < kBlock) {
        const uint64_t later = bits_ >> offset;
        if (later != 0) return from + static_cast<size_t>(__builtin_ctzll(later));
        from = block_ + kBlock;
      }
      if (from >= count_) return count_;
      load(from);
    }
  }

 private:
  static constexpr size_t kBlock = 64;  // the bits of one word

  // Makes the block start at from, with a bit for each quote among its bytes in the run.
  void load(size_t from) {
    block_ = from;
    bits_ = 0;
    const char* p = data_ + from;
    const size_t size = count_ - from < kBlock ? count_ - from : kBlock;
#ifdef __SSE2__
    if (size == kBlock) {
      const __m128i quote = _mm_set1_epi8('"');
      const auto quotes16 = [p, quote](size_t at) {
        const __m128i bytes = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + at));
        return uint64_t{static_cast<uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, quote)))};
      };
      bits_ = quotes16(0) | quotes16(16) << 16 | quotes16(32) << 32 | quotes16(48) << 48;
      return;
    }
#endif
    for (size_t i = 0; i < size; ++i) bits_ |= uint64_t{p[i] == '"'} << i;
  }

  const char* const data_;
  const size_t count_;
  size_t block_ = 0;   // where the block of bits_ starts
  uint64_t bits_ = 0;  // bit i: data_[block_ + i] is a quote
};

// Feeds the characters buffered in stream through table from *state, as Step would one by one,
// up to and including a ';' that completes the tuple (true) or to the end of the buffer
// (false). The characters kept are one run (KeptTextIsOneRun), copied to *text in one piece,
// and a quoted run is crossed with one search for its closing quote (a QuoteFinder's); a
// tuple that begins and ends in this buffer is handed over whole (Text::whole), one that does
// not a piece at a time (Text::append). The characters fed are taken from the buffer.
// QuotedElements: ReadsQuotedElements(table), as a constant: a whole element "...", is then
// taken in one search, as the three transitions it passes through would take it.
template <bool QuotedElements, int Rows, typename Text>
bool StepBuffered(CSRMTupleFDStream* stream, const Transition (&table)[Rows][kClassCount],
                  State* state, Text* text) {
  size_t count = 0;
  const char* data = stream->PeekBuffered(&count);
  State s = *state;
  size_t i = 0;
  size_t from = 0;  // data[from, i) are kept characters not yet in *text
  // Where data[from] goes in *text. Only drops move from, and they come before anything is
  // kept, so the offset of data[j] stays base + (j - from).
  const size_t base = text->size();
  bool completed = false;
  QuoteFinder quotes(data, count);
  while (i < count) {
    if (QuotedElements && data[i] == '"' && (BeforeText(s) || s == State::AfterComma)) {
      // Before any text, from == i: only drops have moved it. Whole elements "...", follow one
      // another here, each ended by the comma after its closing quote.
      bool whole;
      do {
        i = quotes.next(i + 1);
        whole = i + 1 < count && data[i + 1] == ',';
        if (!whole) break;
        text->endElement(base + (i + 1 - from));
        i += 2;
      } while (i < count && data[i] == '"');
      if (whole) {
        s = State::AfterComma;
        continue;
      }
      s = State::Quoted;
      if (i == count) break;
      // Anything else after the closing quote: the table takes it from the quote on.
    }
    if (s == State::Quoted) {
      // Only the closing quote ends a quoted run (checked above for both tables).
      i = quotes.next(i);
      if (i == count) break;
    }
    const Transition& t = table[static_cast<int>(s)][Classify(data[i])];
    s = t.next;
    if (t.action == Action::kAppend) {
      ++i;
    } else if (t.action == Action::kEmit) {
      text->endElement(base + (i - from));
      ++i;
    } else if (t.action == Action::kDrop) {
      from = ++i;
    } else {
      completed = true;
      break;
    }
  }
  if (completed && base == 0) {
    text->whole(data + from, i - from);  // the tuple began in this buffer
  } else {
    text->append(data + from, i - from);
  }
  stream->SkipBuffered(completed ? i + 1 : i);
  *state = s;
  return completed;
}

// Feeds characters of stream through table from *state until a ';' completes the tuple
// (CSRM_OK, *state back to Start) or the stream returns a non-zero result, which is returned as
// it is with *state left where the input stopped. Kept characters go to *text (a TupleText or
// a RawText). runs, when not null, is stream itself as a descriptor stream: its buffered
// characters are taken straight from the buffer, a block at a time (GetNextCharacter is called
// only to refill it). Throws std::bad_alloc when text or an element cannot grow; the reader
// cannot resume then.
template <bool QuotedElements, int Rows, typename Text>
unsigned long RunGrammar(CSRMTupleStream* stream, CSRMTupleFDStream* runs,
                         const Transition (&table)[Rows][kClassCount], State* state, Text* text) {
  for (;;) {
    if (runs != nullptr && StepBuffered<QuotedElements>(runs, table, state, text)) {
      return CSRM_OK;
    }
    // The buffer is used up (or there is none): one character through the stream, which
    // refills the buffer.
    char c = 0;
    const unsigned long rc = stream->GetNextCharacter(c);
    if (rc != CSRM_OK) return rc;
    if (Step(table, state, c, text)) return CSRM_OK;
  }
}

}  // namespace

CSRMReportTupleStreamReader::~CSRMReportTupleStreamReader() {
  // A tuple of the caller's keeps its text; the reader's own goes with it.
  if (lent_ != nullptr && (lent_ == &scratch_ || lent_->ownText() != CSRM_OK)) {
    lent_->clearTuple();
  }
}

bool CSRMReportTupleStreamReader::TakeBackLentText(const CSRMReportTuple* reading_into) {
  if (lent_ == nullptr || lent_ == reading_into) return true;  // emptied before it is read into
  if (lent_ == &scratch_) {
    scratch_.clearTuple();  // its text is valid until the next read only
    return true;
  }
  return lent_->ownText() == CSRM_OK;
}

unsigned long CSRMReportTupleStreamReader::SetTupleStream(CSRMTupleStream* stream) {
  if (stream == nullptr) return CSRM_NULL_ARGUMENT;
  if (!stream->IsValid()) return CSRM_INVALID_STREAM;
  if (!TakeBackLentText(nullptr)) return CSRM_NO_MEMORY;
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

  std::unique_ptr<CSRMReportTuple> result(new (std::nothrow) CSRMReportTuple);
  if (!result) return CSRM_NO_MEMORY;
  // A tuple handed over outlives the input buffer: it gets a copy of its text.
  const unsigned long rc = ReadInto(result.get(), nullptr);
  // A complete tuple, or the empty one of a clean end; a partial tuple dies with result.
  if (rc == CSRM_OK || rc == CSRM_END_OF_DATA) *tuple = result.release();
  return rc;
}

unsigned long CSRMReportTupleStreamReader::ReadNextTuple(CSRMReportTuple* tuple) {
  return ReadInto(tuple, &lent_);
}

unsigned long CSRMReportTupleStreamReader::ReadInto(CSRMReportTuple* tuple,
                                                    CSRMReportTuple** lender) {
  if (tuple == nullptr) return CSRM_NULL_ARGUMENT;
  if (state_ == State::Ended) {
    tuple->clearTuple();
    return CSRM_END_OF_DATA;
  }
  if (state_ != State::Start || stream_ == nullptr) return CSRM_BAD_STATE;

  // Nothing is read before the room is made and the lent text is copied: a failure here leaves
  // Start.
  tuple->clearTuple();
  if (!TakeBackLentText(tuple) || tuple->reserve(kTupleReserve, kElementReserve) != CSRM_OK) {
    return CSRM_NO_MEMORY;
  }

  unsigned long rc;
  try {
    TupleText text(tuple, lender);
    rc = RunGrammar<ReadsQuotedElements(kTupleTable)>(stream_, fd_stream_, kTupleTable, &state_,
                                                      &text);
    text.done();
  } catch (const std::bad_alloc&) {
    // Characters of this tuple were consumed and are lost: the input cannot be resumed.
    state_ = State::Failed;
    tuple->clearTuple();
    return CSRM_NO_MEMORY;
  }
  if (rc != CSRM_OK) {
    rc = EndOfInput(rc);
    // A clean end leaves the tuple empty (nothing of it was read); a failure drops the part read.
    if (rc != CSRM_END_OF_DATA) tuple->clearTuple();
  }
  return rc;
}

bool CSRMReportTupleStreamReader::ReadReferenceLine(std::string_view* type, std::string_view* id) {
  if (state_ != State::Start || fd_stream_ == nullptr) return false;
  // "Type=T" then "Id=I", each element one quoted run, each ended by a comma, and the ';' that
  // completes the tuple right after the last comma: the grammar's reading of these bytes.
  constexpr std::string_view kTypeOpens = "\"Type=";
  constexpr std::string_view kIdOpens = "\",\"Id=";  // after T
  constexpr std::string_view kLineEnds = "\",;";     // after I
  size_t count = 0;
  const char* data = fd_stream_->PeekBuffered(&count);
  // Whether text is the bytes at offset at; the offset of the first quote at or after at.
  const auto is_at = [data, count](size_t at, std::string_view text) {
    return count - at >= text.size() && std::memcmp(data + at, text.data(), text.size()) == 0;
  };
  const auto quote_from = [data, count](size_t at) {
    const void* quote = std::memchr(data + at, '"', count - at);
    return quote == nullptr ? count : static_cast<size_t>(static_cast<const char*>(quote) - data);
  };
  size_t at = 0;
  while (at < count && Classify(data[at]) == kSpace) ++at;  // dropped before a tuple
  if (!is_at(at, kTypeOpens)) return false;
  const size_t type_begin = at + kTypeOpens.size();
  const size_t type_end = quote_from(type_begin);
  if (!is_at(type_end, kIdOpens)) return false;
  const size_t id_begin = type_end + kIdOpens.size();
  const size_t id_end = quote_from(id_begin);
  if (!is_at(id_end, kLineEnds)) return false;
  *type = std::string_view(data + type_begin, type_end - type_begin);
  *id = std::string_view(data + id_begin, id_end - id_begin);
  fd_stream_->SkipBuffered(id_end + kLineEnds.size());
  return true;
}

unsigned long CSRMReportTupleStreamReader::GetNextTuple(std::string* text) {
  if (text == nullptr) return CSRM_NULL_ARGUMENT;
  if (state_ == State::Ended) return CSRM_END_OF_DATA;
  if (state_ != State::Start || stream_ == nullptr) return CSRM_BAD_STATE;
  if (!TakeBackLentText(nullptr)) return CSRM_NO_MEMORY;

  std::string raw;
  try {
    raw.reserve(kRawReserve);
  } catch (const std::bad_alloc&) {
    return CSRM_NO_MEMORY;
  }

  unsigned long rc;
  try {
    RawText text{&raw};
    rc = RunGrammar<ReadsQuotedElements(kRawTable)>(stream_, fd_stream_, kRawTable, &state_, &text);
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
