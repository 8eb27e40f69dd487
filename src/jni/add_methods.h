// The table entries of the ten add methods: which record kind each batch holds, how a record
// is matched with one already stored, how a new one enters the database, and what is filed
// when the batch cannot be attached.
#ifndef RESDB_JNI_ADD_METHODS_H_
#define RESDB_JNI_ADD_METHODS_H_

#include "jni/add_procedure.h"

extern const JniAddMethod kJniAddAlias;
extern const JniAddMethod kJniAddComputer;
extern const JniAddMethod kJniAddDisk;
extern const JniAddMethod kJniAddDiskChunk;
extern const JniAddMethod kJniAddFileSystem;
extern const JniAddMethod kJniAddMountpoint;
extern const JniAddMethod kJniAddShare;
extern const JniAddMethod kJniAddVolume;
extern const JniAddMethod kJniAddVolumeGroup;
extern const JniAddMethod kJniAddVolumeManagerInfo;

#endif  // RESDB_JNI_ADD_METHODS_H_
