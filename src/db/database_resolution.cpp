// Resolution, integrity checks and the merging of two databases. Resolution validates the disks
// and copies each record's whole flags word to the records built on it, pass by pass, so that
// whatever rests on a withdrawn disk is withdrawn too; the integrity checks withdraw records
// whose references cannot be resolved.
#include <atomic>
#include <cstdint>
#include <new>
#include <set>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "tuple/same_bytes.h"

namespace {

// Calls visit(record) for each record of kind in list (null lists hold nothing), in Id order.
template <class Record, class Visit>
void ForEach(SrmResourceList* list, SrmResourceType kind, Visit visit) {
  if (list == nullptr) return;
  SrmResourceList::IdMap* map = list->getSrmResourceIdMap(kind);
  if (map == nullptr) return;
  for (auto& entry : *map) visit(static_cast<Record*>(entry.second));
}

// The same in any order, where each visit reads no flags another one writes (and the watcher
// is told each copy all the same).
template <class Record, class Visit>
void ForEachAnyOrder(SrmResourceList* list, SrmResourceType kind, Visit visit) {
  if (list != nullptr) {
    list->forEachInAnyOrder(kind, [&](SrmResource* r) { visit(static_cast<Record*>(r)); });
  }
}

// True when list exists and has ever held a record of kind.
bool HasHeld(SrmResourceList* list, SrmResourceType kind) {
  return list != nullptr && list->getSrmResourceIdMap(kind) != nullptr;
}

// The dependent record takes the whole flags word of the record it rests on.
void CopyFlags(const SrmResource* from, SrmResource* to, int* count,
               SrmResolutionWatcher* watcher) {
  to->setFlags(from->getFlags());
  ++*count;
  if (watcher != nullptr) watcher->flagsCopied(*from, *to);
}

// Hands records the flags of the records of one kind that they name, in the order they are
// given: add(record, id) does what CopyFlags(findResource(kind, id), record) does when that
// record exists, but the lookups wait and are made a batch at a time, their cache misses
// overlapping (a database of 100 000 records does not fit the cache). The lookups read only
// the lists, which copying flags leaves alone; flush before reading the flags copied. The ids
// are borrowed until then. Each record's finding (null: none) is handed to remember(record,
// found) as well.
template <class Remember>
class FlagCopier {
 public:
  FlagCopier(const SrmResourceList* all, SrmResourceType kind, int* count,
             SrmResolutionWatcher* watcher, Remember remember, bool repeats = false)
      : all_(all),
        kind_(kind),
        count_(count),
        watcher_(watcher),
        remember_(remember),
        repeats_(repeats) {}
  FlagCopier(const FlagCopier&) = delete;
  FlagCopier& operator=(const FlagCopier&) = delete;

  void add(SrmResource* record, const SrmText& id) {
    records_[pending_] = record;
    ids_[pending_] = &id;
    if (++pending_ == kBatch) flush();
  }

  void flush() {
    SrmResource* found[kBatch];
    if (repeats_) {
      FindRepeating(found);
    } else {
      all_->findResources(kind_, ids_, pending_, found);
    }
    // Read once: the compiler cannot tell that the flags written leave these alone.
    const size_t pending = pending_;
    int* const count = count_;
    SrmResolutionWatcher* const watcher = watcher_;
    for (size_t i = 0; i < pending; ++i) {
      if (found[i] != nullptr) CopyFlags(found[i], records_[i], count, watcher);
      remember_(records_[i], found[i]);
    }
    pending_ = 0;
  }

 private:
  static constexpr size_t kBatch = 32;

  // The lookups, each Id that the one before repeats left out.
  void FindRepeating(SrmResource** found) {
    const SrmText* asked[kBatch];
    size_t of[kBatch];  // the place in asked of each Id
    size_t count = 0;
    for (size_t i = 0; i < pending_; ++i) {
      const SrmText& id = *ids_[i];
      if (count == 0 || asked[count - 1]->size() != id.size() ||
          !SrmSameBytes(asked[count - 1]->data(), id.data(), id.size())) {
        asked[count++] = &id;
      }
      of[i] = count - 1;
    }
    SrmResource* distinct[kBatch];
    all_->findResources(kind_, asked, count, distinct);
    for (size_t i = 0; i < pending_; ++i) found[i] = distinct[of[i]];
  }

  const SrmResourceList* all_;
  SrmResourceType kind_;
  int* count_;
  SrmResolutionWatcher* watcher_;  // borrowed, may be null
  Remember remember_;
  bool repeats_;  // records come in runs naming one Id, which is then looked up once
  SrmResource* records_[kBatch];
  const SrmText* ids_[kBatch];
  size_t pending_ = 0;
};

// Numbers the resolutions of every database, so that a chunk shared between databases never
// passes one resolution's finding to another.
std::atomic<uint64_t> resolutions{0};

}  // namespace

