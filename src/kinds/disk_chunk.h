// SrmDiskChunk: the record of one contiguous piece of a disk (a partition or slice): the Id of
// the disk it lies on, its own name, its start and length. Start and length are set together
// and never negative. A State element is ORed into the flags. No children; the database link
// is borrowed; so is the disk a resolution remembers for it. Reference counted.
#ifndef RESDB_KINDS_DISK_CHUNK_H_
#define RESDB_KINDS_DISK_CHUNK_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmDiskChunk : public SrmResource {
 public:
  SrmDiskChunk();
  explicit SrmDiskChunk(const std::string& name);  // Id = name

  // Takes the non-empty DiskChunk and Disk texts of a newer chunk, and its position when
  // either figure is nonzero. Marks other merged. 0 for a null other or another kind; 1
  // (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id) with flags bit 1. 0 without a database or on
  // a short write.
  int serialize(int fd, int flags) override;
  // A Disk value naming a disk of the database (by Id or global id) is stored as that disk's
  // Id. Start and Length are set together at the end (0 when missing). 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  // Sets both when neither is negative (1); otherwise changes nothing (0).
  int setStartAndLength(int64_t start, int64_t length);

  const SrmText& getDisk() const { return disk_; }
  void setDisk(std::string_view disk) { assignText(&disk_, disk); }
  const SrmText& getDiskChunk() const { return disk_chunk_; }
  void setDiskChunk(std::string_view name) { assignText(&disk_chunk_, name); }
  int64_t getStart() const { return start_; }
  int64_t getLength() const { return length_; }

  // The disk a resolution found for the chunk (null: none), kept for the rest of that
  // resolution, which asks again; stamp names the resolution. disk is borrowed.
  void rememberDisk(uint64_t stamp, SrmResource* disk) {
    found_stamp_ = stamp;
    found_disk_ = disk;
  }
  // True, with *disk set, when the resolution named stamp remembered the chunk's disk.
  bool rememberedDisk(uint64_t stamp, SrmResource** disk) const {
    if (found_stamp_ != stamp) return false;
    *disk = found_disk_;
    return true;
  }

 protected:
  ~SrmDiskChunk() override = default;

 private:
  static const SrmRecordCodec<SrmDiskChunk>& codec();

  SrmText disk_;              // Id of the disk the chunk lies on
  SrmText disk_chunk_;        // the chunk's own name
  int64_t start_ = 0;         // never negative
  int64_t length_ = 0;        // never negative
  uint64_t found_stamp_ = 0;  // the resolution that found found_disk_; 0 for none
  SrmResource* found_disk_ = nullptr;
};

#endif  // RESDB_KINDS_DISK_CHUNK_H_
