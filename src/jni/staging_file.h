// Staging files: the anonymous temporary files a batch of collected text is written to before
// the tuple reader reads it back through the file's descriptor.
#ifndef RESDB_JNI_STAGING_FILE_H_
#define RESDB_JNI_STAGING_FILE_H_

#include <cstdio>

// Creates a temporary file opened for reading and writing whose name is already gone, so it
// vanishes when the returned stream is closed (the caller closes it with fclose). The directory
// is the first of $TMPDIR, preferredDir (may be null), /var/tmp and /tmp that is writable and
// searchable. Null when no file can be made; nothing is left open or allocated then.
FILE* mktmpfile(const char* preferredDir);

// Copies src into dst (which must have room for it) and drops one trailing '/' from the copy.
// A null src leaves dst untouched. Returns dst.
char* pcopy(char* dst, const char* src);

#endif  // RESDB_JNI_STAGING_FILE_H_
