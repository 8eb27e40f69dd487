// SrmSameBytes: equality of two short byte runs (key names, Ids) compared a word at a time,
// the last word overlapping the one before it. For runs of a few to a few dozen bytes, compared
// on every element or lookup, it costs less than a call to memcmp.
#ifndef RESDB_TUPLE_SAME_BYTES_H_
#define RESDB_TUPLE_SAME_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

// Whether the size bytes at a and b are equal.
inline bool SrmSameBytes(const char* a, const char* b, size_t size) {
  const auto word = [](const char* p) {
    uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  };
  const auto half = [](const char* p) {
    uint32_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  };
  if (size >= 8) {
    for (size_t i = 0; i + 8 < size; i += 8) {
      if (word(a + i) != word(b + i)) return false;
    }
    return word(a + size - 8) == word(b + size - 8);
  }
  if (size >= 4) return half(a) == half(b) && half(a + size - 4) == half(b + size - 4);
  for (size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

#endif  // RESDB_TUPLE_SAME_BYTES_H_
