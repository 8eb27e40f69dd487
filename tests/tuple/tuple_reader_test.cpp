// The tuple reader's two grammars over every kind of source, its failures, and the descriptor
// stream's buffering, resets and read errors.
#include "tuple/tuple_reader.h"

#include <fcntl.h>
#include <sys/mman.h>

#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "char_sources.h"

namespace {

using State = CSRMReportTupleStreamReader::State;

// An anonymous file holding text, rewound.
int MemFile(const std::string& text) {
  const int fd = memfd_create("tuples", 0);
  EXPECT_EQ(static_cast<ssize_t>(text.size()), write(fd, text.data(), text.size()));
  lseek(fd, 0, SEEK_SET);
  return fd;
}

// One answer as text: the result's name, then the elements (or the raw text) handed over in
// brackets, joined by '|'; nothing for a null tuple or an unchanged text.
std::string Answer(unsigned long rc, bool handed, const std::vector<std::string>& elements) {
  const char* name = rc == CSRM_OK            ? "ok"
                     : rc == CSRM_END_OF_DATA ? "end"
                     : rc == CSRM_NO_MEMORY   ? "nomem"
                     : rc == CSRM_BAD_STATE   ? "bad"
                     : rc == CSRM_READ_FAILED ? "fail"
                                              : "?";
  std::string text = name;
  if (!handed) return text;
  text += '[';
  for (size_t i = 0; i < elements.size(); ++i) text += (i ? "|" : "") + elements[i];
  return text + ']';
}

// One call of the reader; with fail_after >= 0 the allocations of the call fail from the
// fail_after-th on, and *failed tells whether one did.
std::string Next(CSRMReportTupleStreamReader* reader, bool raw, long fail_after = -1,
                 bool* failed = nullptr) {
  std::string text = "unchanged";
  CSRMReportTuple* tuple = reinterpret_cast<CSRMReportTuple*>(0x1);  // must be overwritten
  AllocFailAfter(fail_after);
  const unsigned long rc = raw ? reader->GetNextTuple(&text) : reader->GetNextTuple(&tuple);
  const bool did_fail = AllocDisarm();
  if (failed != nullptr) *failed = did_fail;
  if (raw) return Answer(rc, text != "unchanged", {text});
  std::unique_ptr<CSRMReportTuple> owned(tuple);
  std::vector<std::string> elements;
  if (tuple != nullptr) tuple->getAllElements(&elements);
  return Answer(rc, tuple != nullptr, elements);
}

// Every answer up to the first that is not ok, and the one after it.
std::string ReadAll(CSRMTupleStream* stream, bool raw) {
  CSRMReportTupleStreamReader reader;
  EXPECT_EQ(CSRM_OK, reader.SetTupleStream(stream));
  std::string all, last;
  do {
    last = Next(&reader, raw);
    all += last + ' ';
  } while (last.rfind("ok", 0) == 0 && all.size() < 100000);
  return all + Next(&reader, raw);
}

struct Case {
  std::string input;
  std::string expected;
};

// Each case through a plain source, a file, and a socket handing out pieces of 3 and of 2 bytes
// into a 3-byte buffer: the answers must not depend on how the input arrives.
void RunCases(const std::vector<Case>& cases, bool raw) {
  for (const Case& c : cases) {
    StringStream plain(c.input);
    EXPECT_EQ(c.expected, ReadAll(&plain, raw)) << c.input;
    const int fd = MemFile(c.input);
    CSRMTupleFDStream file;
    ASSERT_EQ(CSRM_OK, file.SetFileDescriptor(fd));
    EXPECT_EQ(c.expected, ReadAll(&file, raw)) << c.input << " (file)";
    close(fd);
    for (size_t piece : {3, 2}) {
      PieceSource source(c.input, piece);
      CSRMTupleFDStream socket;
      ASSERT_EQ(CSRM_OK, socket.SetBufferSize(3));
      ASSERT_EQ(CSRM_OK, socket.SetFileDescriptor(source.fd()));
      EXPECT_EQ(c.expected, ReadAll(&socket, raw)) << c.input << " (pieces of " << piece << ")";
    }
  }
}

TEST(TupleReaderTest, TupleGrammar) {
  const std::string v(1000, 'v');
  std::string many, many_read;  // more elements than a tuple has room for at first
  for (int i = 0; i < 40; ++i) {
    many += "\"K=" + std::to_string(i) + "\",";
    many_read += (i ? "|\"K=" : "\"K=") + std::to_string(i) + "\"";
  }
  RunCases({{many + ";", "ok[" + many_read + "] end[] end"},
            {"\"Type=Disk\",\"Id=d1\",;\n", R"(ok["Type=Disk"|"Id=d1"] end[] end)"},
            {"", "end[] end"},
            {"\"Type=Disk\",\"Id=d1\",", "fail bad"},
            {"\"A=1\";\n\"B=2\",;", "ok[\"A=1\";\n\"B=2\"] end[] end"},  // ';' after a quote
            {R"("A=x,y;z",;)", R"(ok["A=x,y;z"] end[] end)"},
            {",,;", "ok[|] end[] end"},
            {";;  ;\n", "end[] end"},
            {R"("A=1", "B=2",;)", R"(ok["A=1"| "B=2"] end[] end)"},
            {"\"A=1\",\n;", "fail bad"},
            {";\"A=1\",;\r\n\r\n \t\v\f;\"B=2\",\"C=3\",;\n\n",
             R"(ok["A=1"] ok["B=2"|"C=3"] end[] end)"},
            {R"(A="x,y"z,;)", R"(ok[A="x,y"z] end[] end)"},
            {"\"A=1,;", "fail bad"},
            {"\xa0\x85\"N=\xc3\xa9\",;", "ok[\xa0\x85\"N=\xc3\xa9\"] end[] end"},
            {std::string("\"A=\0b\",;", 8), std::string("ok[\"A=\0b\"] end[] end", 20)},
            {"\"A=" + v + "\",B=2,;", "ok[\"A=" + v + "\"|B=2] end[] end"}},
           false);
}

TEST(TupleReaderTest, RawGrammar) {
  RunCases({{";", "ok[] end[] end"},
            {"\"A=1\",\"B=2\",;\n", R"(ok["A=1","B=2",] end[] end)"},
            {" \"a;b\"c;", R"(ok["a;b"c] end[] end)"},
            {"  ;\n;", "ok[] ok[] end[] end"},
            {"a b ;", "ok[a b ] end[] end"},
            {"\n", "end[] end"},
            {"abc", "fail bad"},
            {"\"a;", "fail bad"}},
           true);
}

TEST(TupleReaderTest, StreamErrorsFailTheReaderWhereverTheyHappen) {
  for (const size_t at : {0, 3, 7}) {
    for (const unsigned long code : {CSRM_READ_FAILED, CSRM_NO_MEMORY, CSRM_BAD_STATE}) {
      StringStream stream("\"A=1\",;\"B=2\",;", at, code);
      EXPECT_EQ(at == 7 ? "ok[\"A=1\"] fail bad" : "fail bad", ReadAll(&stream, false)) << at;
    }
  }
  StringStream stream("\"A=1\",;X");  // the reader takes no character beyond the tuple
  CSRMReportTupleStreamReader reader;
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
  EXPECT_EQ("ok[\"A=1\"]", Next(&reader, false));
  EXPECT_EQ(7u, stream.at);
}

TEST(TupleReaderTest, ArgumentsStatesAndNewStreams) {
  CSRMReportTupleStreamReader reader;
  EXPECT_EQ("bad", Next(&reader, false));  // no stream yet
  EXPECT_EQ("bad", Next(&reader, true));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.SetTupleStream(nullptr));
  StringStream invalid("\"Z=9\",;");
  invalid.valid = 0;
  EXPECT_EQ(CSRM_INVALID_STREAM, reader.SetTupleStream(&invalid));
  StringStream broken("\"A=1\"");
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&broken));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.GetNextTuple(static_cast<CSRMReportTuple**>(nullptr)));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.GetNextTuple(static_cast<std::string*>(nullptr)));
  EXPECT_EQ(CSRM_NULL_ARGUMENT, reader.ReadNextTuple(nullptr));
  EXPECT_EQ(0u, broken.at);
  EXPECT_EQ("fail", Next(&reader, false));
  EXPECT_EQ("bad", Next(&reader, true));
  StringStream good("\"B=2\",;");
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&good));  // from Failed: starts over
  EXPECT_EQ("ok[\"B=2\"]", Next(&reader, false));
  CSRMReportTuple tuple;
  tuple.addElement("stale");
  EXPECT_EQ(CSRM_END_OF_DATA, reader.ReadNextTuple(&tuple));
  EXPECT_EQ(CSRM_END_OF_DATA, reader.ReadNextTuple(&tuple));  // Ended: empties the tuple again
  EXPECT_EQ(0u, tuple.getElementCount());
  EXPECT_EQ(State::Ended, reader.GetState());
  good.ResetToStart();  // attaching does not rewind: the reader's state is what restarts
  ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&good));
  EXPECT_EQ("ok[\"B=2\"]", Next(&reader, false));
}

