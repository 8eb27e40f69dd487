// The reference tuples a container's own tuple is followed by in a collection stream: one
// short tuple per child naming it by Type and Id. Computers, volumes, volume groups and
// service groups read their children's references through SrmReadReferences, so the walk
// over the reader (ownership of each tuple, early end of input) lives in one place.
#ifndef RESDB_MODEL_REFERENCE_READER_H_
#define RESDB_MODEL_REFERENCE_READER_H_

#include <cstddef>
#include <string_view>
#include <vector>

#include "model/srm_resource.h"
#include "tuple/result_codes.h"
#include "tuple/tuple_reader.h"

// What one reference tuple names.
struct SrmReference {
  // The key id of the last Type value (an element whose key is outside the vocabulary counts
  // as Type, as it does everywhere); -1 when the tuple has no such element.
  int type_key = -1;
  // The last Id value, viewing the tuple's text; empty when the tuple has none.
  std::string_view id;
};

// Describes the reference tuple in *ref: its last Type and Id (see SrmReference).
void SrmDescribeReference(CSRMReportTuple* tuple, SrmReference* ref);
// Reads the next reference from reader into *ref, through tuple when the line is not of the
// common shape the reader takes straight from its buffer (ReadReferenceLine). False when
// reading a tuple reports anything but success.
bool SrmReadReference(CSRMReportTupleStreamReader* reader, CSRMReportTuple* tuple,
                      SrmReference* ref);

// Reads up to count tuples from reader and hands each, as an SrmReference, to visit (the
// reference is valid for the visit only; visit must not read from reader). Stops early when
// reader is null or reading a tuple reports anything but success. Returns the number of
// tuples visited; 0 for a count of 0 or less.
template <class Visit>
int SrmReadReferences(CSRMReportTupleStreamReader* reader, int count, Visit visit) {
  if (reader == nullptr) return 0;
  int visited = 0;
  // Every reference is described by the same SrmReference, read straight from the reader's
  // buffer or, for a line of another shape, into the reader's own short-tuple buffers.
  CSRMReportTuple* tuple = reader->scratchTuple();
  SrmReference ref;
  while (visited < count) {
    if (!SrmReadReference(reader, tuple, &ref)) break;
    visit(static_cast<const SrmReference&>(ref));
    ++visited;
  }
  return visited;
}

// The records a container's references name, gathered in order before any of them is linked:
// the first kInPlace without an allocation (a container names a few, mostly), any more in a
// vector of its own. Borrows the records.
class SrmGatheredRecords {
 public:
  // Throws std::bad_alloc (the records gathered stay) when the vector cannot grow.
  void push_back(SrmResource* r) {
    if (size_ < kInPlace) {
      in_place_[size_] = r;
    } else {
      more_.push_back(r);
    }
    ++size_;
  }
  size_t size() const { return size_; }
  // Calls visit(record) for each record, in the order gathered.
  template <class Visit>
  void forEach(Visit visit) const {
    for (size_t i = 0; i < size_ && i < kInPlace; ++i) visit(in_place_[i]);
    for (SrmResource* r : more_) visit(r);
  }

 private:
  static constexpr size_t kInPlace = 16;
  SrmResource* in_place_[kInPlace];
  size_t size_ = 0;
  std::vector<SrmResource*> more_;
};

// The kind a reference's Type names: System, Disk, DiskChunk, Volume, FileSystem, MountPoint,
// Share, VirtualServer or VolumeGroup; SRM_NO_TYPE for any other key (VolumeManager, Id, -1).
SrmResourceType SrmKindOfReference(int type_key);

#endif  // RESDB_MODEL_REFERENCE_READER_H_
