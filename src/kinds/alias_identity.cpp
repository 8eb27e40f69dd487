#include "kinds/alias_identity.h"

SrmId::SrmId() : SrmResource(SRM_ALIAS) {
  flags_ |= SRM_FLAG_MARKED;
}

SrmId::SrmId(SrmResourceDatabase* db) : SrmId() {
  setDatabase(db);
}

SrmId::SrmId(const std::string& name) : SrmId() {
  setId(name);
}

const SrmRecordCodec<SrmId>& SrmId::codec() {
  using F = SrmField<SrmId>;
  using Merge = F::Merge;
  static const SrmRecordCodec<SrmId> kCodec(
      kKeyId, SrmStateRule::Ignore,
      {
          F::Text(kKeyPrimaryId, &SrmId::primary_id_, Merge::IntoUnset),
          F::Text(kKeySecondaryId, &SrmId::secondary_id_, Merge::Never),
          F::Text(kKeyIdType, &SrmId::id_type_, Merge::IntoUnset),
      },
      {kKeyType, kKeyId, kKeyPubId, kKeyPrimaryId, kKeySecondaryId, kKeyIdType},
      {kKeyType, kKeyId, kKeyIdType, kKeyPrimaryId}, /*reads_lid=*/false);
  return kCodec;
}

int SrmId::mergeResource(SrmResource* other) {
  return codec().merge(this, other, [](SrmId* dst, SrmId* src) {
    if (src->getFlags() != 0) dst->setFlags(dst->getFlags() | src->getFlags());
  });
}

int SrmId::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags);
}

int SrmId::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  codec().read(this, tuple);
  return 1;
}