// Fails the nth allocation of one call for every n until the call no longer allocates: each
// failure answers nomem with nothing handed over, leaving the reader in Start with nothing read
// or Failed for good.
// Each tuple of fd through reader as its elements joined by '|', up to the answer that ends
// the input; with references, a line the reader takes as a reference line shows as the two
// elements the grammar would give it, and *taken counts those lines.
std::vector<std::string> ReadLines(int fd, int buffer_size, bool references, int* taken) {
  CSRMTupleFDStream stream(buffer_size);
  CSRMReportTupleStreamReader reader;
  EXPECT_EQ(CSRM_OK, stream.SetFileDescriptor(fd));
  EXPECT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
  std::vector<std::string> lines;
  CSRMReportTuple tuple;
  for (;;) {
    std::string_view type, id;
    if (references && reader.ReadReferenceLine(&type, &id)) {
      lines.push_back("ok[\"Type=" + std::string(type) + "\"|\"Id=" + std::string(id) + "\"]");
      ++*taken;
      continue;
    }
    const unsigned long rc = reader.ReadNextTuple(&tuple);
    std::vector<std::string> elements;
    tuple.getAllElements(&elements);
    lines.push_back(Answer(rc, rc == CSRM_OK, elements));
    if (rc != CSRM_OK) return lines;
  }
}

