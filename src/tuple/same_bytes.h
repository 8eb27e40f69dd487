// SrmSameBytes: equality of two short byte runs (key names, Ids) compared a word at a time,
// the last word overlapping the one before it. For runs of a few to a few dozen bytes, compared
// on every element or lookup, it costs less than a call to memcmp. SrmFindByte: the search for
// one byte in such a run, a word at a time.
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

// The same words with the byte at p lowest, on any machine: byte i of the text is bits
// 8i..8i+7 of the word.
inline uint64_t SrmLoadLe64(const char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return __builtin_bswap64(SrmLoad64(p));
#else
  return SrmLoad64(p);
#endif
}
inline uint32_t SrmLoadLe32(const char* p) {
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
  return __builtin_bswap32(SrmLoad32(p));
#else
  return SrmLoad32(p);
#endif
}

// The size (below 8) bytes at p as the low bytes of a word whose other bytes are 0, reading
// none of the bytes after them.
inline uint64_t SrmLoadLeShort(const char* p, size_t size) {
  if (size >= 4) {
    // Two four-byte loads that overlap where size < 8; the shared bytes are the same.
    return uint64_t{SrmLoadLe32(p)} | uint64_t{SrmLoadLe32(p + size - 4)} << (8 * (size - 4));
  }
  if (size == 0) return 0;
  const auto byte = [p](size_t i) { return uint64_t{static_cast<unsigned char>(p[i])}; };
  return byte(0) | byte(size / 2) << (8 * (size / 2)) | byte(size - 1) << (8 * (size - 1));
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

// The high bit of each byte of x that is zero, and possibly of bytes above the lowest zero one
// (a borrow runs up from it); the lowest bit set is always that of the lowest zero byte.
inline uint64_t SrmLowestZeroByte(uint64_t x) {
  constexpr uint64_t kOnes = 0x0101010101010101;
  return (x - kOnes) & ~x & (kOnes << 7);
}

// The index of the first byte c among the size bytes at p, or size when there is none. Reads
// none of the bytes after them. For the short runs of an element's key it costs less than a
// call to memchr.
inline size_t SrmFindByte(const char* p, size_t size, char c) {
  const uint64_t pattern = 0x0101010101010101 * static_cast<unsigned char>(c);
  // The bytes equal to c are the zero bytes of the text xor pattern.
  const auto at = [](size_t offset, uint64_t found) {
    return offset + static_cast<size_t>(__builtin_ctzll(found) / 8);
  };
  if (size < 8) {
    const uint64_t found = SrmLowestZeroByte(SrmLoadLeShort(p, size) ^ pattern) &
                           ((uint64_t{1} << (8 * size)) - 1);  // the padding is not text
    return found != 0 ? at(0, found) : size;
  }
  size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    const uint64_t found = SrmLowestZeroByte(SrmLoadLe64(p + i) ^ pattern);
    if (found != 0) return at(i, found);
  }
  if (i == size) return size;
  // The last word overlaps bytes already searched, which hold no c.
  const uint64_t found = SrmLowestZeroByte(SrmLoadLe64(p + size - 8) ^ pattern);
  return found != 0 ? at(size - 8, found) : size;
}

#endif  // RESDB_TUPLE_SAME_BYTES_H_
