// SrmVolumeManager: the record of one volume-management product on the host: its name, its
// version and the number (IdType) by which volumes and volume groups name it. It writes no
// State and no LId (an LId element is ignored; a State element is ORed into the flags). No
// children; the database link is borrowed. Reference counted.
#ifndef RESDB_KINDS_VOLUME_MANAGER_H_
#define RESDB_KINDS_VOLUME_MANAGER_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmVolumeManager : public SrmResource {
 public:
  SrmVolumeManager();
  explicit SrmVolumeManager(const std::string& name);  // Id = name

  // Copies the non-empty texts and a nonzero IdType of other, then marks other merged. 0 for
  // a null other or another kind; 1 (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id) with flags bit 1. 0 without a database or on
  // a short write.
  int serialize(int fd, int flags) override;
  // 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  const SrmText& getVolumeMgrName() const { return volume_mgr_name_; }
  void setVolumeMgrName(std::string_view name) { assignText(&volume_mgr_name_, name); }
  const SrmText& getVolumeMgrVersion() const { return volume_mgr_version_; }
  void setVolumeMgrVersion(std::string_view version) { assignText(&volume_mgr_version_, version); }
  int32_t getIdType() const { return id_type_; }
  void setIdType(int32_t type) { id_type_ = type; }

 protected:
  ~SrmVolumeManager() override = default;

 private:
  static const SrmRecordCodec<SrmVolumeManager>& codec();

  SrmText volume_mgr_name_;
  SrmText volume_mgr_version_;
  int32_t id_type_ = 0;  // the VolumeManager number of the volumes and groups it manages
};

#endif  // RESDB_KINDS_VOLUME_MANAGER_H_