// A reference line taken straight from the buffer is the tuple the grammar reads there: for
// every buffer size, with the reference lines taken first or not at all, the same tuples come
// out, and lines of any other shape are read as tuples.
TEST(TupleReaderTest, ReferenceLinesAreTheTuplesTheGrammarReads) {
  const std::string input =
      "\"Type=Disk\",\"Id=c2t0d0\",;\n"
      " \t\"Type=DiskChunk\",\"Id=c2t0d0s1\",;"      // blanks before it
      "\"Type=\",\"Id=\",;"                          // empty values
      "\"Type=Vol=ume\",\"Id=a,b;c\",;\n"            // '=', ',' and ';' inside
      ";\"Type=Disk\",\"Id=after-a-semicolon\",;\n"  // a ';' before the tuple
      "\"Type=Disk\" ,\"Id=spaced\",;\n"             // text after a closing quote
      "\"Type=Disk\",\"Id=three\",\"X=1\",;\n"       // a third element
      "\"Type=Disk\",\"Id=no-end\",x;\"Y=2\",;\n"    // no ';' right after the comma
      "Type=Disk,Id=unquoted,;\n"
      "\"Id=d\",\"Type=Disk\",;\n"                // the other order
      "\"Type=Disk\",\"Name=n\",;\n"              // another key
      "\"Kind=Disk\",\"Id=k\",;\n"                // another key first
      "\"Type=Disk\",\"Id=quote\"in\"side\",;\n"  // quotes inside
      "\"Type=Disk\",\"Id=last\",;";
  for (int size : {1, 5, 16, 29, 64, 4096}) {
    SCOPED_TRACE(size);
    const int plain_fd = MemFile(input);
    const int fast_fd = MemFile(input);
    int taken = 0, none = 0;
    const std::vector<std::string> plain = ReadLines(plain_fd, size, false, &none);
    EXPECT_EQ(plain, ReadLines(fast_fd, size, true, &taken));
    EXPECT_EQ(15u, plain.size());
    if (size == 4096) {
      EXPECT_EQ(4, taken);  // the lines of the common shape but the first (nothing buffered yet)
    }
    close(plain_fd);
    close(fast_fd);
  }
}

