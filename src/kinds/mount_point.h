// SrmMountPoint: the record of one place where a volume is mounted: mount path and name, the
// system it is mounted to and how. It has no children. On reading, a VolumeId given as the
// volume's global id is stored as that volume's Id when the record is bound to a database.
// Follows the family's merge (the argument is marked merged). Reference counted.
#ifndef RESDB_KINDS_MOUNT_POINT_H_
#define RESDB_KINDS_MOUNT_POINT_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmMountPoint : public SrmResource {
 public:
  SrmMountPoint();
  explicit SrmMountPoint(const std::string& name);  // Id = name

  // Copies the non-empty texts and the non-zero codes of other, then marks other merged.
  // 0 for a null other or another kind; 1 (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id) with flags bit 1. 0 without a database or
  // on a short write.
  int serialize(int fd, int flags) override;
  // State is ORed into the flags. 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  const SrmText& getVolumeId() const { return volume_id_; }
  void setVolumeId(std::string_view id) { assignText(&volume_id_, id); }
  const SrmText& getMountPointName() const { return mount_point_name_; }
  void setMountPointName(std::string_view name) { assignText(&mount_point_name_, name); }
  const SrmText& getMountLocation() const { return mount_location_; }
  void setMountLocation(std::string_view location) { assignText(&mount_location_, location); }
  const SrmText& getMountToSystem() const { return mount_to_system_; }
  void setMountToSystem(std::string_view system) { assignText(&mount_to_system_, system); }
  int32_t getMountAtStartup() const { return mount_at_startup_; }
  void setMountAtStartup(int32_t on) { mount_at_startup_ = on; }
  int32_t getReadOnly() const { return read_only_; }
  void setReadOnly(int32_t on) { read_only_ = on; }
  int32_t getMountType() const { return mount_type_; }
  void setMountType(int32_t type) { mount_type_ = type; }
  int32_t getMountOptions() const { return mount_options_; }
  void setMountOptions(int32_t options) { mount_options_ = options; }

 protected:
  ~SrmMountPoint() override = default;

 private:
  static const SrmRecordCodec<SrmMountPoint>& codec();

  SrmText volume_id_;  // the Id of the mounted volume
  SrmText mount_point_name_;
  SrmText mount_location_;
  SrmText mount_to_system_;
  int32_t mount_at_startup_ = 0;
  int32_t read_only_ = 0;
  int32_t mount_type_ = 0;
  int32_t mount_options_ = 0;
};

#endif  // RESDB_KINDS_MOUNT_POINT_H_
