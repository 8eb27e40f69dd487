#include "fake_jni.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace {

// Stands in for every function the fake does not implement; names the slot and stops.
template <size_t kSlot>
void UnexpectedCall() {
  std::fprintf(stderr, "FakeJni: unexpected call of JNIEnv function slot %zu\n", kSlot);
  std::abort();
}

template <size_t... kSlots>
void FillWithAborts(JNINativeInterface_* table, std::index_sequence<kSlots...>) {
  using Slot = void (*)();
  const Slot slots[] = {&UnexpectedCall<kSlots>...};
  static_assert(sizeof(slots) == sizeof(JNINativeInterface_), "one entry per slot");
  std::memcpy(static_cast<void*>(table), slots, sizeof(slots));
}

}  // namespace

FakeJni::FakeJni() {
  FillWithAborts(&table_, std::make_index_sequence<sizeof(table_) / sizeof(void*)>());
  table_.GetStringUTFChars = &FakeJni::GetStringUTFChars;
  table_.ReleaseStringUTFChars = &FakeJni::ReleaseStringUTFChars;
  table_.NewStringUTF = &FakeJni::NewStringUTF;
  table_.ExceptionCheck = [](JNIEnv* env) -> jboolean { return self(env)->exception_pending_; };
  env_.env.functions = &table_;
  env_.owner = this;
}

FakeJni::~FakeJni() {
  for (const auto& entry : handed_out_) {
    ADD_FAILURE() << "characters of \"" << *find(entry.second) << "\" never released";
    if (!isOwnText(entry.first, entry.second)) delete[] entry.first;
  }
}

std::string FakeJni::text(jstring s) const {
  const std::string* found = find(s);
  return found != nullptr ? *found : std::string();
}

std::string FakeJni::takeText(jstring s) {
  std::string* found = find(s);
  return found != nullptr ? std::move(*found) : std::string();
}

std::string* FakeJni::find(jstring s) const {
  for (const std::string& candidate : strings_) {
    if (reinterpret_cast<jstring>(const_cast<std::string*>(&candidate)) == s) {
      return const_cast<std::string*>(&candidate);  // the strings are this FakeJni's own
    }
  }
  ADD_FAILURE() << "not a string of this FakeJni: " << static_cast<const void*>(s);
  return nullptr;
}

jstring FakeJni::store(std::string text) {
  strings_.push_back(std::move(text));
  return reinterpret_cast<jstring>(&strings_.back());
}

bool FakeJni::isOwnText(const char* chars, jstring s) const {
  const std::string* text = find(s);
  return text != nullptr && chars == text->c_str();
}

void FakeJni::checkNoPendingException(const char* function) const {
  if (exception_pending_) ADD_FAILURE() << function << " called with an exception pending";
}

const char* JNICALL FakeJni::GetStringUTFChars(JNIEnv* env, jstring s, jboolean* is_copy) {
  FakeJni* fake = self(env);
  fake->checkNoPendingException("GetStringUTFChars");
  ++fake->get_chars_calls_;
  const std::string* text = fake->find(s);
  if (text == nullptr) return nullptr;
  if (fake->fail_get_chars_) {
    fake->exception_pending_ = true;
    return nullptr;
  }
  if (fake->in_place_) {
    if (!fake->handed_out_.emplace(text->c_str(), s).second)
      ADD_FAILURE() << "GetStringUTFChars in place of characters still handed out";
    if (is_copy != nullptr) *is_copy = JNI_FALSE;
    return text->c_str();
  }
  // Otherwise a fresh array, so a missing or doubled release shows up here or under ASan.
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
  if (!fake->isOwnText(it->first, it->second)) delete[] it->first;
  fake->handed_out_.erase(it);
}

jstring JNICALL FakeJni::NewStringUTF(JNIEnv* env, const char* chars) {
  FakeJni* fake = self(env);
  fake->checkNoPendingException("NewStringUTF");
  ++fake->new_string_calls_;
  return chars != nullptr ? fake->store(chars) : nullptr;
}
