#include "report/report_values.h"

#include <limits>

namespace report_values {

std::string ScaledSize(int64_t value, uint64_t factor) {
  if (value <= 0 || factor == 0) return "0";
  const uint64_t magnitude = static_cast<uint64_t>(value);
  const uint64_t largest = std::numeric_limits<uint64_t>::max();
  if (magnitude > largest / factor) return std::to_string(largest);
  return std::to_string(magnitude * factor);
}

}  // namespace report_values
