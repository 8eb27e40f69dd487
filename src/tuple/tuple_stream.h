// Character sources of the tuple reader. CSRMTupleStream is the interface; CSRMTupleFDStream
// reads a file descriptor it does not own through a block buffer it does own.
#ifndef RESDB_TUPLE_TUPLE_STREAM_H_
#define RESDB_TUPLE_TUPLE_STREAM_H_

#include <cstddef>

class CSRMTupleStream {
 public:
  CSRMTupleStream() = default;
  CSRMTupleStream(const CSRMTupleStream&) = delete;
  CSRMTupleStream& operator=(const CSRMTupleStream&) = delete;
  virtual ~CSRMTupleStream() = default;

  // Non-zero when the stream can deliver characters.
  virtual int IsValid() = 0;
  // Stores the next character in c and returns 0, or returns CSRM_END_OF_DATA / an error
  // code and leaves c unwritten.
  virtual unsigned long GetNextCharacter(char& c) = 0;
  // Goes back to the first character, where the source allows it.
  virtual unsigned long ResetToStart() = 0;
};

class CSRMTupleFDStream : public CSRMTupleStream {
 public:
  static constexpr int kDefaultBufferSize = 1024;

  // Allocates the default buffer; no descriptor yet. If the allocation fails the stream has
  // no buffer and IsValid answers 0.
  CSRMTupleFDStream();
  // The same with a buffer of buffer_size bytes (the default size for a size below 1).
  explicit CSRMTupleFDStream(int buffer_size);
  // Frees the buffer; the descriptor stays open (its owner closes it).
  ~CSRMTupleFDStream() override;

  // Non-zero for any descriptor number >= 0; the operating system is not asked.
  static int IsFDValid(int fd);

  int IsValid() override;
  unsigned long GetNextCharacter(char& c) override;
  // Seeks to offset 0; on a pipe (ESPIPE) only drops the buffered bytes. CSRM_READ_FAILED
  // without a descriptor or when the seek fails otherwise.
  unsigned long ResetToStart() override;

  // Attaches fd (never closed by the stream) with an empty buffer. CSRM_BAD_STATE for fd < 0.
  unsigned long SetFileDescriptor(int fd);
  // Chooses the buffer size before the first descriptor is attached: CSRM_READ_FAILED for a
  // size below 1, CSRM_BAD_STATE once a descriptor is attached, CSRM_NO_MEMORY when the new
  // buffer cannot be allocated (the stream is then left without a buffer).
  unsigned long SetBufferSize(int size);

  // For a reader that takes a run of characters at once: the buffered bytes not yet handed
  // out, which GetNextCharacter would deliver next without reading (*count of them, possibly
  // 0; the address is valid until the next call on the stream). SkipBuffered(n), n <= *count,
  // hands out the first n as n calls of GetNextCharacter would.
  const char* PeekBuffered(size_t* count) const {
    *count = static_cast<size_t>(data_length_ - position_);
    return buffer_ + position_;
  }
  void SkipBuffered(size_t n) { position_ += static_cast<int>(n); }

 private:
  // Refills the buffer with one read(); CSRM_END_OF_DATA once read() has returned 0.
  unsigned long GetData();

  char* buffer_ = nullptr;  // owned, buffer_size_ bytes
  int buffer_size_ = 0;
  int data_length_ = 0;  // valid bytes in buffer_
  int position_ = 0;     // next byte to hand out; == data_length_ when used up
  int fd_ = -1;          // not owned
  int at_end_ = 0;       // read() reported end of file; no further read until reset
};

#endif  // RESDB_TUPLE_TUPLE_STREAM_H_
