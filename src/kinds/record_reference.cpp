#include "kinds/record_reference.h"

#include "db/srm_resource_database.h"

std::string SrmRecordIdFor(const SrmResource& record, SrmResourceType kind,
                           const std::string& value) {
  const SrmResourceDatabase* db = record.getDatabase();
  if (db == nullptr) return value;
  const SrmResource* found = db->findGlobalResource(kind, value);
  return found != nullptr ? found->getId() : value;
}
