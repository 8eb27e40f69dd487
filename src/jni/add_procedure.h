// The procedure every add method follows to load one batch of collected tuple text into a
// database: stage the text in an anonymous file, attach it as the database's collection
// stream, turn each tuple into a record of the method's kind, and merge it into the record it
// describes or add it. The methods differ only in the table entry they pass.
#ifndef RESDB_JNI_ADD_PROCEDURE_H_
#define RESDB_JNI_ADD_PROCEDURE_H_

#include <cstdio>

class SrmResource;
class SrmResourceDatabase;

// Result texts of the add methods, as Java receives them.
extern const char kJniAddSucceeded[];      // "The operation succeeded."
extern const char kJniAddNoMemory[];       // "Memory allocation error"
extern const char kJniAddNoStagingFile[];  // "The file could not be opened."
extern const char kJniAddAttachFailed[];   // "Failed to attach collection stream"

// What sets one add method apart from the others. Plain data; entries are constants.
struct JniAddMethod {
  // A new record of the method's kind holding its creator's reference. May throw
  // std::bad_alloc.
  SrmResource* (*create)(SrmResourceDatabase* db);
  // The stored record the new one describes, or null. A null function: never look up.
  SrmResource* (*find)(SrmResourceDatabase* db, SrmResource* record);
  // Files the new record in the database (taking the database's own references); 1 or 0.
  int (*insert)(SrmResourceDatabase* db, SrmResource* record);
  // The errors filed under this computer's host name when the stream cannot be attached,
  // in order; the second may be null. The first is also the method's collection-failure
  // text: filed, and answered, when the reader fails inside the batch.
  const char* attach_failure_messages[2];
};

// The steps that touch the file system, replaceable so tests can make them fail.
struct JniStagingSteps {
  // An anonymous read-write file in or after preferred_dir, or null.
  FILE* (*open_file)(const char* preferred_dir);
  // Writes the whole text (up to its NUL) and flushes it; false when any of it was not written.
  bool (*write_text)(FILE* file, const char* text);
  // Attaches fd as the database's collection stream; 1 or 0.
  int (*attach)(SrmResourceDatabase* db, int fd);
};

// mktmpfile, fputs + fflush, SrmResourceDatabase::attachStream.
const JniStagingSteps& jniDefaultStagingSteps();

// Loads text (a NUL-terminated batch of tuple text, not null) into db (not null) as method says
// and returns one of the four result texts above, or the method's collection-failure text (a
// static string). Tuples that fail to deserialize are dropped and still answer success. A
// reader failure ends the batch: out of memory answers "Memory allocation error", any other
// failure files the collection-failure text under the host name and answers it; records read
// before stay. Nothing is added when the text cannot be staged whole. No exception escapes.
const char* jniAddBatch(SrmResourceDatabase* db, const char* text, const JniAddMethod& method,
                        const JniStagingSteps& steps = jniDefaultStagingSteps());

#endif  // RESDB_JNI_ADD_PROCEDURE_H_