void SrmResourceDatabase::withdraw(SrmResource* r, std::string_view reason, std::string_view id) {
  std::string message(reason);
  message.append(id.data(), id.size());
  // The host name first: finding this computer may itself record a failure, and the finding
  // is what the last-error slot must end up holding.
  getThisComputer();
  setErrorInfo(22, message, r);
  addError(host_name_, message, 22, 2);
  r->setReport(false);
  if (watcher_ != nullptr) watcher_->withdrawn(*r, message);
}

// Running out of memory ends the resolution with 0 and code 12 in the last-error slot; the
// flags copied so far stay copied.
int SrmResourceDatabase::resolveDatabase() try {
  int count = 0;
  SrmResourceList* all = &resource_list_;

  // 1. Volume groups hand their flags to their disks, then to their volumes.
  ForEach<SrmVolumeGroup>(all, SRM_VOLUMEGROUP, [&](SrmVolumeGroup* group) {
    if (!HasHeld(group->getDiskList(), SRM_DISK)) return;
    ForEachAnyOrder<SrmResource>(group->getDiskList(), SRM_DISK, [&](SrmResource* disk) {
      CopyFlags(group, disk, &count, watcher_);
    });
    ForEachAnyOrder<SrmResource>(group->getVolumeList(), SRM_VOLUME, [&](SrmResource* volume) {
      CopyFlags(group, volume, &count, watcher_);
    });
  });

  // 2. A disk without a signature or without a name is withdrawn, the findings in Id order.
  // Most databases have none: the disks are checked in any order first, the cheaper walk.
  bool lacking = false;
  ForEachAnyOrder<SrmDisk>(all, SRM_DISK, [&](SrmDisk* disk) {
    lacking = lacking || (disk->shouldReport() && (disk->getSign() < 0 || disk->getName().empty()));
  });
  if (lacking) {
    ForEach<SrmDisk>(all, SRM_DISK, [&](SrmDisk* disk) {
      if (!disk->shouldReport()) return;
      if (disk->getSign() < 0) withdraw(disk, "Disk signature not generated: ", disk->getId());
      if (disk->getName().empty()) withdraw(disk, "Disk Name not generated: ", disk->getId());
    });
  }

  // 3. Disks to their chunks. (A list finds a record of a large kind through its hash index.)
  // Each chunk remembers the disk found for it for step 4, which asks again for most chunks.
  const uint64_t stamp = ++resolutions;
  FlagCopier fromDisk(
      all, SRM_DISK, &count, watcher_,
      [stamp](SrmResource* chunk, SrmResource* disk) {
        static_cast<SrmDiskChunk*>(chunk)->rememberDisk(stamp, disk);
      },
      /*repeats=*/true);  // the chunks of one disk follow one another
  ForEachAnyOrder<SrmDiskChunk>(
      all, SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) { fromDisk.add(chunk, chunk->getDisk()); });
  fromDisk.flush();

  // 4. Disks to the volumes built on their chunks; the last chunk with a known disk decides.
  // The disks and the volumes' chunk lists are what step 3 left, so a remembered disk stands.
  ForEachAnyOrder<SrmVolume>(all, SRM_VOLUME, [&](SrmVolume* volume) {
    ForEach<SrmDiskChunk>(volume->getDiskChunkList(), SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) {
      SrmResource* disk = nullptr;
      if (!chunk->rememberedDisk(stamp, &disk))
        disk = all->findResource(SRM_DISK, chunk->getDisk());
      if (disk != nullptr) CopyFlags(disk, volume, &count, watcher_);
    });
  });

  // 5 to 7. Volumes to the file systems, mount points and shares on them.
  FlagCopier fromVolume(all, SRM_VOLUME, &count, watcher_, [](SrmResource*, SrmResource*) {});
  ForEachAnyOrder<SrmFileSystem>(all, SRM_FILESYSTEM,
                                 [&](SrmFileSystem* fs) { fromVolume.add(fs, fs->getVolume()); });
  ForEachAnyOrder<SrmMountPoint>(all, SRM_MOUNTPOINT, [&](SrmMountPoint* mount) {
    fromVolume.add(mount, mount->getVolumeId());
  });
  ForEachAnyOrder<SrmShare>(all, SRM_SHARE,
                            [&](SrmShare* share) { fromVolume.add(share, share->getVolumeId()); });
  fromVolume.flush();

  // 8. A service group takes in the members of its volume groups, then every volume with a
  // chunk on one of its disks. One walk over the volumes per group does it: the disks the
  // group holds do not change during the walk.
  for (auto& entry : service_groups_) {
    SrmResourceList* members = entry.second->getResourceList();
    if (members == nullptr) continue;
    ForEach<SrmVolumeGroup>(members, SRM_VOLUMEGROUP, [&](SrmVolumeGroup* group) {
      if (group->getVolumeList() == nullptr) return;
      members->mergeResources(group->getVolumeList());
      members->mergeResources(group->getDiskList());
    });
    if (members->getTypeCount(SRM_DISK) == 0) continue;
    ForEach<SrmVolume>(all, SRM_VOLUME, [&](SrmVolume* volume) {
      if (members->findResource(SRM_VOLUME, volume->getId()) != nullptr) return;
      bool on_member_disk = false;
      ForEach<SrmDiskChunk>(volume->getDiskChunkList(), SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) {
        if (members->findResource(SRM_DISK, chunk->getDisk()) != nullptr) on_member_disk = true;
      });
      if (on_member_disk) members->addResource(volume);
    });
  }
  return count;
} catch (const std::bad_alloc&) {
  setOutOfMemory("Failed to resolve the database");
  return 0;
}

