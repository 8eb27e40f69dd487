// The decimal texts of the numbers the report's instances carry. Every value of a CIM property
// travels as text; these are the few shapes the passes need, written once.
#ifndef RESDB_REPORT_REPORT_VALUES_H_
#define RESDB_REPORT_REPORT_VALUES_H_

#include <cstdint>
#include <string>

#include "cimapi.h"

namespace report_values {

// A size scaled to bytes (kilobytes with factor 1024, megabytes with 1048576), as unsigned
// 64-bit decimal text. Records never hold negative sizes; a negative value reads as 0. A
// product beyond the unsigned 64-bit range does not wrap: it reads as 18446744073709551615.
std::string ScaledSize(int64_t value, uint64_t factor);

// kilobytes * 1024 as above.
inline std::string BytesOfKB(int64_t kilobytes) {
  return ScaledSize(kilobytes, 1024);
}

// Whether value lies in the range of the integer CIM type (uint8 to sint64); false for every
// other type. A client reading the report refuses an integer outside its property's range.
bool FitsIntegerType(int64_t value, nmspc_cim::CIMType type);

}  // namespace report_values

#endif  // RESDB_REPORT_REPORT_VALUES_H_
