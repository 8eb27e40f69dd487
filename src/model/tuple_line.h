// SrmTupleLine: the one writer of canonical tuple text. Every record, error, service group and
// the database header assemble their line through it: elements "Key=value", with nothing
// between them, then ";\n", handed to the descriptor in one write. Values are written as they
// are (no escaping) and whole, whatever their length.
#ifndef RESDB_MODEL_TUPLE_LINE_H_
#define RESDB_MODEL_TUPLE_LINE_H_

#include <cstdint>
#include <string>

class SrmTupleLine {
 public:
  // Assembles into *buffer (borrowed; typically the database's serialization buffer), which
  // is emptied first.
  explicit SrmTupleLine(std::string* buffer);
  SrmTupleLine(const SrmTupleLine&) = delete;
  SrmTupleLine& operator=(const SrmTupleLine&) = delete;

  // "\"Key=value\"," for a text; left out when value is empty.
  void addText(int key_id, const std::string& value);
  // The same, written even when value is empty.
  void addTextAlways(int key_id, const std::string& value);
  // "\"Key=<decimal>\","; always written.
  void addInteger(int key_id, int64_t value);
  // Appends raw text to the line as it is.
  void addRaw(const std::string& text);

  // Ends the line with ";\n" and writes it to fd. Returns 1 when the whole line was written,
  // 0 otherwise (a write error or a descriptor that takes nothing more).
  int writeTo(int fd);

  const std::string& text() const { return *buffer_; }

 private:
  std::string* const buffer_;
};

// Writes all of data to fd, retrying interrupted and partial writes. 1 on success, else 0.
int SrmWriteAll(int fd, const std::string& data);

#endif  // RESDB_MODEL_TUPLE_LINE_H_
