// CSRMReportTuple: one tuple of tuple text, its element texts in input order (surrounding
// quotes kept) and a read position. The texts lie in one run, each followed by one separator
// byte (the comma that ended it, as the reader takes a tuple's text whole), so a tuple costs a
// couple of allocations however many elements it has, and a tuple that is cleared and filled
// again reuses them. The run is the tuple's own buffer, or text the reader lends it: a tuple
// that lies whole in the reader's input buffer views it there, and the reader has the tuple
// copy it before those bytes change (see viewText). Tuples handed out by the reader belong to
// the caller.
#ifndef RESDB_TUPLE_REPORT_TUPLE_H_
#define RESDB_TUPLE_REPORT_TUPLE_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tuple/result_codes.h"

class CSRMReportTuple {
 public:
  CSRMReportTuple();
  // Copies the elements; the copy starts at its first element.
  CSRMReportTuple(const CSRMReportTuple& other);
  CSRMReportTuple& operator=(const CSRMReportTuple&) = delete;
  virtual ~CSRMReportTuple();

  // Appends a copy of element and makes the next getNextElement start over. Returns 0.
  unsigned long addElement(const std::string& element);
  // Appends the first length bytes of text, or all of it up to its NUL when length <= 0.
  // A null text gives CSRM_NULL_ARGUMENT and changes nothing.
  unsigned long addElement(const char* text, long length);

  // Copies the next element into *element and advances; CSRM_END_OF_DATA after the last one
  // (*element unchanged). A null element gives CSRM_NULL_ARGUMENT.
  unsigned long getNextElement(std::string* element);
  // The same without the copy: *element views the tuple's own text, valid until the tuple is
  // next changed. Never fails for want of memory. A null element gives CSRM_NULL_ARGUMENT.
  unsigned long getNextElementView(std::string_view* element) {
    if (element == nullptr) return CSRM_NULL_ARGUMENT;
    if (restart_) resetNext();
    if (next_ >= end_count_) return CSRM_END_OF_DATA;
    *element = elementAt(next_++);
    return CSRM_OK;
  }
  // Replaces *elements with all elements in order; the read position is unchanged.
  unsigned long getAllElements(std::vector<std::string>* elements) const;
  // Rewinds the read position to the first element. Returns 0.
  unsigned long resetNext() {
    next_ = 0;
    restart_ = false;
    return CSRM_OK;
  }
  // The index of the element the next read returns (0 after a rewind or an added element).
  size_t getNextIndex() const { return restart_ ? 0 : next_; }
  // Moves the read position to index, at most the element count. Returns 0.
  unsigned long setNextIndex(size_t index) {
    next_ = index < end_count_ ? index : end_count_;
    restart_ = false;
    return CSRM_OK;
  }
  // Removes every element and rewinds; the buffers keep their room, and lent text is given
  // back. Returns 0.
  unsigned long clearTuple();

  size_t getElementCount() const { return end_count_; }
  // The elements as they lie, for a walk that leaves the tuple as it is: element i is the text
  // from text + (i == 0 ? 0 : ends[i - 1] + 1) to text + ends[i]. Valid until the tuple changes.
  struct Elements {
    const char* text;
    const size_t* ends;
    size_t count;
  };
  Elements elements() const { return {data_, ends_.data(), end_count_}; }

  // The key id a walk over the elements last found at index, kept for the next walk over a
  // tuple read into this one (which tries it first); -1 when none is kept. Only the first
  // kGuessedKeys positions keep one. Nothing here changes the elements.
  static constexpr size_t kGuessedKeys = 32;
  int keyGuess(size_t index) const { return index < kGuessedKeys ? key_guesses_[index] : -1; }
  void setKeyGuess(size_t index, int key) {
    if (index < kGuessedKeys) key_guesses_[index] = static_cast<int8_t>(key);
  }

