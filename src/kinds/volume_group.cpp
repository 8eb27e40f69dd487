#include "kinds/volume_group.h"

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <string>
#include <utility>

#include "db/srm_resource_database.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/volume.h"
#include "model/reference_reader.h"

namespace {

// Reads up to count references (a negative count reads none) and resolves each Id to a record
// of kind in db, by Id or global id, else to a record made by make(id) and kept in *created
// (one reference each) for the caller to add. Appends the resolved records to *found; a
// reference without an Id resolves to nothing.
template <class Make>
void ResolveReferences(SrmResourceDatabase* db, CSRMReportTupleStreamReader* reader, int64_t count,
                       SrmResourceType kind, Make make,
                       std::map<std::string, SrmHeld<SrmResource>, std::less<>>* created,
                       SrmGatheredRecords* found) {
  if (count <= 0) return;
  SrmReadReferences(
      reader, count > INT_MAX ? INT_MAX : static_cast<int>(count), [&](const SrmReference& ref) {
        if (ref.id.empty()) return;  // names nothing; no list takes it
        auto made = created->find(ref.id);
        SrmResource* r =
            made != created->end() ? made->second.get() : db->findGlobalResource(kind, ref.id);
        if (r == nullptr) {
          const std::string id(ref.id);
          SrmHeld<SrmResource> record(make(id));
          record->setDatabase(db);
          r = record.get();
          created->emplace(id, std::move(record));
        }
        found->push_back(r);
      });
}

}  // namespace

SrmVolumeGroup::SrmVolumeGroup()
    : SrmResource(SRM_VOLUMEGROUP),
      volumes_(new SrmResourceList(nullptr, SrmResourceList::KindRoom::kFirstRecordStore)),
      disks_(new SrmResourceList(nullptr, SrmResourceList::KindRoom::kFirstRecordStore)) {}

SrmVolumeGroup::SrmVolumeGroup(SrmResourceDatabase* db) : SrmVolumeGroup() {
  setDatabase(db);
}

SrmVolumeGroup::SrmVolumeGroup(const std::string& name) : SrmVolumeGroup() {
  setId(name);
}

