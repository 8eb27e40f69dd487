// Resolution, integrity checks and the merging of two databases. Resolution validates the disks
// and copies each record's whole flags word to the records built on it, pass by pass, so that
// whatever rests on a withdrawn disk is withdrawn too; the integrity checks withdraw records
// whose references cannot be resolved.
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

namespace {

// Calls visit(record) for each record of kind in list (null lists hold nothing), in Id order.
template <class Record, class Visit>
void ForEach(SrmResourceList* list, SrmResourceType kind, Visit visit) {
  if (list == nullptr) return;
  SrmResourceList::IdMap* map = list->getSrmResourceIdMap(kind);
  if (map == nullptr) return;
  for (auto& entry : *map) visit(static_cast<Record*>(entry.second));
}

// True when list exists and has ever held a record of kind.
bool HasHeld(SrmResourceList* list, SrmResourceType kind) {
  return list != nullptr && list->getSrmResourceIdMap(kind) != nullptr;
}

// The dependent record takes the whole flags word of the record it rests on.
void CopyFlags(const SrmResource* from, SrmResource* to, int* count) {
  to->setFlags(from->getFlags());
  ++*count;
}

}  // namespace

void SrmResourceDatabase::withdraw(SrmResource* r, const std::string& message) {
  // The host name first: finding this computer may itself record a failure, and the finding
  // is what the last-error slot must end up holding.
  getThisComputer();
  setErrorInfo(22, message, r);
  addError(host_name_, message, 22, 2);
  r->setReport(false);
}

// Running out of memory ends the resolution with 0 and code 12 in the last-error slot; the
// flags copied so far stay copied.
int SrmResourceDatabase::resolveDatabase() try {
  int count = 0;
  SrmResourceList* all = &resource_list_;

  // 1. Volume groups hand their flags to their disks, then to their volumes.
  ForEach<SrmVolumeGroup>(all, SRM_VOLUMEGROUP, [&](SrmVolumeGroup* group) {
    if (!HasHeld(group->getDiskList(), SRM_DISK)) return;
    ForEach<SrmResource>(group->getDiskList(), SRM_DISK,
                         [&](SrmResource* disk) { CopyFlags(group, disk, &count); });
    ForEach<SrmResource>(group->getVolumeList(), SRM_VOLUME,
                         [&](SrmResource* volume) { CopyFlags(group, volume, &count); });
  });

  // 2. A disk without a signature or without a name is withdrawn.
  ForEach<SrmDisk>(all, SRM_DISK, [&](SrmDisk* disk) {
    if (!disk->shouldReport()) return;
    if (disk->getSign() < 0) withdraw(disk, "Disk signature not generated: " + disk->getId());
    if (disk->getName().empty()) withdraw(disk, "Disk Name not generated: " + disk->getId());
  });

  // 3. Disks to their chunks. (A list finds a record of a large kind through its hash index.)
  ForEach<SrmDiskChunk>(all, SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) {
    if (SrmResource* disk = all->findResource(SRM_DISK, chunk->getDisk())) {
      CopyFlags(disk, chunk, &count);
    }
  });

  // 4. Disks to the volumes built on their chunks; the last chunk with a known disk decides.
  ForEach<SrmVolume>(all, SRM_VOLUME, [&](SrmVolume* volume) {
    ForEach<SrmDiskChunk>(volume->getDiskChunkList(), SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) {
      if (SrmResource* disk = all->findResource(SRM_DISK, chunk->getDisk())) {
        CopyFlags(disk, volume, &count);
      }
    });
  });

  // 5 to 7. Volumes to the file systems, mount points and shares on them.
  ForEach<SrmFileSystem>(all, SRM_FILESYSTEM, [&](SrmFileSystem* fs) {
    if (SrmResource* volume = all->findResource(SRM_VOLUME, fs->getVolume())) {
      CopyFlags(volume, fs, &count);
    }
  });
  ForEach<SrmMountPoint>(all, SRM_MOUNTPOINT, [&](SrmMountPoint* mount) {
    if (SrmResource* volume = all->findResource(SRM_VOLUME, mount->getVolumeId())) {
      CopyFlags(volume, mount, &count);
    }
  });
  ForEach<SrmShare>(all, SRM_SHARE, [&](SrmShare* share) {
    if (SrmResource* volume = all->findResource(SRM_VOLUME, share->getVolumeId())) {
      CopyFlags(volume, share, &count);
    }
  });

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
        withdraw(disk, "Volume Group Disk not found: " + disk->getId());
      }
    });
    ForEach<SrmResource>(group->getVolumeList(), SRM_VOLUME, [&](SrmResource* volume) {
      if (findResource(SRM_VOLUME, volume->getId()) == nullptr) {
        withdraw(volume, "Volume Group Volume not found: " + volume->getId());
      }
    });
  });

  // 2. Volumes: chunks on unknown disks.
  ForEach<SrmVolume>(all, SRM_VOLUME, [&](SrmVolume* volume) {
    if (!volume->shouldReport()) return;
    ForEach<SrmDiskChunk>(volume->getDiskChunkList(), SRM_DISKCHUNK, [&](SrmDiskChunk* chunk) {
      if (findResource(SRM_DISK, chunk->getDisk()) == nullptr) {
        withdraw(chunk, "Disk Chunk Disk not found: " + chunk->getId());
      }
    });
  });

  // 3 and 4. File systems and mount points on unknown volumes.
  ForEach<SrmFileSystem>(all, SRM_FILESYSTEM, [&](SrmFileSystem* fs) {
    if (fs->shouldReport() && findResource(SRM_VOLUME, fs->getVolume()) == nullptr) {
      withdraw(fs, "Missing or unsupported fs: " + fs->getVolume());
    }
  });
  ForEach<SrmMountPoint>(all, SRM_MOUNTPOINT, [&](SrmMountPoint* mount) {
    if (mount->shouldReport() && findResource(SRM_VOLUME, mount->getVolumeId()) == nullptr) {
      withdraw(mount, "MountPoint missing or invalid: " + mount->getVolumeId());
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

  for (auto& entry : other->service_groups_) {
    if (SrmServiceGroup* mine = findServiceGroup(entry.first)) {
      mine->mergeServiceGroup(entry.second);
    } else {
      addServiceGroup(entry.second);
    }
  }
  for (auto& entry : other->service_groups_) {
    SrmServiceGroup* mine = findServiceGroup(entry.first);
    if (mine != nullptr && mine != entry.second && entry.second->getNextServiceGroup()) {
      mine->setNextServiceGroup(entry.second->getNextServiceGroup());
    }
  }
  computer_list_.mergeResources(&other->computer_list_);
  return 1;
}
