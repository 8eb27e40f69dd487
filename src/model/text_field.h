// SrmAssignText: how a record's text field takes a value read from tuple text.
#ifndef RESDB_MODEL_TEXT_FIELD_H_
#define RESDB_MODEL_TEXT_FIELD_H_

#include <string>
#include <string_view>

// Stores a copy of value in *text. An empty string (every field of a new record) takes a copy
// made to size, which is shorter work than assign's general path of replacing and regrowing.
// Throws std::bad_alloc when memory runs out; *text is unchanged then.
inline void SrmAssignText(std::string* text, std::string_view value) {
  if (text->empty()) {
    *text = std::string(value.data(), value.size());
  } else {
    text->assign(value.data(), value.size());
  }
}

#endif  // RESDB_MODEL_TEXT_FIELD_H_
