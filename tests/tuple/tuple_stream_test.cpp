#include "tuple/tuple_stream.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "alloc_fault.h"
#include "fd_sources.h"
#include "tuple/result_codes.h"

namespace {

// Takes up to limit characters; *end receives the first non-zero result (0 if none came).
std::string Take(CSRMTupleStream* stream, size_t limit, unsigned long* end = nullptr) {
  std::string out;
  unsigned long rc = CSRM_OK;
  char c;
  while (out.size() < limit && (rc = stream->GetNextCharacter(c)) == CSRM_OK) out.push_back(c);
  if (end != nullptr) *end = rc;
  return out;
}

std::string Pattern(size_t n) {
  std::string s;
  for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + i % 26));
  return s;
}

TEST(TupleFDStreamTest, ValidityNeedsADescriptorAndABuffer) {
  EXPECT_EQ(0, CSRMTupleFDStream::IsFDValid(-1));
  EXPECT_NE(0, CSRMTupleFDStream::IsFDValid(0));
  EXPECT_NE(0, CSRMTupleFDStream::IsFDValid(100000));  // the number alone counts
  CSRMTupleFDStream stream;
  EXPECT_EQ(0, stream.IsValid());
  EXPECT_EQ(CSRM_BAD_STATE, stream.SetFileDescriptor(-1));
  EXPECT_EQ(0, stream.IsValid());
  EXPECT_EQ(CSRM_OK, stream.SetFileDescriptor(0));
  EXPECT_NE(0, stream.IsValid());
  EXPECT_EQ(CSRM_BAD_STATE, stream.SetFileDescriptor(-1));
  EXPECT_NE(0, stream.IsValid());
}

TEST(TupleFDStreamTest, WithoutDescriptorReadingAndResetFail) {
  CSRMTupleFDStream stream;
  char c = 'k';
  EXPECT_EQ(CSRM_READ_FAILED, stream.GetNextCharacter(c));
  EXPECT_EQ('k', c);
  EXPECT_EQ(CSRM_READ_FAILED, stream.ResetToStart());
}

TEST(TupleFDStreamTest, EmptyFileEndsAndStaysEndedUntilReset) {
  TempFile file("");
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(file.fd()));
  char c = 'k';
  EXPECT_EQ(CSRM_END_OF_DATA, stream.GetNextCharacter(c));
  // Data arriving later is not read: the end is sticky and no further read() happens.
  ASSERT_EQ(3, pwrite(file.fd(), "abc", 3, 0));
  EXPECT_EQ(CSRM_END_OF_DATA, stream.GetNextCharacter(c));
  EXPECT_EQ('k', c);
  EXPECT_EQ(CSRM_OK, stream.ResetToStart());
  EXPECT_EQ("abc", Take(&stream, 10));
}

TEST(TupleFDStreamTest, ReadsInBlocksOfTheBufferSize) {
  struct Case {
    int buffer_size;  // 0: the default
    size_t file_size;
  };
  for (const Case& c : {Case{0, 1024}, Case{0, 3000}, Case{16, 40}, Case{1, 5}}) {
    const std::string text = Pattern(c.file_size);
    TempFile file(text);
    CSRMTupleFDStream stream;
    if (c.buffer_size != 0) {
      ASSERT_EQ(CSRM_OK, stream.SetBufferSize(c.buffer_size));
    }
    ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(file.fd()));
    const size_t block = c.buffer_size != 0 ? c.buffer_size : 1024;
    std::string got;
    for (size_t i = 0; i < c.file_size; ++i) {
      got += Take(&stream, 1);
      // One read() per block, made when the previous block is used up.
      EXPECT_EQ(static_cast<off_t>(std::min(c.file_size, (i / block + 1) * block)), file.Offset())
          << "block " << block << " at byte " << i;
    }
    EXPECT_EQ(text, got);
    unsigned long end;
    EXPECT_EQ("", Take(&stream, 1, &end));
    EXPECT_EQ(CSRM_END_OF_DATA, end);
  }
}

TEST(TupleFDStreamTest, BufferSizeIsChosenOnlyBeforeADescriptor) {
  TempFile file(Pattern(100));
  CSRMTupleFDStream stream;
  EXPECT_EQ(CSRM_READ_FAILED, stream.SetBufferSize(0));
  EXPECT_EQ(CSRM_READ_FAILED, stream.SetBufferSize(-8));
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(file.fd()));
  EXPECT_EQ(CSRM_BAD_STATE, stream.SetBufferSize(16));
  EXPECT_NE(0, stream.IsValid());
  Take(&stream, 1);
  EXPECT_EQ(100, file.Offset());  // still the default block
}

TEST(TupleFDStreamTest, ShortReadsNeverEndTheStream) {
  const std::string text = Pattern(2500);
  ShortReadSource source(text, 10);
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetBufferSize(16));
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(source.fd()));
  unsigned long end;
  EXPECT_EQ(text, Take(&stream, text.size() + 1, &end));
  EXPECT_EQ(CSRM_END_OF_DATA, end);
}