// A tuple that views its text in the stream's buffer keeps that text, byte for byte, however
// the buffer's bytes go while it is held: the buffer refilled for tuples read into another
// tuple, the reader moved to another stream, the reader's end (each followed by the stream's
// end); and a held tuple that ends first is forgotten by the reader.
TEST(TupleReaderTest, ATupleViewingTheBufferKeepsItsText) {
  std::string input;
  for (int i = 0; i < 40; ++i)
    input += "\"Name=n" + std::to_string(i) + "\",\"Size=" + std::to_string(i * 7) + "\",;\n";
  enum Way { kOtherTuples, kOtherStream, kReaderEnds, kTupleEnds };
  for (Way way : {kOtherTuples, kOtherStream, kReaderEnds, kTupleEnds}) {
    SCOPED_TRACE(way);
    const int fd = MemFile(input);
    StringStream next("\"B=2\",;");
    auto stream = std::make_unique<CSRMTupleFDStream>(64);
    auto reader = std::make_unique<CSRMReportTupleStreamReader>();
    ASSERT_EQ(CSRM_OK, stream->SetFileDescriptor(fd));
    ASSERT_EQ(CSRM_OK, reader->SetTupleStream(stream.get()));
    auto held = std::make_unique<CSRMReportTuple>();
    // The first tuple comes with the first read() and is copied; the next lies in the buffer.
    ASSERT_EQ(CSRM_OK, reader->ReadNextTuple(held.get()));
    ASSERT_EQ(CSRM_OK, reader->ReadNextTuple(held.get()));
    ASSERT_TRUE(held->viewsText());
    std::vector<std::string> before, after;
    held->getAllElements(&before);
    CSRMReportTuple other;
    switch (way) {
      case kOtherTuples:
        while (reader->ReadNextTuple(&other) == CSRM_OK) continue;
        EXPECT_FALSE(held->viewsText());
        break;
      case kOtherStream:
        ASSERT_EQ(CSRM_OK, reader->SetTupleStream(&next));
        break;
      case kReaderEnds:
        reader.reset();
        break;
      case kTupleEnds:
        held.reset();
        EXPECT_EQ(CSRM_OK, reader->ReadNextTuple(&other));
        EXPECT_EQ(3u, other.getElementCount() + 1);
        break;
    }
    stream.reset();
    close(fd);
    if (held) {
      held->getAllElements(&after);
      EXPECT_EQ(std::vector<std::string>({"\"Name=n1\"", "\"Size=7\""}), after);
      EXPECT_EQ(before, after);
    }
  }
}

TEST(TupleReaderTest, AllocationFailureAtEveryStepIsClean) {
  const std::string value(600, 'v');  // outgrows both reserved text buffers
  const std::string input = "\"Name=" + value + "\",\"PubId=a-long-public-identifier\",;";
  for (const bool raw : {false, true}) {
    const std::string whole = raw ? "ok[" + input.substr(0, input.size() - 1) + "]"
                                  : "ok[\"Name=" + value + "\"|\"PubId=a-long-public-identifier\"]";
    for (long n = 0;; ++n) {
      StringStream stream(input);
      CSRMReportTupleStreamReader reader;
      ASSERT_EQ(CSRM_OK, reader.SetTupleStream(&stream));
      bool failed;
      const std::string answer = Next(&reader, raw, n, &failed);
      if (!failed) {
        EXPECT_EQ(whole, answer);
        break;
      }
      EXPECT_EQ("nomem", answer) << n;
      const bool start = reader.GetState() == State::Start;
      EXPECT_EQ(start ? whole : "bad", Next(&reader, raw)) << n;
      EXPECT_TRUE(!start || stream.at == input.size()) << n;
    }
  }
}

std::string Take(CSRMTupleStream* stream, size_t limit, unsigned long* end = nullptr) {
  std::string out;
  unsigned long rc = CSRM_OK;
  char c;
  while (out.size() < limit && (rc = stream->GetNextCharacter(c)) == CSRM_OK) out.push_back(c);
  if (end != nullptr) *end = rc;
  return out;
}

TEST(TupleFDStreamTest, ReadsOneBlockAtATimeAndEndsForGoodUntilReset) {
  for (const int block : {1024, 16, 1}) {
    std::string text;
    for (int i = 0; i < 3000 / block + 45; ++i) text.push_back(static_cast<char>('a' + i % 26));
    const int fd = MemFile(text);
    CSRMTupleFDStream stream(block == 1024 ? 0 : block);  // 0: the default block
    ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(fd));
    for (size_t i = 0; i < text.size(); ++i) {
      ASSERT_EQ(text.substr(i, 1), Take(&stream, 1));
      // One read() per block, made when the previous block is used up.
      ASSERT_EQ(static_cast<off_t>(std::min(text.size(), (i / block + 1) * block)),
                lseek(fd, 0, SEEK_CUR))
          << block << " " << i;
    }
    unsigned long end;
    EXPECT_EQ("", Take(&stream, 1, &end));
    EXPECT_EQ(CSRM_END_OF_DATA, end);
    ASSERT_EQ(3, pwrite(fd, "XYZ", 3, static_cast<off_t>(text.size())));
    EXPECT_EQ("", Take(&stream, 1, &end));  // no further read() once the end was seen
    EXPECT_EQ(CSRM_END_OF_DATA, end);
    EXPECT_EQ(CSRM_OK, stream.ResetToStart());
    EXPECT_EQ(text + "XYZ", Take(&stream, 10000));
    close(fd);
  }
}

