// SrmTextStore and SrmText: the text of records' fields. Every record of a database keeps its
// text in the database's store, copied in one text after another and given back all at once, so
// that filing a record takes no allocation of its own per field and ending a database frees a
// few chunks instead of a block per field. The records a database loads live in the store too.
#ifndef RESDB_MODEL_TEXT_STORE_H_
#define RESDB_MODEL_TEXT_STORE_H_

#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

#include "model/srm_ref.h"
#include "model/text_arena.h"

// A counted arena. Its owner (a database) holds one reference and every record whose text or
// memory lives in it holds one more, since a record can outlive its database or be shared with
// another one; the text goes when the last of them lets go. A text replaced in a field, and the
// room of a record that has ended, stay in the store until then. Not thread safe, like the
// records that use it.
class SrmTextStore : public SrmRef {
 public:
  SrmTextStore() = default;

  // A copy of text, followed by a NUL, that lasts as long as the store. Throws
  // std::bad_alloc when the store cannot grow.
  const char* keep(std::string_view text) {
    char* copy = arena_.allocate(text.size() + 1);
    std::memcpy(copy, text.data(), text.size());
    copy[text.size()] = '\0';
    return copy;
  }
  // Room for a record of size bytes, aligned as operator new aligns. Throws std::bad_alloc.
  void* keepRecord(size_t size) { return arena_.allocateAligned(size); }
  // The store's arena itself, for the containers that keep records' entries (a resource list's
  // kinds, their nodes and keys), which then last as long as the store too.
  SrmTextArena* room() { return &arena_; }

 private:
  ~SrmTextStore() override = default;

  SrmTextArena arena_;
};

// One text field of a record: a view of NUL-terminated bytes kept in the record's text store,
// read as a std::string_view or, by the report, as a C string. It cannot be copied from another
// field, since the bytes belong to the other record's store; a record assigns its fields
// through SrmResource::assignText, which copies into its own store.
class SrmText {
 public:
  SrmText() = default;
  SrmText(const SrmText&) = delete;
  SrmText& operator=(const SrmText&) = delete;

  std::string_view view() const { return std::string_view(data_, size_); }
  operator std::string_view() const { return view(); }  // NOLINT: a field reads as its text
  std::string str() const { return std::string(data_, size_); }
  const char* c_str() const { return data_; }
  const char* data() const { return data_; }
  bool empty() const { return size_ == 0; }
  size_t size() const { return size_; }

  friend bool operator==(const SrmText& a, std::string_view b) { return a.view() == b; }
  friend bool operator==(std::string_view a, const SrmText& b) { return a == b.view(); }
  friend bool operator==(const SrmText& a, const SrmText& b) { return a.view() == b.view(); }
  friend bool operator!=(const SrmText& a, std::string_view b) { return a.view() != b; }
  friend bool operator!=(std::string_view a, const SrmText& b) { return a != b.view(); }
  friend bool operator!=(const SrmText& a, const SrmText& b) { return a.view() != b.view(); }

  // Keeps value in store (borrowed) and shows it; an empty value takes no room. Throws
  // std::bad_alloc, leaving the field as it was, when the store cannot grow.
  void assign(SrmTextStore* store, std::string_view value) {
    if (value.empty()) {
      data_ = "";
      size_ = 0;
      return;
    }
    data_ = store->keep(value);
    size_ = value.size();
  }

 private:
  const char* data_ = "";
  size_t size_ = 0;
};

// The text of a key given as a view or as a record's field, for code that takes either.
inline std::string_view SrmViewOf(std::string_view text) {
  return text;
}
inline std::string_view SrmViewOf(const SrmText* text) {
  return text->view();
}

#endif  // RESDB_MODEL_TEXT_STORE_H_
