#include "kinds/disk.h"

SrmDisk::SrmDisk() : SrmResource(SRM_DISK) {
  flags_ |= SRM_FLAG_MARKED;
}

SrmDisk::SrmDisk(SrmResourceDatabase* db) : SrmDisk() {
  setDatabase(db);
}

SrmDisk::SrmDisk(const std::string& name) : SrmDisk() {
  setId(name);
}

const SrmRecordCodec<SrmDisk>& SrmDisk::codec() {
  using F = SrmField<SrmDisk>;
  using D = SrmDisk;
  using Read = F::Read;
  using Merge = F::Merge;
  static const SrmRecordCodec<SrmDisk> kCodec(
      kKeyDisk, SrmStateRule::Or,
      {
          F::Int(kKeyStatus, &D::status_),
          F::Text(kKeyStatusDesc, &D::status_desc_),
          F::Int(kKeyIdType, &D::id_type_),
          F::Text(kKeyIdValue, &D::id_value_),
          F::Text(kKeyName, &D::name_),
          F::Text(kKeyModel, &D::model_),
          F::Text(kKeyMake, &D::make_),
          F::Text(kKeyRevision, &D::revision_),
          F::Text(kKeySerialNum, &D::serial_num_),
          // Taken only while this disk has none: merged by the kind itself.
          F::Int(kKeySign, &D::sign_, -1, Merge::Never),
          F::Int64(kKeyCapacityKB, &D::capacity_kb_, Read::NonNegative),
          F::Int64(kKeyFreeSpaceKB, &D::free_space_kb_, Read::NonNegative),
          F::Int(kKeyAWRE, &D::awre_),
          F::Int(kKeyAddrBus, &D::addr_bus_),
          F::Int(kKeyAddrTarget, &D::addr_target_),
          F::Int(kKeyAddrLUN, &D::addr_lun_),
          F::Int(kKeyLLTId, &D::llt_id_),
          F::Int(kKeyDiskType, &D::disk_type_),
          F::Int(kKeyRPM, &D::rpm_),
          F::Int(kKeyFactoryDefect, &D::factory_defect_),
          F::Int(kKeyGrownDefect, &D::grown_defect_),
          F::Int(kKeySbc, &D::sbc_),
          F::Int(kKeyVendorVer, &D::vendor_ver_),
      },
      {kKeyType,          kKeyId,          kKeyPubId,   kKeyStatus,     kKeyState,       kKeyLId,
       kKeyStatusDesc,    kKeyIdType,      kKeyIdValue, kKeyName,       kKeyModel,       kKeyMake,
       kKeyRevision,      kKeySerialNum,   kKeySign,    kKeyCapacityKB, kKeyFreeSpaceKB, kKeyAWRE,
       kKeyAddrBus,       kKeyAddrTarget,  kKeyAddrLUN, kKeyLLTId,      kKeyDiskType,    kKeyRPM,
       kKeyFactoryDefect, kKeyGrownDefect, kKeySbc,     kKeyVendorVer},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmDisk::setCapacity(int64_t kb) {
  return SrmSetSize(&capacity_kb_, kb);
}

int SrmDisk::setFreeSpace(int64_t kb) {
  return SrmSetSize(&free_space_kb_, kb);
}

int SrmDisk::mergeResource(SrmResource* other) {
  if (other == this) return 1;
  return codec().merge(this, other, [](SrmDisk* dst, SrmDisk* src) {
    // A newer disk's flags add to what this one has; bits set here stay set.
    if (src->getFlags() != 0) dst->setFlags(dst->getFlags() | src->getFlags());
    if (dst->sign_ < 0) dst->sign_ = src->sign_;
  });
}

int SrmDisk::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags);
}

int SrmDisk::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple);
  return 1;
}
