#include "kinds/record_reference.h"

#include "db/srm_resource_database.h"

std::string_view SrmRecordIdFor(const SrmResource& record, SrmResourceType kind,
                                std::string_view value) {
  const SrmResourceDatabase* db = record.getDatabase();
  if (db == nullptr) return value;
  // As findGlobalResource would find it, the global id looked up first: most values are Ids
  // that are no global id, and for them the lookup by Id, which could only give value back, is
  // left out.
  const SrmResource* by_global_id = db->findByGlobalId(kind, value);
  if (by_global_id == nullptr || db->findResource(kind, value) != nullptr) return value;
  return by_global_id->getId();
}
