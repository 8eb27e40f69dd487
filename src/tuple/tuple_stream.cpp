// CSRMTupleFDStream: block-buffered characters from a borrowed file descriptor.
#include "tuple/tuple_stream.h"

#include <errno.h>
#include <unistd.h>

#include <new>

#include "tuple/result_codes.h"

CSRMTupleFDStream::CSRMTupleFDStream() : CSRMTupleFDStream(kDefaultBufferSize) {}

CSRMTupleFDStream::CSRMTupleFDStream(int buffer_size) {
  if (buffer_size < 1) buffer_size = kDefaultBufferSize;
  buffer_ = new (std::nothrow) char[static_cast<size_t>(buffer_size)];
  buffer_size_ = buffer_ != nullptr ? buffer_size : 0;
}

CSRMTupleFDStream::~CSRMTupleFDStream() {
  delete[] buffer_;
}

int CSRMTupleFDStream::IsFDValid(int fd) {
  return fd >= 0 ? 1 : 0;
}

int CSRMTupleFDStream::IsValid() {
  return buffer_ != nullptr && IsFDValid(fd_) ? 1 : 0;
}

unsigned long CSRMTupleFDStream::GetNextCharacter(char& c) {
  if (position_ >= data_length_) {
    const unsigned long result = GetData();
    if (result != CSRM_OK) return result;
  }
  c = buffer_[position_++];
  return CSRM_OK;
}

unsigned long CSRMTupleFDStream::ResetToStart() {
  if (!IsFDValid(fd_)) return CSRM_READ_FAILED;
  // A pipe, FIFO or socket cannot seek: dropping what is buffered is all a reset can do there.
  if (lseek(fd_, 0, SEEK_SET) < 0 && errno != ESPIPE) return CSRM_READ_FAILED;
  data_length_ = 0;
  position_ = 0;
  at_end_ = 0;
  return CSRM_OK;
}

unsigned long CSRMTupleFDStream::SetFileDescriptor(int fd) {
  if (!IsFDValid(fd)) return CSRM_BAD_STATE;
  fd_ = fd;
  data_length_ = 0;
  position_ = 0;
  at_end_ = 0;
  return CSRM_OK;
}

unsigned long CSRMTupleFDStream::SetBufferSize(int size) {
  if (size < 1) return CSRM_READ_FAILED;
  if (IsFDValid(fd_)) return CSRM_BAD_STATE;
  delete[] buffer_;
  buffer_ = new (std::nothrow) char[size];
  buffer_size_ = buffer_ != nullptr ? size : 0;
  data_length_ = 0;
  position_ = 0;
  return buffer_ != nullptr ? CSRM_OK : CSRM_NO_MEMORY;
}

unsigned long CSRMTupleFDStream::GetData() {
  // Without a buffer (its allocation failed) there is nowhere to read to; a zero-length read
  // would look like end of file and turn the failure into a clean, empty input.
  if (buffer_ == nullptr) return CSRM_NO_MEMORY;
  if (at_end_) return CSRM_END_OF_DATA;
  ssize_t count;
  do {
    count = read(fd_, buffer_, static_cast<size_t>(buffer_size_));
  } while (count < 0 && errno == EINTR);   // a signal during the wait is not a read failure
  if (count < 0) return CSRM_READ_FAILED;  // buffer state unchanged; the next call reads again
  if (count == 0) {
    at_end_ = 1;
    return CSRM_END_OF_DATA;
  }
  data_length_ = static_cast<int>(count);
  position_ = 0;
  return CSRM_OK;
}