  // --- Building elements in place (for the tuple reader) ---
  // The reader appends a tuple's text as it comes, separators included, and marks where each
  // element ends: at offset end of the text, where its separator is or will be appended.
  // Elements are marked in order, each after the previous one's separator; the text appended
  // after the last mark is pending, and no read sees it. clearTuple and addElement drop it.
  // The appends and markElementEnd throw std::bad_alloc when the buffers cannot grow.
  // A tuple that views lent text is cleared before the reader appends to it.
  void appendText(char c) {
    text_.push_back(c);
    data_ = text_.data();
  }
  void appendText(const char* data, size_t size) {
    text_.append(data, size);
    data_ = text_.data();
  }
  size_t textSize() const { return lender_ != nullptr ? viewed_size_ : text_.size(); }
  void markElementEnd(size_t end) {
    if (end_count_ == ends_.size()) growMarks();
    ends_[end_count_++] = end;
    restart_ = true;
  }
  // Marks made in place, for the reader's run over a buffer: the room after the last mark is
  // [markCursor(), markLimit()). The reader writes ends there in order, then gives the tuple
  // the cursor where it stopped (markedUpTo) before anything else reads or changes the tuple;
  // growMarks, after markedUpTo, makes more room.
  size_t* markCursor() { return ends_.data() + end_count_; }
  const size_t* markLimit() const { return ends_.data() + ends_.size(); }
  void markedUpTo(const size_t* cursor) {
    const size_t count = static_cast<size_t>(cursor - ends_.data());
    if (count == end_count_) return;
    end_count_ = count;
    restart_ = true;
  }
  // Room for at least one more mark. Throws std::bad_alloc, the marks as they were.
  void growMarks();
  // Makes room for text_bytes of element text and element_count elements in all. CSRM_OK, or
  // CSRM_NO_MEMORY with the tuple unchanged.
  unsigned long reserve(size_t text_bytes, size_t element_count) {
    if (text_.capacity() >= text_bytes && ends_.size() >= element_count) return CSRM_OK;
    return grow(text_bytes, element_count);
  }

  // --- Lent text (for the tuple reader) ---
  // Makes the tuple, which holds no text, view the size bytes at data as its text instead of a
  // copy; the elements are then marked as for appended text. *lender is the reader's note of
  // the tuple it lends to: it is set to this tuple, and cleared when the tuple gives the text
  // back (clearTuple, ownText, the tuple's end). The reader keeps the bytes as they are while
  // its note names the tuple, and calls ownText before it changes them.
  void viewText(const char* data, size_t size, CSRMReportTuple** lender) {
    data_ = data;
    viewed_size_ = size;
    lender_ = lender;
    *lender = this;
  }
  // Copies viewed text into the tuple's own buffer and gives the lent text back. CSRM_OK (also
  // when nothing is viewed), or CSRM_NO_MEMORY with the tuple still viewing it.
  unsigned long ownText();
  // Whether the tuple views lent text.
  bool viewsText() const { return lender_ != nullptr; }

 private:
  // reserve's room made, when there is too little.
  unsigned long grow(size_t text_bytes, size_t element_count);
  // Appends size bytes of text as the last element; CSRM_OK or CSRM_NO_MEMORY (unchanged).
  unsigned long add(const char* text, size_t size);
  std::string_view elementAt(size_t index) const {
    const size_t begin = index == 0 ? 0 : ends_[index - 1] + 1;
    return std::string_view(data_ + begin, ends_[index] - begin);
  }
  // Drops the bytes after the last element (its separator included); the tuple owns its text.
  void dropPending() { text_.resize(end_count_ == 0 ? 0 : ends_[end_count_ - 1]); }
  // Clears the reader's note of lent text if it still names this tuple; the tuple views its own
  // buffer again.
  void forgetLender() {
    if (*lender_ == this) *lender_ = nullptr;
    lender_ = nullptr;
    viewed_size_ = 0;
    data_ = text_.data();
  }

  std::string text_;  // owned text: each element's text and a separator byte, then pending text
  const char* data_ = text_.data();     // where the text is: text_'s bytes, or lent ones
  size_t viewed_size_ = 0;              // the lent text's size, while text is lent
  CSRMReportTuple** lender_ = nullptr;  // the reader's note while text is lent, else null
  // Where each element's text ends (its separator's offset): the first end_count_ entries; the
  // rest is room for more.
  std::vector<size_t> ends_;
  size_t end_count_ = 0;
  size_t next_ = 0;       // index of the element getNextElement returns next
  bool restart_ = false;  // set by addElement: the next read rewinds first
  // keyGuess's ids (every key id fits), -1 for none; they outlive clearTuple.
  int8_t key_guesses_[kGuessedKeys] = {-1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1, -1,
                                       -1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
};

#endif  // RESDB_TUPLE_REPORT_TUPLE_H_
