#include "kinds/volume_manager.h"

SrmVolumeManager::SrmVolumeManager() : SrmResource(SRM_VOLUMEMANAGER) {}

SrmVolumeManager::SrmVolumeManager(const std::string& name) : SrmVolumeManager() {
  setId(name);
}

const SrmRecordCodec<SrmVolumeManager>& SrmVolumeManager::codec() {
  using F = SrmField<SrmVolumeManager>;
  using M = SrmVolumeManager;
  static const SrmRecordCodec<SrmVolumeManager> kCodec(
      kKeyVolumeManager, SrmStateRule::Or,
      {
          F::Text(kKeyVolumeMgrName, &M::volume_mgr_name_),
          F::Text(kKeyVolumeMgrVersion, &M::volume_mgr_version_),
          F::Int(kKeyIdType, &M::id_type_),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyIdType, kKeyVolumeMgrName, kKeyVolumeMgrVersion},
      {kKeyType, kKeyId}, /*reads_lid=*/false);
  return kCodec;
}

int SrmVolumeManager::mergeResource(SrmResource* other) {
  return codec().merge(this, other);
}

int SrmVolumeManager::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags);
}

int SrmVolumeManager::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple);
  return 1;
}
