// The text the native print method hands back to Java for a database.
#ifndef RESDB_JNI_PRINT_REPORT_H_
#define RESDB_JNI_PRINT_REPORT_H_

#include <string>

class SrmResourceDatabase;

// The CIM-XML report of db's host, or one of the texts "ERROR 1" (no instance list),
// "ERROR 2" (the report could not be generated), "ERROR 3" (marshalling failed), "ERROR 4",
// "ERROR UNEXPECTED" (anything else failed, an allocation for instance). The converter, the
// string buffer and the instance list are released whatever the outcome. The text is always
// modified UTF-8, ready for NewStringUTF. Throws nothing.
std::string printReport(SrmResourceDatabase* db);

// True when text (up to its NUL) is modified UTF-8: sequences of one to three bytes only,
// none overlong except the two-byte form of U+0000.
bool IsModifiedUtf8(const char* text);

#endif  // RESDB_JNI_PRINT_REPORT_H_
