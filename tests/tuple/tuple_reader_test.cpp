#include "tuple/tuple_reader.h"

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "fd_sources.h"
#include "tuple/result_codes.h"

namespace {

using State = CSRMReportTupleStreamReader::State;
using Elements = std::vector<std::string>;

// A character source over a string that can fail with a given code at a given position and
// counts the characters it handed out.
class StringStream : public CSRMTupleStream {
 public:
  explicit StringStream(std::string text, size_t fail_at = std::string::npos,
                        unsigned long fail_code = CSRM_READ_FAILED)
      : text_(std::move(text)), fail_at_(fail_at), fail_code_(fail_code) {}
  int IsValid() override { return valid_; }
  unsigned long GetNextCharacter(char& c) override {
    if (position_ == fail_at_) return fail_code_;
    if (position_ >= text_.size()) return CSRM_END_OF_DATA;
    c = text_[position_++];
    return CSRM_OK;
  }
  unsigned long ResetToStart() override {
    position_ = 0;
    return CSRM_OK;
  }
  size_t position() const { return position_; }
  int valid_ = 1;

 private:
  std::string text_;
  size_t position_ = 0;
  size_t fail_at_;
  unsigned long fail_code_;
};

// One answer of GetNextTuple: its result and the elements (or raw text) handed over; a null
// tuple is told apart from an empty one.
struct Answer {
  unsigned long result;
  bool handed_over;
  Elements elements;
  bool operator==(const Answer& o) const {
    return result == o.result && handed_over == o.handed_over && elements == o.elements;
  }
};

std::ostream& operator<<(std::ostream& os, const Answer& a) {
  os << "{0x" << std::hex << a.result << std::dec << (a.handed_over ? " [" : " none [");
  for (const std::string& e : a.elements) os << "<" << e << ">";
  return os << "]}";
}

Answer Tuple(unsigned long rc, Elements elements) {
  return {rc, true, std::move(elements)};
}
Answer Nothing(unsigned long rc) {
  return {rc, false, {}};
}
Answer Raw(unsigned long rc, std::string text) {
  return {rc, true, {std::move(text)}};
}

Answer Received(unsigned long rc, const CSRMReportTuple* tuple) {
  Answer answer{rc, tuple != nullptr, {}};
  if (tuple != nullptr) tuple->getAllElements(&answer.elements);
  return answer;
}

Answer ReceivedRaw(unsigned long rc, const std::string& text) {
  if (text == "unchanged") return Nothing(rc);
  return Raw(rc, text);
}

Answer NextTuple(CSRMReportTupleStreamReader* reader) {
  CSRMReportTuple* raw = reinterpret_cast<CSRMReportTuple*>(0x1);  // must be overwritten
  const unsigned long rc = reader->GetNextTuple(&raw);
  std::unique_ptr<CSRMReportTuple> tuple(raw);
  return Received(rc, tuple.get());
}

Answer NextRaw(CSRMReportTupleStreamReader* reader) {
  std::string text = "unchanged";
  const unsigned long rc = reader->GetNextTuple(&text);
  return ReceivedRaw(rc, text);
}

// Every answer up to and including the first non-zero one, then the answer after that.
std::vector<Answer> ReadAll(CSRMTupleStream* stream, bool raw) {
  CSRMReportTupleStreamReader reader;
  EXPECT_EQ(CSRM_OK, reader.SetTupleStream(stream));
  std::vector<Answer> answers;
  do {
    answers.push_back(raw ? NextRaw(&reader) : NextTuple(&reader));
  } while (answers.back().result == CSRM_OK && answers.size() < 100);
  answers.push_back(raw ? NextRaw(&reader) : NextTuple(&reader));
  return answers;
}

struct GrammarCase {
  const char* name;
  std::string input;
  std::vector<Answer> expected;
};

// Runs each case through an in-memory source, a file, and a socket that hands out three bytes
// per read() into a three-byte buffer: the answers must not depend on how the input arrives.
void RunCases(const std::vector<GrammarCase>& cases, bool raw) {
  for (const GrammarCase& c : cases) {
    StringStream memory(c.input);
    EXPECT_EQ(c.expected, ReadAll(&memory, raw)) << c.name << " (memory)";
    TempFile file(c.input);
    CSRMTupleFDStream file_stream;
    ASSERT_EQ(CSRM_OK, file_stream.SetFileDescriptor(file.fd()));
    EXPECT_EQ(c.expected, ReadAll(&file_stream, raw)) << c.name << " (file)";
    ShortReadSource source(c.input, 3);
    CSRMTupleFDStream socket_stream;
    ASSERT_EQ(CSRM_OK, socket_stream.SetBufferSize(3));
    ASSERT_EQ(CSRM_OK, socket_stream.SetFileDescriptor(source.fd()));
    EXPECT_EQ(c.expected, ReadAll(&socket_stream, raw)) << c.name << " (short reads)";
  }
}

const Answer kCleanEnd = Tuple(CSRM_END_OF_DATA, {});
const Answer kEndAgain = Nothing(CSRM_END_OF_DATA);
const Answer kInsideTuple = Nothing(CSRM_READ_FAILED);
const Answer kFailedAlready = Nothing(CSRM_BAD_STATE);

TEST(TupleReaderTest, TupleGrammar) {
  const std::string long_value(5000, 'v');
  RunCases(
      {
          {"canonical line",
           "\"Type=Disk\",\"Id=d1\",;\n",
           {Tuple(0, {"\"Type=Disk\"", "\"Id=d1\""}), kCleanEnd, kEndAgain}},
          {"empty input", "", {kCleanEnd, kEndAgain}},
          {"missing final ;", "\"Type=Disk\",\"Id=d1\",", {kInsideTuple, kFailedAlready}},
          {"; after a quote is text",
           "\"A=1\";\n\"B=2\",;",
           {Tuple(0, {"\"A=1\";\n\"B=2\""}), kCleanEnd, kEndAgain}},
          {"separators inside quotes",
           "\"A=x,y;z\",;",
           {Tuple(0, {"\"A=x,y;z\""}), kCleanEnd, kEndAgain}},
          {"empty elements", ",,;", {Tuple(0, {"", ""}), kCleanEnd, kEndAgain}},
          {"comma after element", "\"A=1\",,;", {Tuple(0, {"\"A=1\"", ""}), kCleanEnd, kEndAgain}},
          {"stray ; and blanks only", ";;  ;\n", {kCleanEnd, kEndAgain}},
          {"blank after comma starts the next element",
           "\"A=1\", \"B=2\",;",
           {Tuple(0, {"\"A=1\"", " \"B=2\""}), kCleanEnd, kEndAgain}},
          {"newline after the last comma", "\"A=1\",\n;", {kInsideTuple, kFailedAlready}},
          {"blank lines, CRLF and stray ; between tuples",
           ";\"A=1\",;\r\n\r\n \t\v\f;\"B=2\",\"C=3\",;\n\n",
           {Tuple(0, {"\"A=1\""}), Tuple(0, {"\"B=2\"", "\"C=3\""}), kCleanEnd, kEndAgain}},
          {"unquoted element", "A=1,;", {Tuple(0, {"A=1"}), kCleanEnd, kEndAgain}},
          {"quotes inside an element",
           "A=\"x,y\"z,;",
           {Tuple(0, {"A=\"x,y\"z"}), kCleanEnd, kEndAgain}},
          {"end inside quotes", "\"A=1,;", {kInsideTuple, kFailedAlready}},
          {"unescaped quote in a value", "\"A=x\"y,z\",;\n", {kInsideTuple, kFailedAlready}},
          {"high bytes are not blanks",
           "\xa0\x85\"N=\xc3\xa9\",;",
           {Tuple(0, {"\xa0\x85\"N=\xc3\xa9\""}), kCleanEnd, kEndAgain}},
          {"NUL byte is text",
           std::string("\"A=\0b\",;", 8),
           {Tuple(0, {std::string("\"A=\0b\"", 6)}), kCleanEnd, kEndAgain}},
          {"long element",
           "\"A=" + long_value + "\",\"B=2\",;",
           {Tuple(0, {"\"A=" + long_value + "\"", "\"B=2\""}), kCleanEnd, kEndAgain}},
      },
      false);
}

TEST(TupleReaderTest, RawGrammar) {
  RunCases(
      {
          {"lone ;", ";", {Raw(0, ""), Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"quoted element", "\"A=1\";", {Raw(0, "\"A=1\""), Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"canonical line keeps its commas",
           "\"A=1\",\"B=2\",;\n",
           {Raw(0, "\"A=1\",\"B=2\","), Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"; inside quotes",
           " \"a;b\"c;",
           {Raw(0, "\"a;b\"c"), Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"blanks and stray ;",
           "  ;\n;",
           {Raw(0, ""), Raw(0, ""), Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"blank inside text", "a b ;", {Raw(0, "a b "), Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"empty input", "\n", {Raw(CSRM_END_OF_DATA, ""), kEndAgain}},
          {"no final ;", "abc", {Nothing(CSRM_READ_FAILED), kFailedAlready}},
          {"end inside quotes", "\"a;", {Nothing(CSRM_READ_FAILED), kFailedAlready}},
      },
      true);
}

TEST(TupleReaderTest, ReadsOneCharacterAtATimeAndNoFurtherThanTheTuple) {
  StringStream stream("\"A=1\",;X");
  CSRMReportTupleStreamReader reader;
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
  EXPECT_EQ(Tuple(0, {"\"A=1\""}), NextTuple(&reader));
  EXPECT_EQ(7u, stream.position());  // the X is still the stream's
  EXPECT_EQ(State::Start, reader.GetState());
  std::string raw;
  EXPECT_EQ(CSRM_READ_FAILED, reader.GetNextTuple(&raw));
  EXPECT_EQ(State::Failed, reader.GetState());
}

TEST(TupleReaderTest, StreamErrorsFailTheReaderWhereverTheyHappen) {
  for (const size_t fail_at : {size_t{0}, size_t{3}, size_t{7}}) {
    for (const unsigned long code : {CSRM_READ_FAILED, CSRM_NO_MEMORY, CSRM_BAD_STATE}) {
      StringStream stream("\"A=1\",;\"B=2\",;", fail_at, code);
      CSRMReportTupleStreamReader reader;
      ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
      if (fail_at == 7) {
        EXPECT_EQ(Tuple(0, {"\"A=1\""}), NextTuple(&reader));
      }
      EXPECT_EQ(kInsideTuple, NextTuple(&reader)) << fail_at << " " << code;
      EXPECT_EQ(State::Failed, reader.GetState());
      EXPECT_EQ(kFailedAlready, NextTuple(&reader));
    }
  }
}

TEST(TupleReaderTest, AttachingAStreamStartsOverFromAnyState) {
  CSRMReportTupleStreamReader reader;
  EXPECT_EQ(State::Failed, reader.GetState());
  EXPECT_EQ(kFailedAlready, NextTuple(&reader));  // no stream yet
  std::string text = "unchanged";
  EXPECT_EQ(CSRM_BAD_STATE, reader.GetNextTuple(&text));
  EXPECT_EQ("unchanged", text);

  StringStream broken("\"A=1\"");
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&broken));
  EXPECT_EQ(kInsideTuple, NextTuple(&reader));
  StringStream good("\"B=2\",;");
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&good));
  EXPECT_EQ(Tuple(0, {"\"B=2\""}), NextTuple(&reader));
  EXPECT_EQ(kCleanEnd, NextTuple(&reader));
  EXPECT_EQ(State::Ended, reader.GetState());
  good.ResetToStart();  // attaching does not rewind: the reader's state is what restarts
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&good));
  EXPECT_EQ(Tuple(0, {"\"B=2\""}), NextTuple(&reader));
}

TEST(TupleReaderTest, RefusedArgumentsChangeNothing) {
  StringStream stream("\"A=1\",;");
  CSRMReportTupleStreamReader reader;
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.SetTupleStream(nullptr));
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
  StringStream invalid("\"Z=9\",;");
  invalid.valid_ = 0;
  EXPECT_EQ(CSRM_INVALID_STREAM, reader.SetTupleStream(&invalid));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.GetNextTuple(static_cast<CSRMReportTuple**>(nullptr)));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.GetNextTuple(static_cast<std::string*>(nullptr)));
  EXPECT_EQ(0u, stream.position());
  EXPECT_EQ(Tuple(0, {"\"A=1\""}), NextTuple(&reader));  // still the first stream
}

