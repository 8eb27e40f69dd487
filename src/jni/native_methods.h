// The native methods of the Java class com.orv.vimbrel.mgmt.agent.scanner.plugins.corvid.SrmResDb,
// the only symbols the shared library exports. Each takes the JNIEnv and the receiver (never
// used) first. A handle is the address of a SrmResourceDatabase made by create.
#ifndef RESDB_JNI_NATIVE_METHODS_H_
#define RESDB_JNI_NATIVE_METHODS_H_

#include <jni.h>

#define RESDB_NATIVE_NAME(method) \
  Java_com_orv_vimbrel_mgmt_agent_scanner_plugins_corvid_SrmResDb_##method

#ifdef __cplusplus
extern "C" {
#endif

// A new empty database, or 0 when it cannot be made.
JNIEXPORT jlong JNICALL RESDB_NATIVE_NAME(create)(JNIEnv* env, jobject self);
// Deletes the database and every record only it holds; 0 does nothing.
JNIEXPORT void JNICALL RESDB_NATIVE_NAME(destroy)(JNIEnv* env, jobject self, jlong handle);

// The add methods load one batch of tuple text and answer "The operation succeeded.",
// "Memory allocation error" (also for a null text), "The file could not be opened." or
// "Failed to attach collection stream" (also for a zero handle). They answer null only when
// the machine has an exception pending.
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addAlias)(JNIEnv* env, jobject self, jlong handle,
                                                      jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addComputer)(JNIEnv* env, jobject self, jlong handle,
                                                         jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addDisk)(JNIEnv* env, jobject self, jlong handle,
                                                     jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addDiskChunk)(JNIEnv* env, jobject self, jlong handle,
                                                          jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addFileSystem)(JNIEnv* env, jobject self, jlong handle,
                                                           jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addMountpoint)(JNIEnv* env, jobject self, jlong handle,
                                                           jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addShare)(JNIEnv* env, jobject self, jlong handle,
                                                      jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addVolume)(JNIEnv* env, jobject self, jlong handle,
                                                       jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addVolumeGroup)(JNIEnv* env, jobject self, jlong handle,
                                                            jstring text);
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addVolumeManagerInfo)(JNIEnv* env, jobject self,
                                                                  jlong handle, jstring text);

// The database's resolveDatabase result; 0 for a zero handle.
JNIEXPORT jint JNICALL RESDB_NATIVE_NAME(resolveDatabase)(JNIEnv* env, jobject self, jlong handle);
// Writes the database as tuple text to standard output; its serialize result, 0 for a zero
// handle.
JNIEXPORT jint JNICALL RESDB_NATIVE_NAME(serialize)(JNIEnv* env, jobject self, jlong handle);
// The CIM-XML report, or "ERROR 1" to "ERROR 4" or "ERROR UNEXPECTED" ("ERROR 2" for a zero
// handle).
JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(print)(JNIEnv* env, jobject self, jlong handle);

#ifdef __cplusplus
}  // extern "C"
#endif

#endif  // RESDB_JNI_NATIVE_METHODS_H_
