// The reference tuples a container's own tuple is followed by in a collection stream: one
// short tuple per child naming it by Type and Id. Computers, volumes, volume groups and
// service groups read their children's references through SrmReadReferences, so the walk
// over the reader (ownership of each tuple, early end of input) lives in one place.
#ifndef RESDB_MODEL_REFERENCE_READER_H_
#define RESDB_MODEL_REFERENCE_READER_H_

#include <functional>
#include <string>

#include "model/srm_resource.h"

class CSRMReportTupleStreamReader;

// What one reference tuple names.
struct SrmReference {
  // The key id of the last Type value (an element whose key is outside the vocabulary counts
  // as Type, as it does everywhere); -1 when the tuple has no such element.
  int type_key = -1;
  // The last Id value; empty when the tuple has none.
  std::string id;
};

// Reads up to count tuples from reader and hands each, as an SrmReference, to visit (the
// reference is valid for the visit only). Stops early when reader is null or reading a tuple
// reports anything but success. Returns the number of tuples visited; 0 for a count of 0 or
// less.
int SrmReadReferences(CSRMReportTupleStreamReader* reader, int count,
                      const std::function<void(const SrmReference&)>& visit);

// The kind a reference's Type names: System, Disk, DiskChunk, Volume, FileSystem, MountPoint,
// Share, VirtualServer or VolumeGroup; SRM_NO_TYPE for any other key (VolumeManager, Id, -1).
SrmResourceType SrmKindOfReference(int type_key);

#endif  // RESDB_MODEL_REFERENCE_READER_H_
