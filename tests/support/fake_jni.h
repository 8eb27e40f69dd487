// FakeJni: a JNIEnv for calling the native methods inside a test process. It implements the
// functions the library may use (GetStringUTFChars, ReleaseStringUTFChars, NewStringUTF,
// ExceptionCheck) and checks their use: every character array handed out must come back once,
// to its string, and nothing may be called while an exception is pending. Any other function
// of the table aborts, naming its slot. Java strings are texts the FakeJni owns, behind opaque
// jstring handles valid for its life. Not thread safe; one FakeJni per test or thread.
#ifndef RESDB_TESTS_SUPPORT_FAKE_JNI_H_
#define RESDB_TESTS_SUPPORT_FAKE_JNI_H_

#include <jni.h>

#include <deque>
#include <map>
#include <string>

class FakeJni {
 public:
  FakeJni();
  FakeJni(const FakeJni&) = delete;
  FakeJni& operator=(const FakeJni&) = delete;
  // Fails the test for every character array still not given back (and frees it).
  ~FakeJni();

  JNIEnv* env() { return &env_.env; }
  // A Java string holding text, to pass to a native method.
  jstring newJavaString(const std::string& text) { return store(text); }
  // The text of a string of this FakeJni; fails the test for null or a foreign handle.
  std::string text(jstring s) const;
  // The same text moved out (the string left empty): a large result read once.
  std::string takeText(jstring s);

  // What GetStringUTFChars reports through its copy flag (JNI_TRUE by default).
  void setCopyFlag(jboolean is_copy) { copy_flag_ = is_copy; }
  // While on, GetStringUTFChars hands out the string's own characters (reporting no copy), so
  // that a benchmark times the library's reading of a text without the virtual machine's copy.
  void setHandOutInPlace(bool in_place) { in_place_ = in_place; }
  // While on, GetStringUTFChars answers null with an exception pending, as when out of memory.
  void setFailGetChars(bool fail) { fail_get_chars_ = fail; }
  bool exceptionPending() const { return exception_pending_; }
  void clearException() { exception_pending_ = false; }
  int getCharsCalls() const { return get_chars_calls_; }
  int releaseCharsCalls() const { return release_chars_calls_; }
  int outstandingChars() const { return static_cast<int>(handed_out_.size()); }
  int newStringCalls() const { return new_string_calls_; }

 private:
  struct Env {
    JNIEnv env;  // first member: a JNIEnv* is an Env*
    FakeJni* owner;
  };
  static FakeJni* self(JNIEnv* env) { return reinterpret_cast<Env*>(env)->owner; }
  // The string behind s, or null; fails the test when s is not one of this FakeJni's.
  std::string* find(jstring s) const;
  jstring store(std::string text);
  // True when chars are s's own characters, handed out in place.
  bool isOwnText(const char* chars, jstring s) const;
  void checkNoPendingException(const char* function) const;

  static const char* JNICALL GetStringUTFChars(JNIEnv* env, jstring s, jboolean* is_copy);
  static void JNICALL ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars);
  static jstring JNICALL NewStringUTF(JNIEnv* env, const char* chars);

  JNINativeInterface_ table_;
  Env env_;
  std::deque<std::string> strings_;  // the Java strings; jstring = element address
  // Character arrays not yet given back, with their strings; an array handed out in place is
  // the string's own.
  std::map<const char*, jstring> handed_out_;
  jboolean copy_flag_ = JNI_TRUE;
  bool in_place_ = false;
  bool fail_get_chars_ = false;
  bool exception_pending_ = false;
  int get_chars_calls_ = 0;
  int release_chars_calls_ = 0;
  int new_string_calls_ = 0;
};

#endif  // RESDB_TESTS_SUPPORT_FAKE_JNI_H_