TEST(TupleFDStreamTest, ResetOnAFileRewinds) {
  TempFile file("xyz");
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(file.fd()));
  EXPECT_EQ("xyz", Take(&stream, 10));
  EXPECT_EQ(CSRM_OK, stream.ResetToStart());
  EXPECT_EQ("xyz", Take(&stream, 10));
}

TEST(TupleFDStreamTest, ResetOnAPipeDropsTheBufferAndGoesOn) {
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  ASSERT_EQ(6, write(fds[1], "abcdef", 6));
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(fds[0]));
  EXPECT_EQ("a", Take(&stream, 1));
  EXPECT_EQ(CSRM_OK, stream.ResetToStart());
  ASSERT_EQ(3, write(fds[1], "XYZ", 3));
  close(fds[1]);
  EXPECT_EQ("XYZ", Take(&stream, 10));
  close(fds[0]);
}

TEST(TupleFDStreamTest, FailedSeekChangesNothing) {
  TempFile file("abc");
  const int fd = dup(file.fd());
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(fd));
  EXPECT_EQ("a", Take(&stream, 1));
  close(fd);  // lseek now fails with EBADF, not ESPIPE
  EXPECT_EQ(CSRM_READ_FAILED, stream.ResetToStart());
  EXPECT_EQ("bc", Take(&stream, 2));  // the buffered bytes survived
}

TEST(TupleFDStreamTest, FailedReadIsReportedAndRetriedNextTime) {
  const int dir = open(".", O_RDONLY | O_DIRECTORY);  // read() on it fails with EISDIR
  ASSERT_GE(dir, 0);
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(dir));
  char c;
  EXPECT_EQ(CSRM_READ_FAILED, stream.GetNextCharacter(c));
  EXPECT_EQ(CSRM_READ_FAILED, stream.GetNextCharacter(c));  // not taken for an end
  TempFile file("ok");
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(file.fd()));
  EXPECT_EQ("ok", Take(&stream, 10));
  close(dir);
}

std::atomic<int> g_signals{0};
void CountSignal(int) {
  ++g_signals;
}

TEST(TupleFDStreamTest, ReadInterruptedBySignalIsRetried) {
  struct sigaction action = {}, previous = {};
  action.sa_handler = CountSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;  // no SA_RESTART: the blocked read() returns EINTR
  ASSERT_EQ(0, sigaction(SIGUSR1, &action, &previous));
  int fds[2];
  ASSERT_EQ(0, pipe(fds));
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(fds[0]));
  unsigned long rc = ~0ul;
  char c = 0;
  std::thread reader([&] { rc = stream.GetNextCharacter(c); });
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // let it block in read()
  pthread_kill(reader.native_handle(), SIGUSR1);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  ASSERT_EQ(1, write(fds[1], "q", 1));
  reader.join();
  EXPECT_EQ(1, g_signals.load());
  EXPECT_EQ(CSRM_OK, rc);
  EXPECT_EQ('q', c);
  sigaction(SIGUSR1, &previous, nullptr);
  close(fds[0]);
  close(fds[1]);
}

TEST(TupleFDStreamTest, SwitchingDescriptorsDropsBufferedBytes) {
  TempFile first("abc"), second("xyz");
  CSRMTupleFDStream stream;
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(first.fd()));
  EXPECT_EQ("a", Take(&stream, 1));
  ASSERT_EQ(CSRM_OK, stream.SetFileDescriptor(second.fd()));
  EXPECT_EQ("xyz", Take(&stream, 10));
}

TEST(TupleFDStreamTest, DestructorLeavesTheDescriptorOpen) {
  TempFile file("abc");
  {
    CSRMTupleFDStream stream;
    stream.SetFileDescriptor(file.fd());
    Take(&stream, 1);
  }
  EXPECT_NE(-1, fcntl(file.fd(), F_GETFD));
}

TEST(TupleFDStreamTest, WithoutABufferTheStreamIsInvalidAndNeverEndsCleanly) {
  TempFile file("abc");
  for (int failing_step = 0; failing_step < 2; ++failing_step) {
    std::unique_ptr<CSRMTupleFDStream> stream;
    unsigned long resize = CSRM_OK;
    if (failing_step == 0) {
      ScopedAllocFault fault(1);  // the stream object succeeds, its buffer fails
      stream.reset(new CSRMTupleFDStream);
    } else {
      stream.reset(new CSRMTupleFDStream);
      ScopedAllocFault fault(0);
      resize = stream->SetBufferSize(64);
    }
    EXPECT_EQ(failing_step == 0 ? CSRM_OK : CSRM_NO_MEMORY, resize);
    ASSERT_EQ(CSRM_OK, stream->SetFileDescriptor(file.fd()));
    EXPECT_EQ(0, stream->IsValid());
    char c;
    EXPECT_EQ(CSRM_NO_MEMORY, stream->GetNextCharacter(c));
  }
}

}  // namespace