// Fails the n-th allocation of one call, for every n until the call no longer allocates: each
// failure must be CSRM_NO_MEMORY with nothing handed over and nothing leaked, leaving the
// reader in Start (nothing read yet: the input is read in full afterwards) or Failed.
TEST(TupleReaderTest, AllocationFailureAtEveryStepIsCleanForBothOverloads) {
  const std::string long_value(600, 'v');  // outgrows both reserved text buffers
  const std::string input = "\"Name=" + long_value + "\",\"PubId=a-long-public-identifier\",;";
  const Answer whole =
      Tuple(0, {"\"Name=" + long_value + "\"", "\"PubId=a-long-public-identifier\""});
  const Answer whole_raw = Raw(0, input.substr(0, input.size() - 1));
  for (const bool raw : {false, true}) {
    bool failed = true;
    for (long n = 0; failed; ++n) {
      StringStream stream(input);
      CSRMReportTupleStreamReader reader;
      ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
      CSRMReportTuple* tuple = nullptr;
      std::string text = "unchanged";
      unsigned long rc;
      {
        ScopedAllocFault fault(n);
        rc = raw ? reader.GetNextTuple(&text) : reader.GetNextTuple(&tuple);
        failed = AllocDisarm();
      }
      std::unique_ptr<CSRMReportTuple> owned(tuple);
      if (!failed) {
        EXPECT_EQ(raw ? whole_raw : whole, raw ? ReceivedRaw(rc, text) : Received(rc, tuple)) << n;
        break;
      }
      EXPECT_EQ(CSRM_NO_MEMORY, rc) << n;
      EXPECT_EQ(nullptr, tuple) << n;
      EXPECT_EQ("unchanged", text) << n;
      if (reader.GetState() == State::Start) {
        EXPECT_EQ(0u, stream.position()) << n;
        EXPECT_EQ(raw ? whole_raw : whole, raw ? NextRaw(&reader) : NextTuple(&reader)) << n;
      } else {
        EXPECT_EQ(State::Failed, reader.GetState()) << n;
        EXPECT_EQ(kFailedAlready, NextTuple(&reader)) << n;
      }
    }
  }
}

}  // namespace
