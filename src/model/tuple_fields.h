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

// Rewinds tuple and calls visit(key_id, value) for each element in order, value viewing the
// tuple's own text (valid until the tuple changes). The walk ends at the last element or at the
// first element without '=' (what was read before stays read). A key outside the vocabulary
// arrives as id 0, the id of Type. Nothing is copied, so the walk itself never allocates. The
// keys found are left in the tuple as the guesses for the next walk over a tuple read into it:
// the tuples of one batch mostly carry the same keys in the same order.
static_assert(kKeyCount <= INT8_MAX + 1, "a tuple keeps each guessed key id in a byte");
template <class Visit>
void SrmForEachElementView(CSRMReportTuple* tuple, Visit visit) {
  std::string_view element;
  tuple->resetNext();
  for (size_t i = 0; tuple->getNextElementView(&element) == CSRM_OK; ++i) {
    const int guess = tuple->keyGuess(i);
    const SrmKeyValue split =
        guess >= 0 ? SrmSplitGuessedKeyId(element, guess) : SrmSplitKeyId(element);
    if (split.key < 0) break;
    if (split.named && split.key != guess) tuple->setKeyGuess(i, split.key);
    visit(split.key, split.value);
  }
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
  for (size_t i = 1; i < text.size(); ++i) {
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
