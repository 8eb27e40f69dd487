#include "kinds/kind_factory.h"

#include <new>

#include "kinds/alias_identity.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/virtual_server.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "kinds/volume_manager.h"

SrmResource* SrmNewResource(SrmResourceType kind) {
  switch (kind) {
    case SRM_COMPUTER:
      return new (std::nothrow) SrmComputer();
    case SRM_DISK:
      return new (std::nothrow) SrmDisk();
    case SRM_VOLUME:
      return new (std::nothrow) SrmVolume();
    case SRM_FILESYSTEM:
      return new (std::nothrow) SrmFileSystem();
    case SRM_MOUNTPOINT:
      return new (std::nothrow) SrmMountPoint();
    case SRM_VIRTUALSERVER:
      return new (std::nothrow) SrmVirtualServer();
    case SRM_VOLUMEGROUP:
      return new (std::nothrow) SrmVolumeGroup();
    case SRM_VOLUMEMANAGER:
      return new (std::nothrow) SrmVolumeManager();
    case SRM_DISKCHUNK:
      return new (std::nothrow) SrmDiskChunk();
    case SRM_SHARE:
      return new (std::nothrow) SrmShare();
    case SRM_ALIAS:
      return new (std::nothrow) SrmId();
    default:
      return nullptr;
  }
}

SrmResourceType SrmKindOfTypeKey(int type_key) {
  for (SrmResourceType kind :
       {SRM_COMPUTER, SRM_DISK, SRM_VOLUME, SRM_FILESYSTEM, SRM_MOUNTPOINT, SRM_VIRTUALSERVER,
        SRM_VOLUMEGROUP, SRM_VOLUMEMANAGER, SRM_DISKCHUNK, SRM_SHARE, SRM_ALIAS}) {
    if (SrmTypeKeyOfKind(kind) == type_key) return kind;
  }
  return SRM_NO_TYPE;
}
