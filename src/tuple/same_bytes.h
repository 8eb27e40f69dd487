// SrmSameBytes: equality of two short byte runs (key names, Ids) compared a word at a time,
// the last word overlapping the one before it. For runs of a few to a few dozen bytes, compared
// on every element or lookup, it costs less than a call to memcmp.
#ifndef RESDB_TUPLE_SAME_BYTES_H_
#define RESDB_TUPLE_SAME_BYTES_H_

#include <cstddef>
#include <cstdint>
#include <cstring>

// The eight (four) bytes at p as one word, whatever p's alignment.
inline uint64_t SrmLoad64(const char* p) {
  uint64_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}
inline uint32_t SrmLoad32(const char* p) {
  uint32_t word;
  std::memcpy(&word, p, sizeof word);
  return word;
}

// Whether the size bytes at a and b are equal.
inline bool SrmSameBytes(const char* a, const char* b, size_t size) {
  if (size >= 8) {
    for (size_t i = 0; i + 8 < size; i += 8) {
      if (SrmLoad64(a + i) != SrmLoad64(b + i)) return false;
    }
    return SrmLoad64(a + size - 8) == SrmLoad64(b + size - 8);
  }
  if (size >= 4)
    return SrmLoad32(a) == SrmLoad32(b) && SrmLoad32(a + size - 4) == SrmLoad32(b + size - 4);
  for (size_t i = 0; i < size; ++i) {
    if (a[i] != b[i]) return false;
  }
  return true;
}

#endif  // RESDB_TUPLE_SAME_BYTES_H_