TEST(TupleFDStreamTest, DescriptorsBufferSizesAndResets) {
  EXPECT_EQ(0, CSRMTupleFDStream::IsFDValid(-1));
  EXPECT_NE(0, CSRMTupleFDStream::IsFDValid(0));
  CSRMTupleFDStream stream;
  char c = 'k';
  EXPECT_EQ(CSRM_READ_FAILED, stream.GetNextCharacter(c));  // no descriptor
  EXPECT_EQ(CSRM_READ_FAILED, stream.ResetToStart());
  EXPECT_EQ('k', c);
  EXPECT_EQ(0, stream.IsValid());
  EXPECT_EQ(CSRM_BAD_STATE, stream.SetFileDescriptor(-1));
  EXPECT_EQ(CSRM_READ_FAILED, stream.SetBufferSize(0));
  EXPECT_EQ(CSRM_OK, stream.SetBufferSize(1));
  EXPECT_EQ(CSRM_OK, stream.SetBufferSize(CSRMTupleFDStream::kDefaultBufferSize));
  const int first = MemFile("abc"), second = MemFile(std::string(100, 'x'));
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(first));
  EXPECT_NE(0, stream.IsValid());
  EXPECT_EQ(CSRM_BAD_STATE, stream.SetBufferSize(16));  // too late: the default block stays
  EXPECT_EQ(CSRM_BAD_STATE, stream.SetFileDescriptor(-1));
  EXPECT_EQ("a", Take(&stream, 1));
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(second));  // the buffered "bc" is dropped
  EXPECT_EQ("x", Take(&stream, 1));
  EXPECT_EQ(100, lseek(second, 0, SEEK_CUR));
  const int copy = dup(first);
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(copy));
  EXPECT_EQ(CSRM_OK, stream.ResetToStart());
  EXPECT_EQ("a", Take(&stream, 1));
  close(copy);  // a seek failing otherwise than on a pipe changes nothing
  EXPECT_EQ(CSRM_READ_FAILED, stream.ResetToStart());
  EXPECT_EQ("bc", Take(&stream, 2));
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  ASSERT_EQ(6, write(fds[1], "abcdef", 6));
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(fds[0]));
  EXPECT_EQ("a", Take(&stream, 1));
  EXPECT_EQ(CSRM_OK, stream.ResetToStart());  // a pipe cannot seek: the buffer is dropped
  ASSERT_EQ(3, write(fds[1], "XYZ", 3));
  close(fds[1]);
  EXPECT_EQ("XYZ", Take(&stream, 10));
  for (int fd : {first, second, fds[0]}) close(fd);
}

TEST(TupleFDStreamTest, FailedReadIsNoEnd) {
  const int dir = open(".", O_RDONLY | O_DIRECTORY);  // read() fails with EISDIR
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(dir));
  char c = 0;
  EXPECT_EQ(CSRM_READ_FAILED, stream.GetNextCharacter(c));
  EXPECT_EQ(CSRM_READ_FAILED, stream.GetNextCharacter(c));  // not taken for an end
  close(dir);
}

// A stream whose buffer could not be allocated must not take the missing buffer for an end.
TEST(TupleFDStreamTest, WithoutABufferReadingFailsForWantOfMemory) {
  for (const bool resize : {false, true}) {
    std::unique_ptr<CSRMTupleFDStream> stream;
    if (!resize) {
      ScopedAllocFault fault(1);  // the object succeeds, its buffer fails
      stream.reset(new CSRMTupleFDStream);
    } else {
      stream.reset(new CSRMTupleFDStream);
      ScopedAllocFault fault(0);
      EXPECT_EQ(CSRM_NO_MEMORY, stream->SetBufferSize(64));
    }
    ASSERT_EQ(CSRM_OK, stream->SetFileDescriptor(0));
    EXPECT_EQ(0, stream->IsValid());
    char c;
    EXPECT_EQ(CSRM_NO_MEMORY, stream->GetNextCharacter(c));
  }
}

}  // namespace
