// SrmDisk: the record of one physical or logical disk seen by the host: its identity (name,
// make, model, revision, serial number, device id), bus address, geometry, defect counts,
// capacity and status. Every disk carries the marker flag (1) besides the default flags; a
// State element is ORed into the flags. The disk owns no other record and writes no children;
// its database link is borrowed. Reference counted.
#ifndef RESDB_KINDS_DISK_H_
#define RESDB_KINDS_DISK_H_

#include <cstdint>
#include <string>

#include "model/record_codec.h"
#include "model/srm_resource.h"

class SrmDisk : public SrmResource {
 public:
  SrmDisk();
  explicit SrmDisk(SrmResourceDatabase* db);  // linked to db
  explicit SrmDisk(const std::string& name);  // Id = name

  // Folds the set fields of a newer disk into this one: its flags are ORed in (unless 0), a
  // Sign is taken only while this disk has none. Marks other merged. 0 for a null other or
  // another kind; 1 (nothing changed) when other is already merged.
  int mergeResource(SrmResource* other) override;
  // Full tuple, or the reference tuple (Type, Id) with flags bit 1. 0 without a database or on
  // a short write.
  int serialize(int fd, int flags) override;
  // 0 only for a null tuple.
  int deserialize(int fd, CSRMReportTuple* tuple) override;

  // A negative size returns 0 and changes nothing; otherwise sets the field and returns 1.
  int setCapacity(int64_t kb);
  int setFreeSpace(int64_t kb);

  const SrmText& getName() const { return name_; }
  void setName(std::string_view name) { assignText(&name_, name); }
  const SrmText& getMake() const { return make_; }
  void setMake(std::string_view make) { assignText(&make_, make); }
  const SrmText& getModel() const { return model_; }
  void setModel(std::string_view model) { assignText(&model_, model); }
  const SrmText& getRevision() const { return revision_; }
  void setRevision(std::string_view revision) { assignText(&revision_, revision); }
  const SrmText& getSerialNum() const { return serial_num_; }
  void setSerialNum(std::string_view serial) { assignText(&serial_num_, serial); }
  int64_t getCapacityKB() const { return capacity_kb_; }
  int64_t getFreeSpaceKB() const { return free_space_kb_; }
  int32_t getSign() const { return sign_; }
  void setSign(int32_t sign) { sign_ = sign; }
  int32_t getDiskType() const { return disk_type_; }
  void setDiskType(int32_t type) { disk_type_ = type; }
  int32_t getFactoryDefect() const { return factory_defect_; }
  void setFactoryDefect(int32_t count) { factory_defect_ = count; }
  int32_t getGrownDefect() const { return grown_defect_; }
  void setGrownDefect(int32_t count) { grown_defect_ = count; }
  int32_t getRPM() const { return rpm_; }
  void setRPM(int32_t rpm) { rpm_ = rpm; }
  int32_t getSbc() const { return sbc_; }
  void setSbc(int32_t sbc) { sbc_ = sbc; }
  int32_t getAWRE() const { return awre_; }
  void setAWRE(int32_t awre) { awre_ = awre; }
  int32_t getVendorVer() const { return vendor_ver_; }
  void setVendorVer(int32_t version) { vendor_ver_ = version; }
  int32_t getStatus() const { return status_; }
  void setStatus(int32_t status) { status_ = status; }
  const SrmText& getStatusDesc() const { return status_desc_; }
  void setStatusDesc(std::string_view desc) { assignText(&status_desc_, desc); }
  int32_t getIdType() const { return id_type_; }
  void setIdType(int32_t type) { id_type_ = type; }
  const SrmText& getIdValue() const { return id_value_; }
  void setIdValue(std::string_view value) { assignText(&id_value_, value); }
  int32_t getAddrBus() const { return addr_bus_; }
  void setAddrBus(int32_t bus) { addr_bus_ = bus; }
  int32_t getAddrLUN() const { return addr_lun_; }
  void setAddrLUN(int32_t lun) { addr_lun_ = lun; }
  int32_t getAddrTarget() const { return addr_target_; }
  void setAddrTarget(int32_t target) { addr_target_ = target; }
  int32_t getLLTId() const { return llt_id_; }
  void setLLTId(int32_t id) { llt_id_ = id; }

 protected:
  ~SrmDisk() override = default;

 private:
  static const SrmRecordCodec<SrmDisk>& codec();

  SrmText name_;
  SrmText make_;
  SrmText model_;
  SrmText revision_;
  SrmText serial_num_;
  int64_t capacity_kb_ = 0;    // never negative
  int64_t free_space_kb_ = 0;  // never negative
  int32_t sign_ = -1;          // negative: not set
  int32_t disk_type_ = 0;
  int32_t factory_defect_ = 0;
  int32_t grown_defect_ = 0;
  int32_t rpm_ = 0;
  int32_t sbc_ = 0;
  int32_t awre_ = 0;
  int32_t vendor_ver_ = 0;
  int32_t status_ = 0;
  SrmText status_desc_;
  int32_t id_type_ = 0;
  SrmText id_value_;
  int32_t addr_bus_ = 0;
  int32_t addr_lun_ = 0;
  int32_t addr_target_ = 0;
  int32_t llt_id_ = 0;
};

#endif  // RESDB_KINDS_DISK_H_