// The sizes merge by the kind's own rule; the counts, OSystem and VolumeManager are the kind's
// own keys.
const SrmRecordCodec<SrmVolumeGroup>& SrmVolumeGroup::codec() {
  using F = SrmField<SrmVolumeGroup>;
  using G = SrmVolumeGroup;
  using Read = F::Read;
  using Merge = F::Merge;
  static const SrmRecordCodec<SrmVolumeGroup> kCodec(
      kKeyVolumeGroup, SrmStateRule::Or,
      {
          F::Int64(kKeyCapacityKB, &G::capacity_kb_, Read::NonNegative, Merge::Never),
          F::Int64(kKeyFreeSpaceKB, &G::free_space_kb_, Read::NonNegative, Merge::Never),
          F::Int(kKeyStatus, &G::status_, 0, Merge::Never),
          F::Text(kKeyStatusDesc, &G::status_desc_, Merge::Never),
          F::Text(kKeyName, &G::name_, Merge::Never),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyState, kKeyLId, kKeyCapacityKB, kKeyFreeSpaceKB, kKeyStatus,
       kKeyStatusDesc, kKeyName, kKeyVolumeManager, kKeyDiskCount, kKeyVolumeCount},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmVolumeGroup::setCapacity(int64_t kb) {
  return SrmSetSize(&capacity_kb_, kb);
}

int SrmVolumeGroup::setFreeSpace(int64_t kb) {
  return SrmSetSize(&free_space_kb_, kb);
}

int SrmVolumeGroup::addVolume(SrmResource* r) {
  return volumes_ ? volumes_->addResource(r) : 0;
}

int SrmVolumeGroup::addDisk(SrmResource* r) {
  return disks_ ? disks_->addResource(r) : 0;
}

int SrmVolumeGroup::removeVolume(SrmResource* r) {
  return volumes_ ? volumes_->removeResource(SRM_VOLUME, r) : 0;
}

int SrmVolumeGroup::removeDisk(SrmResource* r) {
  return disks_ ? disks_->removeResource(SRM_DISK, r) : 0;
}

void SrmVolumeGroup::releaseChildren() {
  std::unique_ptr<SrmResourceList> volumes(std::move(volumes_));
  std::unique_ptr<SrmResourceList> disks(std::move(disks_));
}

void SrmVolumeGroup::setVolumeMgrId(std::string_view id) {
  volume_manager_.set(*this, id);
}

int SrmVolumeGroup::mergeResource(SrmResource* other) {
  if (other == this) return 1;
  return codec().merge(this, other, [](SrmVolumeGroup* dst, SrmVolumeGroup* src) {
    if (dst->volumes_ && src->volumes_) dst->volumes_->mergeResources(src->volumes_.get());
    if (dst->disks_ && src->disks_) dst->disks_->mergeResources(src->disks_.get());
    if (dst->free_space_kb_ < 1) dst->setFreeSpace(src->free_space_kb_);
    if (dst->capacity_kb_ < 1) dst->setCapacity(src->capacity_kb_);
  });
}

int SrmVolumeGroup::serialize(int fd, int flags) {
  auto extra = [this](SrmTupleLine* line, int key) {
    switch (key) {
      case kKeyVolumeManager:
        line->addText(key, volume_manager_.id());
        break;
      case kKeyDiskCount:
        line->addInteger(key, disks_ ? disks_->getTypeCount(SRM_DISK) : 0);
        break;
      case kKeyVolumeCount:
        line->addInteger(key, volumes_ ? volumes_->getTypeCount(SRM_VOLUME) : 0);
        break;
      default:
        break;
    }
  };
  if (!codec().write(*this, fd, flags, extra)) return 0;
  if (flags & 1) return 1;
  const std::pair<SrmResourceList*, SrmResourceType> children[] = {{disks_.get(), SRM_DISK},
                                                                   {volumes_.get(), SRM_VOLUME}};
  for (const auto& child : children) {
    if (child.first == nullptr) continue;
    const SrmResourceList::IdMap* records = child.first->getSrmResourceIdMap(child.second);
    if (records == nullptr) continue;
    for (const auto& entry : *records) {
      if (!entry.second->serialize(fd, 1)) return 0;
    }
  }
  return 1;
}

int SrmVolumeGroup::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  int64_t disk_count = 0;
  int64_t volume_count = 0;
  std::vector<std::string> computers;  // OSystem values, acted on once the group is complete
  codec().read(this, tuple, [&](int key, std::string_view value) {
    switch (key) {
      case kKeyVolumeManager:
        setVolumeMgrId(value);
        break;
      case kKeyOSystem:
        computers.emplace_back(value);
        break;
      case kKeyDiskCount:
        disk_count = SrmParseInt32(value);
        break;
      case kKeyVolumeCount:
        volume_count = SrmParseInt32(value);
        break;
      default:
        break;
    }
  });
  if (disk_count > 0 || volume_count > 0) {
    if (getDatabase() == nullptr || getTupleStream() == nullptr) return 0;
    if (!readReferences(disk_count, volume_count)) return 0;
  }
  attachToComputers(computers);
  return 1;
}

int SrmVolumeGroup::readReferences(int64_t disk_count, int64_t volume_count) {
  SrmResourceDatabase* db = getDatabase();
  // Every announced reference is read (so the stream stays in step even when some fail), all
  // are resolved, and only then linked: a group that fails leaves nothing of itself behind.
  // One reference each, released however the reading ends.
  std::map<std::string, SrmHeld<SrmResource>, std::less<>> made_disks, made_volumes;
  SrmGatheredRecords disks, volumes;
  ResolveReferences(
      db, getTupleStream(), disk_count, SRM_DISK,
      [](const std::string& id) { return new SrmDisk(id); }, &made_disks, &disks);
  ResolveReferences(
      db, getTupleStream(), volume_count, SRM_VOLUME,
      [](const std::string& id) { return new SrmVolume(id); }, &made_volumes, &volumes);
  const bool complete = static_cast<int64_t>(disks.size()) == std::max<int64_t>(disk_count, 0) &&
                        static_cast<int64_t>(volumes.size()) == std::max<int64_t>(volume_count, 0);
  if (complete) {
    for (auto& entry : made_disks) db->addResource(entry.second.get());
    for (auto& entry : made_volumes) db->addResource(entry.second.get());
    disks.forEach([this](SrmResource* disk) { addDisk(disk); });
    volumes.forEach([this](SrmResource* volume) { addVolume(volume); });
  }
  return complete ? 1 : 0;
}

void SrmVolumeGroup::attachToComputers(const std::vector<std::string>& computer_ids) {
  SrmResourceDatabase* db = getDatabase();
  if (db == nullptr) return;
  // The computer takes the group the database keeps: the one this group is about to be merged
  // into when there is one, else this group, which is about to be added.
  SrmResource* kept = db->findGlobalResource(SRM_VOLUMEGROUP, this);
  if (kept == nullptr) kept = this;
  for (const std::string& id : computer_ids) {
    auto* computer = static_cast<SrmComputer*>(db->findResource(SRM_COMPUTER, id));
    if (computer != nullptr) computer->addResource(kept);
  }
}
