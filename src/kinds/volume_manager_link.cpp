#include "kinds/volume_manager_link.h"

#include "db/srm_resource_database.h"
#include "kinds/volume_manager.h"
#include "model/tuple_fields.h"

SrmVolumeManagerLink::~SrmVolumeManagerLink() {
  clear();
}

void SrmVolumeManagerLink::set(const SrmResource& owner, std::string_view id) {
  SrmResourceDatabase* db = owner.getDatabase();
  if (db == nullptr) return;
  const SrmResourceList::IdMap* managers =
      db->getResourceList()->getSrmResourceIdMap(SRM_VOLUMEMANAGER);
  if (managers == nullptr) return;
  const int32_t wanted = SrmParseInt32(id);
  for (const auto& entry : *managers) {
    auto* manager = static_cast<SrmVolumeManager*>(entry.second);
    if (manager->getIdType() != wanted) continue;
    manager->AddRef();  // before the release: the manager linked now may be this one
    if (manager_ != nullptr) manager_->Release();
    manager_ = manager;
    id_.assign(id.data(), id.size());  // assign copes with id viewing id_ itself
    return;
  }
}

void SrmVolumeManagerLink::clear() {
  if (manager_ != nullptr) manager_->Release();
  manager_ = nullptr;
  id_.clear();
}
