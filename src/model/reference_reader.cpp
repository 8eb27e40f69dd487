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

bool SrmReadReference(CSRMReportTupleStreamReader* reader, CSRMReportTuple* tuple,
                      SrmReference* ref) {
  std::string_view type;
  if (reader->ReadReferenceLine(&type, &ref->id)) {
    ref->type_key = SrmResDbGetStringId(type);  // as the Type element's value gives it
    return true;
  }
  if (reader->ReadNextTuple(tuple) != CSRM_OK) return false;
  SrmDescribeReference(tuple, ref);
  return true;
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
