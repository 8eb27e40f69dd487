#include "model/tuple_fields.h"

#include <limits>

namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

}  // namespace

int64_t SrmParseInt64Text(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsCSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  // Accumulate the magnitude; one past INT64_MAX is the magnitude of INT64_MIN.
  const uint64_t limit = negative ? uint64_t{1} << 63 : uint64_t{INT64_MAX};
  // Up to this magnitude one more digit cannot pass either limit: no check is needed.
  constexpr uint64_t kRoomForDigit = (uint64_t{INT64_MAX} - 9) / 10;
  uint64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    uint64_t digit = static_cast<uint64_t>(text[i] - '0');
    if (magnitude > kRoomForDigit && magnitude > (limit - digit) / 10) {
      magnitude = limit;
      break;
    }
    magnitude = magnitude * 10 + digit;
  }
  if (!negative) return static_cast<int64_t>(magnitude);
  if (magnitude == (uint64_t{1} << 63)) return std::numeric_limits<int64_t>::min();
  return -static_cast<int64_t>(magnitude);
}
