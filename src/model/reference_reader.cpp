#include "model/reference_reader.h"

#include <string_view>

#include "model/tuple_fields.h"
#include "tuple/tuple_reader.h"

void SrmDescribeReference(CSRMReportTuple* tuple, SrmReference* ref) {
  ref->type_key = -1;
  ref->id = std::string_view();
  SrmForEachElementView(tuple, [ref](int key, std::string_view value) {
    if (key == kKeyType) ref->type_key = SrmResDbGetStringId(value);
    if (key == kKeyId) ref->id = value;
  });
}

SrmResourceType SrmKindOfReference(int type_key) {
  switch (type_key) {
    case kKeySystem:
      return SRM_COMPUTER;
    case kKeyDisk:
      return SRM_DISK;
    case kKeyDiskChunk:
      return SRM_DISKCHUNK;
    case kKeyVolume:
      return SRM_VOLUME;
    case kKeyFileSystem:
      return SRM_FILESYSTEM;
    case kKeyMountPoint:
      return SRM_MOUNTPOINT;
    case kKeyShare:
      return SRM_SHARE;
    case kKeyVirtualServer:
      return SRM_VIRTUALSERVER;
    case kKeyVolumeGroup:
      return SRM_VOLUMEGROUP;
    default:
      return SRM_NO_TYPE;
  }
}