int SrmResourceDatabase::checkIntegrity() {
  SrmResourceList* all = &resource_list_;

  // 1. Volume groups: members the database does not hold.
  ForEach<SrmVolumeGroup>(all, SRM_VOLUMEGROUP, [&](SrmVolumeGroup* group) {
    if (!group->shouldReport() || !HasHeld(group->getDiskList(), SRM_DISK)) return;
    ForEach<SrmResource>(group->getDiskList(), SRM_DISK, [&](SrmResource* disk) {
      if (findResource(SRM_DISK, disk->getId()) == nullptr) {
        withdraw(disk, "Volume Group Disk not found: ", disk->getId());
      }
    });
    ForEach<SrmResource>(group->getVolumeList(), SRM_VOLUME, [&](SrmResource* volume) {
      if (findResource(SRM_VOLUME, volume->getId()) == nullptr) {
        withdraw(volume, "Volume Group Volume not found: ", volume->getId());
      }
    });
  });

  // 2. Volumes: chunks on unknown disks.
  ForEach<SrmVolume>(all, SRM_VOLUME, [&](SrmVolume* volume) {
    if (!volume->shouldReport()) return;
    ForEach<SrmDiskChunk>(volume->getDiskChunkList(), SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) {
      if (findResource(SRM_DISK, chunk->getDisk()) == nullptr) {
        withdraw(chunk, "Disk Chunk Disk not found: ", chunk->getId());
      }
    });
  });

  // 3 and 4. File systems and mount points on unknown volumes.
  ForEach<SrmFileSystem>(all, SRM_FILESYSTEM, [&](SrmFileSystem* fs) {
    if (fs->shouldReport() && findResource(SRM_VOLUME, fs->getVolume()) == nullptr) {
      withdraw(fs, "Missing or unsupported fs: ", fs->getVolume());
    }
  });
  ForEach<SrmMountPoint>(all, SRM_MOUNTPOINT, [&](SrmMountPoint* mount) {
    if (mount->shouldReport() && findResource(SRM_VOLUME, mount->getVolumeId()) == nullptr) {
      withdraw(mount, "MountPoint missing or invalid: ", mount->getVolumeId());
    }
  });

  // 5. Service groups, in name order; the first that fails ends the check.
  for (auto& entry : service_groups_) {
    if (!entry.second->checkIntegrity()) return 0;
  }
  return 1;
}

int SrmResourceDatabase::mergeResourceDatabase(SrmResourceDatabase* other) {
  if (other == nullptr || other == this) return other == this ? 1 : 0;
  if (!resource_list_.mergeResources(&other->resource_list_)) return 0;

  // Each group of other is folded into this database's group of its name, made here when
  // there is none: the two databases never share a group, and the members and child each group
  // here holds are this database's (mergeServiceGroup finds them by kind, Id and name).
  for (auto& entry : other->service_groups_) {
    SrmServiceGroup* mine = findServiceGroup(entry.first);
    if (mine == nullptr) {
      SrmHeld<SrmServiceGroup> made(new SrmServiceGroup(entry.first));
      if (!addServiceGroup(made.get())) continue;
      mine = made.get();
    }
    mine->mergeServiceGroup(entry.second);
  }
  computer_list_.mergeResources(&other->computer_list_);
  return 1;
}
