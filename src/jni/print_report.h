// The text the native print method hands back to Java for a database.
#ifndef RESDB_JNI_PRINT_REPORT_H_
#define RESDB_JNI_PRINT_REPORT_H_

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>

#include "cimxml/sbuf.h"

class SrmResourceDatabase;

// What one report ends with: the CIM-XML text, kept in the string buffer the marshaller wrote
// it into (so a large report is never copied before the virtual machine converts it), or a
// constant error text. Owns the buffer; the text lives as long as the object.
class ReportText {
 public:
  explicit ReportText(const char* error) : error_(error) {}
  ReportText(sbuf* buffer, size_t length) : buffer_(buffer), length_(length) {}

  // The NUL-terminated text: modified UTF-8, ready for NewStringUTF.
  const char* c_str() const { return buffer_ ? sbufGetString(buffer_.get()) : error_; }
  size_t length() const { return buffer_ ? length_ : strlen(error_); }

 private:
  std::unique_ptr<sbuf, SbufDeleter> buffer_;
  size_t length_ = 0;
  const char* error_ = "";  // a constant text
};

// The CIM-XML report of db's host, or one of the texts "ERROR 1" (no instance list),
// "ERROR 2" (the report could not be generated), "ERROR 3" (marshalling failed), "ERROR 4",
// "ERROR UNEXPECTED" (anything else failed, an allocation for instance). The converter, the
// string buffer and the instance list are released whatever the outcome. The text is always
// modified UTF-8, ready for NewStringUTF. Throws nothing.
ReportText buildReport(SrmResourceDatabase* db);

// The text of buildReport as a string.
std::string printReport(SrmResourceDatabase* db);

// True when text (up to its NUL) is modified UTF-8: sequences of one to three bytes only,
// none overlong except the two-byte form of U+0000.
bool IsModifiedUtf8(const char* text);

#endif  // RESDB_JNI_PRINT_REPORT_H_
