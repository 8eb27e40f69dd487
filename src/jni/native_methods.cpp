// The native methods of the Java class SrmResDb. Java holds a database as the address of a
// SrmResourceDatabase in a jlong, from create to destroy; every other method works on the
// database behind it. No method raises a Java exception of its own, and none lets a C++
// exception reach the virtual machine.
#include "jni/native_methods.h"

#include <cstdint>
#include <new>
#include <string>

#include "db/srm_resource_database.h"
#include "jni/add_methods.h"
#include "jni/add_procedure.h"
#include "jni/print_report.h"

namespace {

constexpr char kPrintUnexpected[] = "ERROR UNEXPECTED";

SrmResourceDatabase* database(jlong handle) {
  return reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(handle));
}

// The characters of a Java string for the length of one call, given back to the virtual
// machine when the holder goes. They are given back whether or not the machine says it made
// a copy: a machine that hands out its own characters keeps them pinned until then.
class JavaChars {
 public:
  JavaChars(JNIEnv* env, jstring text)
      : env_(env), text_(text), chars_(env->GetStringUTFChars(text, &is_copy_)) {}
  JavaChars(const JavaChars&) = delete;
  JavaChars& operator=(const JavaChars&) = delete;
  ~JavaChars() {
    if (chars_ != nullptr) env_->ReleaseStringUTFChars(text_, chars_);
  }
  const char* get() const { return chars_; }

 private:
  JNIEnv* const env_;
  const jstring text_;
  jboolean is_copy_ = JNI_FALSE;
  const char* const chars_;
};

// The shared body of the ten add methods. A missing text answers like a text whose characters
// cannot be obtained; a zero handle like a batch that cannot be attached (nothing is filed,
// there being no database to file it in).
jstring addBatch(JNIEnv* env, jlong handle, jstring text, const JniAddMethod& method) {
  const char* result = kJniAddNoMemory;
  try {
    if (text == nullptr) {
      result = kJniAddNoMemory;
    } else if (handle == 0) {
      result = kJniAddAttachFailed;
    } else {
      JavaChars chars(env, text);
      if (chars.get() == nullptr) {
        // The machine has an OutOfMemoryError pending: no further call is allowed, and Java
        // sees the error instead of a result.
        if (env->ExceptionCheck()) return nullptr;
        result = kJniAddNoMemory;
      } else {
        result = jniAddBatch(database(handle), chars.get(), method);
      }
    }
  } catch (...) {
    result = kJniAddNoMemory;
  }
  return env->NewStringUTF(result);
}

}  // namespace

JNIEXPORT jlong JNICALL RESDB_NATIVE_NAME(create)(JNIEnv*, jobject) {
  try {
    SrmResourceDatabase* db = new (std::nothrow) SrmResourceDatabase();
    return static_cast<jlong>(reinterpret_cast<uintptr_t>(db));
  } catch (...) {
    // The constructor's own allocations failed.
    return 0;
  }
}

JNIEXPORT void JNICALL RESDB_NATIVE_NAME(destroy)(JNIEnv*, jobject, jlong handle) {
  try {
    delete database(handle);
  } catch (...) {
  }
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addAlias)(JNIEnv* env, jobject, jlong handle,
                                                      jstring text) {
  return addBatch(env, handle, text, kJniAddAlias);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addComputer)(JNIEnv* env, jobject, jlong handle,
                                                         jstring text) {
  return addBatch(env, handle, text, kJniAddComputer);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addDisk)(JNIEnv* env, jobject, jlong handle,
                                                     jstring text) {
  return addBatch(env, handle, text, kJniAddDisk);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addDiskChunk)(JNIEnv* env, jobject, jlong handle,
                                                          jstring text) {
  return addBatch(env, handle, text, kJniAddDiskChunk);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addFileSystem)(JNIEnv* env, jobject, jlong handle,
                                                           jstring text) {
  return addBatch(env, handle, text, kJniAddFileSystem);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addMountpoint)(JNIEnv* env, jobject, jlong handle,
                                                           jstring text) {
  return addBatch(env, handle, text, kJniAddMountpoint);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addShare)(JNIEnv* env, jobject, jlong handle,
                                                      jstring text) {
  return addBatch(env, handle, text, kJniAddShare);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addVolume)(JNIEnv* env, jobject, jlong handle,
                                                       jstring text) {
  return addBatch(env, handle, text, kJniAddVolume);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addVolumeGroup)(JNIEnv* env, jobject, jlong handle,
                                                            jstring text) {
  return addBatch(env, handle, text, kJniAddVolumeGroup);
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(addVolumeManagerInfo)(JNIEnv* env, jobject,
                                                                  jlong handle, jstring text) {
  return addBatch(env, handle, text, kJniAddVolumeManagerInfo);
}

JNIEXPORT jint JNICALL RESDB_NATIVE_NAME(resolveDatabase)(JNIEnv*, jobject, jlong handle) {
  if (handle == 0) return 0;
  try {
    return database(handle)->resolveDatabase();
  } catch (...) {
    return 0;
  }
}

// The serialized text goes to the process's standard output, not to Java.
JNIEXPORT jint JNICALL RESDB_NATIVE_NAME(serialize)(JNIEnv*, jobject, jlong handle) {
  if (handle == 0) return 0;
  try {
    return database(handle)->serialize(1, 0);
  } catch (...) {
    return 0;
  }
}

JNIEXPORT jstring JNICALL RESDB_NATIVE_NAME(print)(JNIEnv* env, jobject, jlong handle) {
  // Handle 0 goes the same way: the converter logs the missing database, stores its result
  // and the answer is "ERROR 2".
  try {
    ReportText report = buildReport(database(handle));
    return env->NewStringUTF(report.c_str());
  } catch (...) {
    return env->NewStringUTF(kPrintUnexpected);
  }
}
