// RecordLine: one record's tuple line as the scan files hold it, built key by key through the
// library's own line writer (keys by their vocabulary ids). Values are written as they are, so
// a double quote or a control character, which would end or break the line, becomes '?'.
#ifndef RESDB_COLLECT_RECORD_LINE_H_
#define RESDB_COLLECT_RECORD_LINE_H_

#include <cstdint>
#include <string>
#include <vector>

#include "model/tuple_line.h"
#include "tuple/key_vocabulary.h"

class RecordLine {
 public:
  // Starts the line with "Type=<type>".
  explicit RecordLine(const char* type) : line_(&text_) { line_.addText(kKeyType, type); }
  RecordLine(const RecordLine&) = delete;
  RecordLine& operator=(const RecordLine&) = delete;

  // Adds "key=value" (left out when value is empty).
  RecordLine& text(int key, const std::string& value) {
    std::string clean = value;
    for (char& c : clean) {
      if (c == '"' || static_cast<unsigned char>(c) < 0x20) c = '?';
    }
    line_.addText(key, clean);
    return *this;
  }
  RecordLine& number(int key, int64_t value) {
    line_.addInteger(key, value);
    return *this;
  }
  // The line, ended, followed by one reference line ("Type=<kind>","Id=<id>") per id.
  std::string done(const char* kind = nullptr, const std::vector<std::string>& ids = {}) {
    line_.addRaw(";\n");
    std::string lines = line_.text();
    for (const std::string& id : ids) lines += RecordLine(kind).text(kKeyId, id).done();
    return lines;
  }

 private:
  std::string text_;
  SrmTupleLine line_;
};

#endif  // RESDB_COLLECT_RECORD_LINE_H_
