// NativeSession: one scan's life driven through the library's exported native methods, the way
// the Java half drives it (create, the add methods, resolveDatabase, serialize, print,
// destroy), with the test suite's fake JNIEnv in place of a virtual machine. It owns the
// database handle from construction to destruction. Each call gets a JNIEnv of its own, so no
// Java string outlives the call that used it.
#ifndef RESDB_BENCH_NATIVE_SESSION_H_
#define RESDB_BENCH_NATIVE_SESSION_H_

#include <jni.h>

#include <string>

class NativeSession {
 public:
  NativeSession();  // create
  NativeSession(const NativeSession&) = delete;
  NativeSession& operator=(const NativeSession&) = delete;
  ~NativeSession();  // destroy

  // Calls the add method named method ("addDisk") with text; returns its result text, or
  // "unknown method" for a name that is not one of the ten.
  std::string add(const std::string& method, const std::string& text);
  int resolveDatabase();
  // The serialize native method, with the process's standard output pointed at fd for the
  // length of the call.
  int serialize(int fd);
  // The print native method's result (CIM-XML, or an error text).
  std::string print();

  jlong handle() const { return handle_; }

 private:
  const jlong handle_;
};

// The exported add method called method ("addDisk"), or null.
using NativeAddMethod = jstring(JNICALL*)(JNIEnv*, jobject, jlong, jstring);
NativeAddMethod FindAddMethod(const std::string& method);

// True for the texts print answers instead of a report ("ERROR 1" ... "ERROR UNEXPECTED").
bool IsPrintError(const std::string& result);

#endif  // RESDB_BENCH_NATIVE_SESSION_H_
