// SrmTupleLine: the one writer of canonical tuple text. Every record, error, service group and
// the database header assemble their line through it: elements "Key=value", with nothing
// between them, then ";\n", handed to the descriptor in one write. Values are written as they
// are (no escaping) and whole, whatever their length. The line is assembled in place in the
// borrowed buffer: each element is copied into it at once, the key's opening quote, name and
// '=' from a table made once per process, and integers converted where they land.
#ifndef RESDB_MODEL_TUPLE_LINE_H_
#define RESDB_MODEL_TUPLE_LINE_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

class SrmTupleLine {
 public:
  // Assembles into *buffer (borrowed; typically the database's serialization buffer), which
  // is emptied first. While elements are added, *buffer may hold spare bytes past the line;
  // text(), writeTo and the destructor leave it holding exactly the line so far.
  explicit SrmTupleLine(std::string* buffer);
  ~SrmTupleLine();
  SrmTupleLine(const SrmTupleLine&) = delete;
  SrmTupleLine& operator=(const SrmTupleLine&) = delete;

  // Each add throws std::bad_alloc when the buffer cannot grow; the line then keeps the
  // elements added before. A value must not be the buffer itself (growing moves it).
  // "\"Key=value\"," for a text; left out when value is empty.
  void addText(int key_id, std::string_view value) {
    if (!value.empty()) addTextAlways(key_id, value);
  }
  // The same, written even when value is empty.
  void addTextAlways(int key_id, std::string_view value) {
    addElement(key_id, value.data(), value.size());
  }
  // "\"Key=Name\"," where Name is the name of the key name_id (a record's Type value).
  void addKeyName(int key_id, int name_id);
  // "\"Key=<decimal>\","; always written.
  void addInteger(int key_id, int64_t value);
  // Appends raw text to the line as it is.
  void addRaw(const std::string& text);

  // Ends the line with ";\n" and writes it to fd. Returns 1 when the whole line was written,
  // 0 otherwise (a write error or a descriptor that takes nothing more).
  int writeTo(int fd);

  const std::string& text() const;

 private:
  void addElement(int key_id, const char* value, size_t length);
  // The next n bytes of the line, to be filled by the caller.
  char* extend(size_t n) {
    if (buffer_->size() - length_ < n) grow(n);
    char* at = &(*buffer_)[length_];
    length_ += n;
    return at;
  }
  void grow(size_t n);

  std::string* const buffer_;
  size_t length_ = 0;  // the bytes of *buffer_ that hold the line; the rest is spare
};

// Writes all of data to fd, retrying interrupted and partial writes. 1 on success, else 0.
int SrmWriteAll(int fd, const std::string& data);

#endif  // RESDB_MODEL_TUPLE_LINE_H_
