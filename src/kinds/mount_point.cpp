#include "kinds/mount_point.h"

#include "kinds/record_reference.h"

SrmMountPoint::SrmMountPoint() : SrmResource(SRM_MOUNTPOINT) {}

SrmMountPoint::SrmMountPoint(const std::string& name) : SrmMountPoint() {
  setId(name);
}

const SrmRecordCodec<SrmMountPoint>& SrmMountPoint::codec() {
  using F = SrmField<SrmMountPoint>;
  using M = SrmMountPoint;
  // VolumeId is not in the table: it is read through the database (see deserialize).
  static const SrmRecordCodec<SrmMountPoint> kCodec(
      kKeyMountPoint, SrmStateRule::Or,
      {
          F::Text(kKeyMountPointName, &M::mount_point_name_),
          F::Text(kKeyMountToSystem, &M::mount_to_system_),
          F::Text(kKeyMountLocation, &M::mount_location_),
          F::Int(kKeyMountType, &M::mount_type_),
          F::Int(kKeyMountAtStartup, &M::mount_at_startup_),
          F::Int(kKeyReadOnly, &M::read_only_),
          F::Int(kKeyMountOptions, &M::mount_options_),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyState, kKeyLId, kKeyVolumeId, kKeyMountPointName,
       kKeyMountType, kKeyMountToSystem, kKeyMountOptions, kKeyMountAtStartup, kKeyReadOnly,
       kKeyMountLocation},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmMountPoint::mergeResource(SrmResource* other) {
  return codec().merge(this, other, [](SrmMountPoint* into, SrmMountPoint* from) {
    if (!from->volume_id_.empty()) into->assignText(&into->volume_id_, from->volume_id_);
  });
}

int SrmMountPoint::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags, [this](SrmTupleLine* line, int key) {
    if (key == kKeyVolumeId) line->addText(kKeyVolumeId, volume_id_);
  });
}

int SrmMountPoint::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple, [this](int key, std::string_view value) {
    if (key == kKeyVolumeId) assignText(&volume_id_, SrmRecordIdFor(*this, SRM_VOLUME, value));
  });
  return 1;
}
