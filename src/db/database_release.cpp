// How a database lets go of its records when it ends, and takes back records whose database
// ended while this one still holds them. Records are shared between databases by merging, so
// a database that ends must neither change a record another one still holds nor leave it
// linked to the ended database; and volumes that hold each other as sub-volumes (a cycle that
// reference counting alone never frees) must still be freed.
#include <new>
#include <vector>

#include "db/record_table.h"
#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/computer.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"

namespace {

// Every kind a list can hold, in kind order.
constexpr SrmResourceType kAllKinds[] = {SRM_COMPUTER,    SRM_DISK,          SRM_VOLUME,
                                         SRM_FILESYSTEM,  SRM_MOUNTPOINT,    SRM_VIRTUALSERVER,
                                         SRM_VOLUMEGROUP, SRM_VOLUMEMANAGER, SRM_DISKCHUNK,
                                         SRM_SHARE,       SRM_ALIAS};

template <class Visit>
void ForEachRecord(SrmResourceList* list, Visit visit) {
  if (list == nullptr) return;
  for (SrmResourceType kind : kAllKinds) {
    if (SrmResourceList::IdMap* map = list->getSrmResourceIdMap(kind)) {
      for (auto& entry : *map) visit(entry.second);
    }
  }
}

template <class Visit>
void ForEachSubVolume(SrmResource* volume, Visit visit) {
  SrmResourceList* subs = static_cast<SrmVolume*>(volume)->getSubVolumeList();
  if (subs == nullptr) return;
  if (SrmResourceList::IdMap* map = subs->getSrmResourceIdMap(SRM_VOLUME)) {
    for (auto& entry : *map) visit(entry.second);
  }
}

// Drops one reference, after unlinking a record that outlives it from db.
void ReleaseFrom(SrmResourceDatabase* db, SrmResource* r) {
  if (r->getRefCount() > 1 && r->getDatabase() == db) r->setDatabase(nullptr);
  r->Release();
}

}  // namespace

void SrmResourceDatabase::releaseRecords() noexcept {
  // Every record's reference moves here from the lists, so that the lists can go first. Room
  // for the walk is taken before anything changes; without it, the child links of this database's
  // volumes and volume groups are broken as the lists go (a record another database shares then
  // loses them).
  const size_t size =
      static_cast<size_t>(resource_list_.getResourceCount()) + departed_containers_.size();
  size_t volume_room = static_cast<size_t>(resource_list_.getTypeCount(SRM_VOLUME));
  for (SrmResource* r : departed_containers_) volume_room += r->getType() == SRM_VOLUME ? 1 : 0;
  std::vector<SrmResource*> held;
  std::vector<int> inside;  // per held volume: references held volumes and this walk hold
  std::vector<SrmResource*> pending;
  RecordTable<size_t> volume_at;  // each held volume's place in held
  try {
    held.reserve(size);
    inside.reserve(volume_room);
    pending.reserve(volume_room);
    if (!volume_at.reserve(volume_room)) throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
    for (SrmResourceType kind : {SRM_VOLUME, SRM_VOLUMEGROUP}) {
      if (SrmResourceList::IdMap* map = resource_list_.getSrmResourceIdMap(kind)) {
        for (auto& entry : *map) releaseChildrenOf(entry.second);
      }
    }
    for (SrmResource* r : departed_containers_) releaseChildrenOf(r);
    for (SrmResource* r : departed_containers_) r->Release();
    departed_containers_.clear();
    computer_list_.removeAllResources();
    resource_list_.removeAllResources();
    return;
  }
  // The list's references move into held (room was made for all of them above).
  resource_list_.takeAllResources(&held);
  held.insert(held.end(), departed_containers_.begin(), departed_containers_.end());
  departed_containers_.clear();
  computer_list_.removeAllResources();

  // A record held more than once (a departed container the lists held too) gives back the
  // extra references first, so that each is held here once. The walk marks each record it
  // meets, and takes every mark off again below before the record is let go.
  size_t distinct = 0;
  for (size_t i = 0; i < held.size(); ++i) {
    SrmResource* r = held[i];
    if (!r->walkMark()) {
      r->setWalkMark(true);
      held[distinct++] = r;
    } else {
      r->Release();
    }
  }
  held.resize(distinct);

  // Records other than volumes hold no cycle this database cannot break otherwise: they go
  // now.
  size_t volumes = 0;
  for (size_t i = 0; i < held.size(); ++i) {
    SrmResource* r = held[i];
    r->setWalkMark(false);
    if (r->getType() != SRM_VOLUME) {
      ReleaseFrom(this, r);
    } else {
      volume_at.add(r, volumes);
      held[volumes++] = r;
    }
  }
  held.resize(volumes);  // unique volumes

  // A volume something outside the held volumes still holds stays whole, and so does every
  // volume below it; the others hold only each other and this walk: their sub-volume links go,
  // and with them every cycle among them.
  auto index_of = [&held, &volume_at](SrmResource* v) {
    const size_t* at = volume_at.find(v);
    return at != nullptr ? *at : held.size();
  };
  inside.assign(held.size(), 1);
  for (SrmResource* v : held) {
    ForEachSubVolume(v, [&](SrmResource* sub) {
      size_t j = index_of(sub);
      if (j < held.size()) ++inside[j];
    });
  }
  for (size_t i = 0; i < held.size(); ++i) {
    if (held[i]->getRefCount() > inside[i]) {
      inside[i] = -1;  // kept
      pending.push_back(held[i]);
    }
  }
  while (!pending.empty()) {
    SrmResource* v = pending.back();
    pending.pop_back();
    ForEachSubVolume(v, [&](SrmResource* sub) {
      size_t j = index_of(sub);
      if (j < held.size() && inside[j] != -1) {
        inside[j] = -1;
        pending.push_back(sub);
      }
    });
  }
  for (size_t i = 0; i < held.size(); ++i) {
    if (inside[i] != -1) static_cast<SrmVolume*>(held[i])->releaseSubVolumes();
  }
  for (SrmResource* v : held) ReleaseFrom(this, v);
}

void SrmResourceDatabase::adoptUnlinkedRecords() {
  auto adopt = [this](SrmResourceList* list) {
    ForEachRecord(list, [this](SrmResource* r) {
      if (r->getDatabase() == nullptr) r->setDatabase(this);
    });
  };
  ForEachRecord(&resource_list_, [&adopt](SrmResource* r) {
    switch (r->getType()) {
      case SRM_VOLUME:
        adopt(static_cast<SrmVolume*>(r)->getDiskChunkList());
        adopt(static_cast<SrmVolume*>(r)->getSubVolumeList());
        break;
      case SRM_VOLUMEGROUP:
        adopt(static_cast<SrmVolumeGroup*>(r)->getDiskList());
        adopt(static_cast<SrmVolumeGroup*>(r)->getVolumeList());
        break;
      case SRM_COMPUTER:
        adopt(static_cast<SrmComputer*>(r)->getResourceList());
        break;
      default:
        break;
    }
  });
  adopt(&resource_list_);
  for (auto& entry : service_groups_) adopt(entry.second->getResourceList());
}
