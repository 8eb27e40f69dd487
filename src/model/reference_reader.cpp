#include "model/reference_reader.h"

#include <string_view>

#include "model/tuple_fields.h"
#include "tuple/tuple_reader.h"

int SrmReadReferences(CSRMReportTupleStreamReader* reader, int count,
                      const std::function<void(const SrmReference&)>& visit) {
  if (reader == nullptr) return 0;
  int visited = 0;
  // Every reference is read into the same tuple and described by the same SrmReference.
  CSRMReportTuple tuple;
  SrmReference ref;
  while (visited < count) {
    if (reader->ReadNextTuple(&tuple) != CSRM_OK) break;
    ref.type_key = -1;
    ref.id.clear();
    SrmForEachElementView(&tuple, [&](int key, std::string_view value) {
      if (key == kKeyType) ref.type_key = SrmResDbGetStringId(value);
      if (key == kKeyId) ref.id.assign(value.data(), value.size());
    });
    visit(ref);
    ++visited;
  }
  return visited;
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
