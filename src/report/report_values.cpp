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

namespace {

// Whether value lies in the range of the integer type T of at most 32 bits.
template <typename T>
bool Within(int64_t value) {
  return value >= std::numeric_limits<T>::min() && value <= std::numeric_limits<T>::max();
}

}  // namespace

bool FitsIntegerType(int64_t value, nmspc_cim::CIMType type) {
  switch (type) {
    case nmspc_cim::CIM_UINT8:
      return Within<uint8_t>(value);
    case nmspc_cim::CIM_SINT8:
      return Within<int8_t>(value);
    case nmspc_cim::CIM_UINT16:
      return Within<uint16_t>(value);
    case nmspc_cim::CIM_SINT16:
      return Within<int16_t>(value);
    case nmspc_cim::CIM_UINT32:
      return Within<uint32_t>(value);
    case nmspc_cim::CIM_SINT32:
      return Within<int32_t>(value);
    case nmspc_cim::CIM_UINT64:
      return value >= 0;
    case nmspc_cim::CIM_SINT64:
      return true;
    default:
      return false;
  }
}

}  // namespace report_values
