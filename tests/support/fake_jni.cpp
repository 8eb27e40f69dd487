#include "fake_jni.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

constexpr size_t kSlotCount = sizeof(JNINativeInterface_) / sizeof(void*);

// Stands in for every function the fake does not implement; names the slot and stops.
template <size_t kSlot>
void unexpectedCall() {
  std::fprintf(stderr, "FakeJni: unexpected call of JNIEnv function slot %zu\n", kSlot);
  std::abort();
}

template <size_t... kSlots>
void fillWithAborts(JNINativeInterface_* table, std::index_sequence<kSlots...>) {
  using Slot = void (*)();
  const Slot slots[] = {&unexpectedCall<kSlots>...};
  static_assert(sizeof(slots) == sizeof(JNINativeInterface_), "one entry per slot");
  std::memcpy(static_cast<void*>(table), slots, sizeof(slots));
}

}  // namespace

FakeJni::FakeJni() {
  fillWithAborts(&table_, std::make_index_sequence<kSlotCount>());
  table_.GetStringUTFChars = &FakeJni::GetStringUTFChars;
  table_.ReleaseStringUTFChars = &FakeJni::ReleaseStringUTFChars;
  table_.NewStringUTF = &FakeJni::NewStringUTF;
  table_.ExceptionCheck = &FakeJni::ExceptionCheck;
  env_.env.functions = &table_;
  env_.owner = this;
}

FakeJni::~FakeJni() {
  for (const auto& entry : handed_out_) {
    ADD_FAILURE() << "characters of \"" << *find(entry.second) << "\" never released";
    delete[] entry.first;
  }
}

jstring FakeJni::newJavaString(const std::string& text) {
  return store(text);
}

std::string FakeJni::text(jstring s) const {
  const std::string* found = findKnown(s);
  return found != nullptr ? *found : std::string();
}

std::string FakeJni::takeText(jstring s) {
  // The strings are this FakeJni's own; findKnown answers const so that text() can use it too.
  auto* found = const_cast<std::string*>(findKnown(s));
  return found != nullptr ? std::move(*found) : std::string();
}

FakeJni* FakeJni::self(JNIEnv* env) {
  return reinterpret_cast<Env*>(env)->owner;
}

const std::string* FakeJni::findKnown(jstring s) const {
  const std::string* found = find(s);
  if (found == nullptr) {
    ADD_FAILURE() << "not a string of this FakeJni: " << static_cast<const void*>(s);
  }
  return found;
}

const std::string* FakeJni::find(jstring s) const {
  if (s == nullptr) return nullptr;
  for (const std::string& candidate : strings_) {
    if (reinterpret_cast<jstring>(const_cast<std::string*>(&candidate)) == s) return &candidate;
  }
  return nullptr;
}

jstring FakeJni::store(std::string text) {
  strings_.push_back(std::move(text));
  return reinterpret_cast<jstring>(&strings_.back());
}

void FakeJni::checkNoPendingException(const char* function) const {
  if (exception_pending_) ADD_FAILURE() << function << " called with an exception pending";
}

const char* JNICALL FakeJni::GetStringUTFChars(JNIEnv* env, jstring s, jboolean* is_copy) {
  FakeJni* fake = self(env);
  fake->checkNoPendingException("GetStringUTFChars");
  ++fake->get_chars_calls_;
  const std::string* text = fake->find(s);
  if (text == nullptr) {
    ADD_FAILURE() << "GetStringUTFChars of an unknown string";
    return nullptr;
  }
  if (fake->fail_get_chars_) {
    fake->exception_pending_ = true;
    return nullptr;
  }
  // Always a fresh array, so a missing or doubled release shows up here or under ASan.
  char* chars = new char[text->size() + 1];
  std::memcpy(chars, text->c_str(), text->size() + 1);
  fake->handed_out_[chars] = s;
  if (is_copy != nullptr) *is_copy = fake->copy_flag_;
  return chars;
}

void JNICALL FakeJni::ReleaseStringUTFChars(JNIEnv* env, jstring s, const char* chars) {
  FakeJni* fake = self(env);
  ++fake->release_chars_calls_;
  auto it = fake->handed_out_.find(chars);
  if (it == fake->handed_out_.end()) {
    ADD_FAILURE() << "ReleaseStringUTFChars of characters not handed out (or released twice)";
    return;
  }
  if (it->second != s) ADD_FAILURE() << "ReleaseStringUTFChars with another string";
  delete[] it->first;
  fake->handed_out_.erase(it);
}

jstring JNICALL FakeJni::NewStringUTF(JNIEnv* env, const char* chars) {
  FakeJni* fake = self(env);
  fake->checkNoPendingException("NewStringUTF");
  ++fake->new_string_calls_;
  if (chars == nullptr) return nullptr;
  return fake->store(chars);
}

jboolean JNICALL FakeJni::ExceptionCheck(JNIEnv* env) {
  return self(env)->exception_pending_ ? JNI_TRUE : JNI_FALSE;
}
