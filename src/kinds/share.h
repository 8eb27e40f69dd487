// SrmShare: the record of one exported directory: share name and path, the volume it lies on
// (kept as given, never looked up), the export's file-system type and flags, its user, domain
// and description. It has no children. A State element replaces the flags word. Follows the
// family's merge (the argument is marked merged). Reference counted.
#ifndef RESDB_KINDS_SHARE_H_
#define RESDB_KINDS_SHARE_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmShare : public SrmResource {
 public:
  SrmShare();
  explicit SrmShare(const std::string& name);  // Id = name

  // Copies the non-empty texts and the non-zero codes of other, then marks other merged.
  // 0 for a null other or another kind; 1 (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id) with flags bit 1. 0 without a database or
  // on a short write.
  int serialize(int fd, int flags) override;
  // State replaces the flags. 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  const SrmText& getVolumeId() const { return volume_id_; }
  void setVolumeId(std::string_view id) { assignText(&volume_id_, id); }
  int32_t getShareFsType() const { return share_fs_type_; }
  void setShareFsType(int32_t type) { share_fs_type_ = type; }
  int32_t getShareFlags() const { return share_flags_; }
  void setShareFlags(int32_t flags) { share_flags_ = flags; }
  const SrmText& getShareName() const { return share_name_; }
  void setShareName(std::string_view name) { assignText(&share_name_, name); }
  const SrmText& getSharePath() const { return share_path_; }
  void setSharePath(std::string_view path) { assignText(&share_path_, path); }
  const SrmText& getShareUser() const { return share_user_; }
  void setShareUser(std::string_view user) { assignText(&share_user_, user); }
  const SrmText& getDomain() const { return domain_; }
  void setDomain(std::string_view domain) { assignText(&domain_, domain); }
  const SrmText& getShareDesc() const { return share_desc_; }
  void setShareDesc(std::string_view desc) { assignText(&share_desc_, desc); }

 protected:
  ~SrmShare() override = default;

 private:
  static const SrmRecordCodec<SrmShare>& codec();

  SrmText volume_id_;
  int32_t share_fs_type_ = 0;
  int32_t share_flags_ = 0;
  SrmText share_name_;
  SrmText share_path_;
  SrmText share_user_;
  SrmText domain_;
  SrmText share_desc_;
};

#endif  // RESDB_KINDS_SHARE_H_
