#include "kinds/volume_reference.h"

#include "db/srm_resource_database.h"

std::string SrmVolumeIdFor(const SrmResource& record, const std::string& value) {
  const SrmResourceDatabase* db = record.getDatabase();
  if (db == nullptr) return value;
  const SrmResource* volume = db->findGlobalResource(SRM_VOLUME, value);
  return volume != nullptr ? volume->getId() : value;
}
