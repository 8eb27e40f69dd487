#include "model/tuple_line.h"

#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "tuple/key_vocabulary.h"

namespace {

// The opening of each key's element: '"', the key's name, '='. Every name of the vocabulary
// fits (the longest has 17 bytes); an id outside it opens with '"' and '=' alone, as a key
// without a name.
struct KeyOpening {
  char text[32];
  size_t length;
};

class KeyOpenings {
 public:
  KeyOpenings() {
    for (int id = 0; id <= kKeyCount; ++id) {
      const char* name = id < kKeyCount ? glob_key_id[id] : "";
      const size_t length = std::min(std::strlen(name), sizeof(KeyOpening::text) - 2);
      KeyOpening& opening = openings_[id];
      opening.text[0] = '"';
      std::memcpy(opening.text + 1, name, length);
      opening.text[length + 1] = '=';
      opening.length = length + 2;
    }
  }
  const KeyOpening& of(int key_id) const {
    return openings_[key_id >= 0 && key_id < kKeyCount ? key_id : kKeyCount];
  }

 private:
  KeyOpening openings_[kKeyCount + 1];  // the last for ids outside the vocabulary
};

// Made before main: the names are constants, so they are in place before any dynamic
// initialisation, and no line is written before main.
const KeyOpenings kOpenings;

const KeyOpening& OpeningOf(int key_id) {
  return kOpenings.of(key_id);
}

}  // namespace

SrmTupleLine::SrmTupleLine(std::string* buffer) : buffer_(buffer) {}

SrmTupleLine::~SrmTupleLine() {
  buffer_->resize(length_);
}

void SrmTupleLine::grow(size_t n) {
  // Doubling keeps the zero-filling resize does to a few times per line.
  buffer_->resize(std::max({length_ + n, buffer_->size() * 2, size_t{256}}));
}

void SrmTupleLine::addElement(int key_id, const char* value, size_t length) {
  const KeyOpening& opening = OpeningOf(key_id);
  char* at = extend(opening.length + length + 2);
  std::memcpy(at, opening.text, opening.length);
  at += opening.length;
  if (length != 0) std::memcpy(at, value, length);
  at[length] = '"';
  at[length + 1] = ',';
}

void SrmTupleLine::addKeyName(int key_id, int name_id) {
  const KeyOpening& name = OpeningOf(name_id);  // the name sits between its '"' and '='
  addElement(key_id, name.text + 1, name.length - 2);
}

void SrmTupleLine::addInteger(int key_id, int64_t value) {
  constexpr size_t kDigits = 20;  // "-9223372036854775808"
  const KeyOpening& opening = OpeningOf(key_id);
  char* at = extend(opening.length + kDigits + 2);
  std::memcpy(at, opening.text, opening.length);
  char* end = std::to_chars(at + opening.length, at + opening.length + kDigits, value).ptr;
  end[0] = '"';
  end[1] = ',';
  length_ -= static_cast<size_t>(at + opening.length + kDigits - end);
}

void SrmTupleLine::addRaw(const std::string& text) {
  if (!text.empty()) std::memcpy(extend(text.size()), text.data(), text.size());
}

int SrmTupleLine::writeTo(int fd) {
  std::memcpy(extend(2), ";\n", 2);
  buffer_->resize(length_);
  return SrmWriteAll(fd, *buffer_);
}

const std::string& SrmTupleLine::text() const {
  buffer_->resize(length_);
  return *buffer_;
}

int SrmWriteAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return 0;
    done += static_cast<size_t>(n);
  }
  return 1;
}
