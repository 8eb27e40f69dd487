#include "kinds/record_reference.h"

#include "db/srm_resource_database.h"

std::string_view SrmRecordIdFor(const SrmResource& record, SrmResourceType kind,
                                std::string_view value) {
  const SrmResourceDatabase* db = record.getDatabase();
  const SrmResource* found = db != nullptr ? db->findGlobalResource(kind, value) : nullptr;
  return found != nullptr ? found->getId() : value;
}
