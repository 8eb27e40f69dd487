// Reading side of the record mechanics: the walk over a tuple's key=value elements and the
// integer parsing every kind uses. Written once; every record kind, the error record, the
// service group and the database header call these.
#ifndef RESDB_MODEL_TUPLE_FIELDS_H_
#define RESDB_MODEL_TUPLE_FIELDS_H_

#include <cstdint>
#include <new>
#include <string>
#include <string_view>

#include "tuple/key_vocabulary.h"
#include "tuple/report_tuple.h"
#include "tuple/result_codes.h"
#include "tuple/same_bytes.h"

// Calls visit(key_id, value) for each element of tuple from its first, in order, value viewing
// the tuple's own text; visit must not change the tuple's elements. The walk ends at the last
// element or at the first element without '=' (what was read before stays read), and leaves the
// read position after the last element it read. A key outside the vocabulary arrives as id 0,
// the id of Type. Nothing is copied, so the walk itself never allocates. The keys found are left
// in the tuple as the guesses for the next walk over a tuple read into it: the tuples of one
// batch mostly carry the same keys in the same order.
static_assert(kKeyCount <= INT8_MAX + 1, "a tuple keeps each guessed key id in a byte");
template <class Visit>
void SrmForEachElementView(CSRMReportTuple* tuple, Visit visit) {
  // The elements are taken as they lie rather than through getNextElementView, whose read
  // position would be stored back for every element; the position is set once, at the end.
  const CSRMReportTuple::Elements elements = tuple->elements();
  size_t taken = 0;  // elements read, the one without '=' included
  size_t begin = 0;
  while (taken < elements.count) {
    const size_t i = taken++;
    const std::string_view element(elements.text + begin, elements.ends[i] - begin);
    begin = elements.ends[i] + 1;
    const int guess = tuple->keyGuess(i);
    const SrmKeyValue split =
        guess >= 0 ? SrmSplitGuessedKeyId(element, guess) : SrmSplitKeyId(element);
    if (split.key < 0) break;
    if (split.named && split.key != guess) tuple->setKeyGuess(i, split.key);
    visit(split.key, split.value);
  }
  tuple->setNextIndex(taken);
}

// The same walk with each value copied into a string (one buffer reused for every element).
// Throws std::bad_alloc when memory runs out.
template <class Visit>
void SrmForEachElement(CSRMReportTuple* tuple, Visit visit) {
  std::string text;
  SrmForEachElementView(tuple, [&](int key, std::string_view value) {
    text.assign(value.data(), value.size());
    visit(key, static_cast<const std::string&>(text));
  });
}

// Integers as the C library's atol/atoll read them: leading white space, an optional sign,
// then decimal digits up to the first other character; no digits give 0. Out-of-range text
// saturates at the limits of 64 bits, as strtoll does, with no undefined behaviour.
int64_t SrmParseInt64Text(std::string_view text);

// SrmParseInt64Text, with the short way for text that starts with a digit and is too short to
// overflow, as nearly every number in tuple text is.
inline int64_t SrmParseInt64(std::string_view text) {
  constexpr size_t kSafeDigits = 18;  // 10^18 - 1 < INT64_MAX
  const auto digit = [](char c) { return static_cast<unsigned char>(c) - unsigned{'0'}; };
  if (text.empty() || text.size() > kSafeDigits || digit(text[0]) > 9) {
    return SrmParseInt64Text(text);
  }
  // The first byte is a digit (checked above); the rest up to the first byte that is not.
  uint64_t value = digit(text[0]);
  size_t i = 1;
  if (text.size() >= 8) {
    const uint64_t eight = SrmLoadLe64(text.data());  // byte k is the k-th character
    // Every byte 0x30..0x39: its high half 3, and adding 6 leaves the high half 3.
    constexpr uint64_t kHigh = 0xF0F0F0F0F0F0F0F0;
    if (((eight & kHigh) | (((eight + 0x0606060606060606) & kHigh) >> 4)) == 0x3333333333333333) {
      // Pairs of digits, then fours, then the eight, each step scaling the higher-placed part.
      uint64_t v = eight & 0x0F0F0F0F0F0F0F0F;
      v = (v * 10 + (v >> 8)) & 0x00FF00FF00FF00FF;
      v = (v * 100 + (v >> 16)) & 0x0000FFFF0000FFFF;
      value = (v * 10000 + (v >> 32)) & 0xFFFFFFFF;
      i = 8;
    }
  }
  for (; i < text.size(); ++i) {
    const unsigned next = digit(text[i]);
    if (next > 9) break;
    value = value * 10 + next;
  }
  return static_cast<int64_t>(value);
}

// The same value cut to 32 bits, as atoi and atol stored in a 32-bit field give it.
inline int32_t SrmParseInt32(std::string_view text) {
  // Keep the low 32 bits, as the C library's conversion to int does.
  return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(SrmParseInt64(text))));
}

// Stores kb in *field unless it is negative (sizes are never negative). 1 when stored, else 0.
inline int SrmSetSize(int64_t* field, int64_t kb) {
  if (kb < 0) return 0;
  *field = kb;
  return 1;
}

#endif  // RESDB_MODEL_TUPLE_FIELDS_H_
