// SrmFileSystem: the record of one file system: the volume it lives on, its type, its space
// figures (KB, 64-bit, never negative) and its file counts and limits. It has no children. On
// reading, a Volume given as the volume's global id is stored as that volume's Id when the
// record is bound to a database. Unlike the other kinds, a file system carries the merged mark
// itself: it takes at most one merge. Reference counted; release with Release().
#ifndef RESDB_KINDS_FILE_SYSTEM_H_
#define RESDB_KINDS_FILE_SYSTEM_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmFileSystem : public SrmResource {
 public:
  SrmFileSystem();
  explicit SrmFileSystem(const std::string& name);  // Id = name

  // Folds other into this file system unless this one has already taken a merge: FSType in
  // every case, the space figures and file counts whenever not negative (so a 0 overwrites),
  // Pack and Encrypt when not 0; then marks this record (not other) merged. 0 for a null
  // other or another kind, else 1.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id) with flags bit 1. 0 without a database or
  // on a short write.
  int serialize(int fd, int flags) override;
  // State is ORed into the flags. 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  const SrmText& getVolume() const { return volume_; }
  void setVolume(std::string_view volume) { assignText(&volume_, volume); }
  const SrmText& getFSType() const { return fs_type_; }
  void setFSType(std::string_view type) { assignText(&fs_type_, type); }
  int64_t getCapacityKB() const { return capacity_kb_; }
  int64_t getFreeSpaceKB() const { return free_space_kb_; }
  int64_t getUsedSpaceKB() const { return used_space_kb_; }
  int64_t getReservedSpaceKB() const { return reserved_space_kb_; }
  // Each returns 0 and changes nothing for a negative kb, else sets the figure and returns 1.
  int setCapacity(int64_t kb);
  int setFreeSpace(int64_t kb);
  int setUsedSpace(int64_t kb);
  int setReservedSpace(int64_t kb);
  int32_t getPack() const { return pack_; }
  void setPack(int32_t pack) { pack_ = pack; }
  int32_t getEncrypt() const { return encrypt_; }
  void setEncrypt(int32_t encrypt) { encrypt_ = encrypt; }
  int32_t getMaxFileSz() const { return max_file_sz_; }
  int32_t getFileCnt() const { return file_cnt_; }
  int32_t getMaxFileCnt() const { return max_file_cnt_; }
  // No check; each returns 1.
  int setMaxFileSize(int32_t size);
  int setFileCount(int32_t count);
  int setMaxFileCount(int32_t count);

 protected:
  ~SrmFileSystem() override = default;

 private:
  static const SrmRecordCodec<SrmFileSystem>& codec();

  SrmText volume_;  // the Id of the volume it lives on
  SrmText fs_type_;
  int64_t capacity_kb_ = 0;
  int64_t free_space_kb_ = 0;
  int64_t used_space_kb_ = 0;
  int64_t reserved_space_kb_ = 0;
  int32_t pack_ = 0;
  int32_t encrypt_ = 0;
  int32_t max_file_sz_ = 0;
  int32_t file_cnt_ = 0;
  int32_t max_file_cnt_ = 0;
};

#endif  // RESDB_KINDS_FILE_SYSTEM_H_
