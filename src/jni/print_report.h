// The text the native print method hands back to Java for a database.
#ifndef RESDB_JNI_PRINT_REPORT_H_
#define RESDB_JNI_PRINT_REPORT_H_

#include <string>

class SrmResourceDatabase;

// The CIM-XML report of db (not null), or one of the texts "ERROR 1" (no instance list),
// "ERROR 2" (the report could not be generated), "ERROR 3" (marshalling failed), "ERROR 4",
// "ERROR UNEXPECTED". Throws nothing.
std::string printReport(SrmResourceDatabase* db);

#endif  // RESDB_JNI_PRINT_REPORT_H_
