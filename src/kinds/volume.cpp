#include "kinds/volume.h"

#include <climits>
#include <map>
#include <utility>
#include <vector>

#include "db/srm_resource_database.h"
#include "model/reference_reader.h"

SrmVolume::SrmVolume() : SrmResource(SRM_VOLUME) {}

SrmVolume::SrmVolume(SrmResourceDatabase* db) : SrmVolume() {
  setDatabase(db);
}

SrmVolume::SrmVolume(const std::string& name) : SrmVolume() {
  setId(name);
  assignText(&volume_key_, name);
}

// Status, StatusDesc and HierType merge by the kind's own rules; Name is never merged; the
// counts and VolumeManager are the kind's own keys.
const SrmRecordCodec<SrmVolume>& SrmVolume::codec() {
  using F = SrmField<SrmVolume>;
  using V = SrmVolume;
  using Read = F::Read;
  using Merge = F::Merge;
  static const SrmRecordCodec<SrmVolume> kCodec(
      kKeyVolume, SrmStateRule::Or,
      {
          F::Text(kKeyName, &V::name_, Merge::Never),
          F::Int(kKeyHierType, &V::hier_type_, 0, Merge::Never),
          F::Int64(kKeyCapacityKB, &V::capacity_kb_, Read::NonNegative),
          F::Int64(kKeyFreeSpaceKB, &V::free_space_kb_, Read::NonNegative),
          F::Text(kKeyMgmtURL, &V::mgmt_url_),
          F::Text(kKeyDisplayMgmtURL, &V::display_mgmt_url_),
          F::Int(kKeyVolumeType, &V::volume_type_),
          F::Text(kKeyVolumeTypeDesc, &V::volume_type_desc_),
          F::Int(kKeyStatus, &V::status_, 0, Merge::Never),
          F::Text(kKeyStatusDesc, &V::status_desc_, Merge::Never),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyLId, kKeyName, kKeyState, kKeyHierType, kKeyCapacityKB,
       kKeyFreeSpaceKB, kKeyMgmtURL, kKeyDisplayMgmtURL, kKeyVolumeType, kKeyVolumeTypeDesc,
       kKeyStatus, kKeyStatusDesc, kKeyDiskChunkCount, kKeySubVolumeCount, kKeyVolumeManager},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmVolume::setCapacity(int64_t kb) {
  return SrmSetSize(&capacity_kb_, kb);
}

int SrmVolume::setFreeSpace(int64_t kb) {
  return SrmSetSize(&free_space_kb_, kb);
}

int SrmVolume::addDiskChunk(SrmResource* r) {
  if (!disk_chunks_ || r == nullptr || r->getType() != SRM_DISKCHUNK) return 0;
  return disk_chunks_->addResource(r);
}

int SrmVolume::addSubVolume(SrmResource* r) {
  if (!sub_volumes_ || r == nullptr || r->getType() != SRM_VOLUME) return 0;
  static_cast<SrmVolume*>(r)->hier_type_ = kHierSubVolume;
  if (hier_type_ != kHierSubVolume) hier_type_ = kHierParent;
  return sub_volumes_->addResource(r);
}

int SrmVolume::removeDiskChunk(SrmResource* r) {
  if (!disk_chunks_ || r == nullptr || r->getType() != SRM_DISKCHUNK) return 0;
  return disk_chunks_->removeResource(SRM_DISKCHUNK, r);
}

int SrmVolume::removeSubVolume(SrmResource* r) {
  if (!sub_volumes_ || r == nullptr || r->getType() != SRM_VOLUME) return 0;
  return sub_volumes_->removeResource(SRM_VOLUME, r);
}

int SrmVolume::mergeDiskChunkList(SrmResourceList* list) {
  if (list == nullptr || !disk_chunks_) return 0;
  return disk_chunks_->mergeResources(list);
}

int SrmVolume::mergeSubVolumeList(SrmResourceList* list) {
  if (list == nullptr || !sub_volumes_) return 0;
  return sub_volumes_->mergeResources(list);
}

void SrmVolume::releaseChildren() {
  // Unlinked first: releasing a child may destroy records that reach back to this volume.
  SrmResourceList* chunks = disk_chunks_;
  SrmResourceList* subs = sub_volumes_;
  disk_chunks_ = nullptr;
  sub_volumes_ = nullptr;
  // The sub-volumes go first, then the chunks, as the lists always went.
  if (subs != nullptr) subs->removeAllResources();
  if (chunks != nullptr) chunks->removeAllResources();
}

void SrmVolume::releaseSubVolumes() {
  SrmResourceList* subs = sub_volumes_;
  sub_volumes_ = nullptr;  // unlinked first, as above
  if (subs != nullptr) subs->removeAllResources();
}

void SrmVolume::setVolumeMgrId(std::string_view id) {
  volume_manager_.set(*this, id);
}

int SrmVolume::mergeResource(SrmResource* other) {
  if (other == this) return 1;
  return codec().merge(this, other, [](SrmVolume* dst, SrmVolume* src) {
    // Marked before its lists are merged: a cycle of sub-volumes that leads back to src then
    // finds it merged instead of merging it again without end.
    src->setMerged();
    if (src->status_ != 0) {
      dst->status_ = src->status_;
      // The description even when empty: it belongs to the status.
      dst->assignText(&dst->status_desc_, src->status_desc_);
    }
    if (dst->hier_type_ != kHierSubVolume && src->hier_type_ != 0) {
      dst->hier_type_ = src->hier_type_;
    }
    dst->mergeDiskChunkList(src->disk_chunks_);
    dst->mergeSubVolumeList(src->sub_volumes_);
  });
}

int SrmVolume::serialize(int fd, int flags) {
  auto extra = [this](SrmTupleLine* line, int key) {
    switch (key) {
      case kKeyDiskChunkCount:
        if (disk_chunks_) line->addInteger(key, disk_chunks_->getTypeCount(SRM_DISKCHUNK));
        break;
      case kKeySubVolumeCount:
        if (sub_volumes_) line->addInteger(key, sub_volumes_->getTypeCount(SRM_VOLUME));
        break;
      case kKeyVolumeManager:
        if (volume_manager_.manager() != nullptr) line->addText(key, volume_manager_.id());
        break;
      default:
        break;
    }
  };
  if (!codec().write(*this, fd, flags, extra)) return 0;
  if (flags & 1) return 1;
  const std::pair<SrmResourceList*, SrmResourceType> children[] = {{disk_chunks_, SRM_DISKCHUNK},
                                                                   {sub_volumes_, SRM_VOLUME}};
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

int SrmVolume::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  const std::string_view id_before = getId();  // a replaced Id stays in the text store
  int64_t chunk_count = 0;
  int64_t sub_count = 0;
  codec().read(this, tuple, [&](int key, std::string_view value) {
    switch (key) {
      case kKeyVolumeManager:
        setVolumeMgrId(value);
        break;
      case kKeyDiskChunkCount:
        chunk_count = SrmParseInt32(value);
        break;
      case kKeySubVolumeCount:
        sub_count = SrmParseInt32(value);
        break;
      default:
        break;
    }
  });
  if (getId() != id_before) assignText(&volume_key_, getId());
  // A negative count announces nothing; it must not cancel out a positive one.
  if (chunk_count < 0) chunk_count = 0;
  if (sub_count < 0) sub_count = 0;
  if (chunk_count + sub_count == 0) return 1;
  if (getDatabase() == nullptr || getTupleStream() == nullptr) return 0;
  return readReferences(chunk_count, sub_count);
}

int SrmVolume::readReferences(int64_t chunk_count, int64_t sub_count) {
  SrmResourceDatabase* db = getDatabase();
  // The references are resolved first and linked only once all of them are: a volume that
  // fails leaves nothing of itself in the database (no half-made sub-volumes, no HierType
  // changes). Sub-volumes the database lacks are made here and added at the end.
  SrmGatheredRecords chunks;
  SrmGatheredRecords subs;
  // One reference each, released however the reading ends.
  std::map<std::string, SrmHeld<SrmVolume>> created;
  SrmResourceType kind = SRM_NO_TYPE;  // carries over from one reference to the next
  int64_t total = chunk_count + sub_count;
  SrmReadReferences(getTupleStream(), total > INT_MAX ? INT_MAX : static_cast<int>(total),
                    [&](const SrmReference& ref) {
                      if (ref.type_key == kKeyDiskChunk) kind = SRM_DISKCHUNK;
                      if (ref.type_key == kKeyVolume) kind = SRM_VOLUME;
                      if (ref.id.empty()) return;  // names nothing (and no list takes an empty Id)
                      if (kind == SRM_DISKCHUNK) {
                        if (SrmResource* chunk = db->findResource(SRM_DISKCHUNK, ref.id))
                          chunks.push_back(chunk);
                      } else if (kind == SRM_VOLUME) {
                        SrmResource* sub = db->findResource(SRM_VOLUME, ref.id);
                        if (sub == nullptr) {
                          SrmHeld<SrmVolume>& made = created[std::string(ref.id)];
                          if (!made) {
                            made.reset(new SrmVolume(db));
                            made->setId(ref.id);
                            made->assignText(&made->volume_key_, ref.id);
                          }
                          sub = made.get();
                        }
                        subs.push_back(sub);
                      }
                    });
  const bool complete = static_cast<int64_t>(chunks.size()) == chunk_count &&
                        static_cast<int64_t>(subs.size()) == sub_count;
  if (complete) {
    for (auto& entry : created) db->addResource(entry.second.get());
    chunks.forEach([this](SrmResource* chunk) { addDiskChunk(chunk); });
    subs.forEach([this](SrmResource* sub) { addSubVolume(sub); });
  }
  return complete ? 1 : 0;
}

int SrmVisitVolumesDepthFirst(SrmVolume* root, std::set<std::string>* entered,
                              const std::function<int(SrmVolume*)>& visit) {
  std::set<std::string> own;  // for a caller that keeps no record of what was entered
  if (entered == nullptr) entered = &own;
  if (root == nullptr || !entered->emplace(root->getId()).second) return 1;
  // One frame per volume on the current path: the volume and its sub-volumes still to enter.
  struct Frame {
    SrmVolume* volume;
    std::vector<SrmVolume*> subs;
    size_t next;
  };
  auto frame_of = [](SrmVolume* v) {
    Frame frame{v, {}, 0};
    SrmResourceList* list = v->getSubVolumeList();
    const SrmResourceList::IdMap* subs =
        list != nullptr ? list->getSrmResourceIdMap(SRM_VOLUME) : nullptr;
    if (subs != nullptr) {
      for (const auto& entry : *subs) frame.subs.push_back(static_cast<SrmVolume*>(entry.second));
    }
    return frame;
  };
  std::vector<Frame> path;
  path.push_back(frame_of(root));
  while (!path.empty()) {
    Frame& top = path.back();
    if (top.next < top.subs.size()) {
      SrmVolume* sub = top.subs[top.next++];
      if (entered->emplace(sub->getId()).second) path.push_back(frame_of(sub));
      continue;
    }
    SrmVolume* done = top.volume;
    path.pop_back();
    if (!visit(done)) return 0;
  }
  return 1;
}
