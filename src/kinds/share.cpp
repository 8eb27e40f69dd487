#include "kinds/share.h"

SrmShare::SrmShare() : SrmResource(SRM_SHARE) {}

SrmShare::SrmShare(const std::string& name) : SrmShare() {
  setId(name);
}

const SrmRecordCodec<SrmShare>& SrmShare::codec() {
  using F = SrmField<SrmShare>;
  using S = SrmShare;
  static const SrmRecordCodec<SrmShare> kCodec(
      kKeyShare, SrmStateRule::Replace,
      {
          F::Text(kKeyVolumeId, &S::volume_id_),
          F::Text(kKeyShareName, &S::share_name_),
          F::Text(kKeySharePath, &S::share_path_),
          F::Text(kKeyShareUser, &S::share_user_),
          F::Text(kKeyDomain, &S::domain_),
          F::Text(kKeyShareDesc, &S::share_desc_),
          F::Int(kKeyShareFsType, &S::share_fs_type_),
          F::Int(kKeyShareFlags, &S::share_flags_),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyState, kKeyLId, kKeyShareName, kKeySharePath,
       kKeyShareFsType, kKeyShareFlags, kKeyShareUser, kKeyDomain, kKeyShareDesc, kKeyVolumeId},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmShare::mergeResource(SrmResource* other) {
  return codec().merge(this, other);
}

int SrmShare::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags);
}

int SrmShare::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple);
  return 1;
}
