// The key properties that name a logical device of the reported system (a disk drive, a disk
// partition, a storage volume), in the order of rm_logdev_keys. Shared by the disk and volume
// passes, which append the device's other properties.
#ifndef RESDB_REPORT_DEVICE_KEYS_H_
#define RESDB_REPORT_DEVICE_KEYS_H_

#include <string>
#include <vector>

#include "report/instance_build.h"

// "SystemCreationClassName", "SystemName", "CreationClassName", then "DeviceID" as the
// natural name. The class name (a literal) and the system id live as long as the records.
inline std::vector<RM_PropertyRecipe> RM_LogicalDeviceKeys(const char* class_name,
                                                           const char* system_id,
                                                           const std::string& device_id) {
  return {RM_KeptKey("SystemCreationClassName", "CIM_ComputerSystem"),
          RM_KeptKey("SystemName", system_id), RM_KeptKey("CreationClassName", class_name),
          RM_NaturalKey("DeviceID", device_id)};
}

#endif  // RESDB_REPORT_DEVICE_KEYS_H_
