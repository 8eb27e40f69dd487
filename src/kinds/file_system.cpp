#include "kinds/file_system.h"

#include "kinds/record_reference.h"

SrmFileSystem::SrmFileSystem() : SrmResource(SRM_FILESYSTEM) {}

SrmFileSystem::SrmFileSystem(const std::string& name) : SrmFileSystem() {
  setId(name);
}

const SrmRecordCodec<SrmFileSystem>& SrmFileSystem::codec() {
  using F = SrmField<SrmFileSystem>;
  using S = SrmFileSystem;
  // A newer record's figures replace ours even when 0; only a negative one is refused.
  static const SrmRecordCodec<SrmFileSystem> kCodec(
      kKeyFileSystem, SrmStateRule::Or,
      {
          F::Text(kKeyFSType, &S::fs_type_, F::Merge::Overwrite),
          F::Int64(kKeyCapacityKB, &S::capacity_kb_, F::Read::NonNegative, F::Merge::Overwrite),
          F::Int64(kKeyFreeSpaceKB, &S::free_space_kb_, F::Read::NonNegative, F::Merge::Overwrite),
          F::Int64(kKeyUsedSpaceKB, &S::used_space_kb_, F::Read::NonNegative, F::Merge::Overwrite),
          F::Int64(kKeyReservedSpaceKB, &S::reserved_space_kb_, F::Read::NonNegative,
                   F::Merge::Overwrite),
          F::Int(kKeyPack, &S::pack_),
          F::Int(kKeyEncrypt, &S::encrypt_),
          F::Int(kKeyFileCnt, &S::file_cnt_, 0, F::Merge::Overwrite),
          F::Int(kKeyMaxFileCnt, &S::max_file_cnt_, 0, F::Merge::Overwrite),
          F::Int(kKeyMaxFileSz, &S::max_file_sz_, 0, F::Merge::Overwrite),
      },
      {kKeyType, kKeyId, kKeyVolume, kKeyPubId, kKeyState, kKeyLId, kKeyFSType, kKeyPack,
       kKeyEncrypt, kKeyFileCnt, kKeyMaxFileCnt, kKeyMaxFileSz, kKeyCapacityKB, kKeyFreeSpaceKB,
       kKeyUsedSpaceKB, kKeyReservedSpaceKB},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmFileSystem::mergeResource(SrmResource* other) {
  if (other == nullptr || other->getType() != SRM_FILESYSTEM) return 0;
  if (isMerged()) return 1;  // a file system takes one merge only
  codec().mergeFields(this, *static_cast<SrmFileSystem*>(other));
  setMerged();
  return 1;
}

int SrmFileSystem::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags, [this](SrmTupleLine* line, int key) {
    if (key == kKeyVolume) line->addText(kKeyVolume, volume_);
  });
}

int SrmFileSystem::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple, [this](int key, std::string_view value) {
    if (key == kKeyVolume) assignText(&volume_, SrmRecordIdFor(*this, SRM_VOLUME, value));
  });
  return 1;
}

int SrmFileSystem::setCapacity(int64_t kb) {
  return SrmSetSize(&capacity_kb_, kb);
}
int SrmFileSystem::setFreeSpace(int64_t kb) {
  return SrmSetSize(&free_space_kb_, kb);
}
int SrmFileSystem::setUsedSpace(int64_t kb) {
  return SrmSetSize(&used_space_kb_, kb);
}
int SrmFileSystem::setReservedSpace(int64_t kb) {
  return SrmSetSize(&reserved_space_kb_, kb);
}

int SrmFileSystem::setMaxFileSize(int32_t size) {
  max_file_sz_ = size;
  return 1;
}

int SrmFileSystem::setFileCount(int32_t count) {
  file_cnt_ = count;
  return 1;
}

int SrmFileSystem::setMaxFileCount(int32_t count) {
  max_file_cnt_ = count;
  return 1;
}
