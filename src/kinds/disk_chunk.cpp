#include "kinds/disk_chunk.h"

#include "db/srm_resource_database.h"
#include "kinds/record_reference.h"

SrmDiskChunk::SrmDiskChunk() : SrmResource(SRM_DISKCHUNK) {}

SrmDiskChunk::SrmDiskChunk(const std::string& name) : SrmDiskChunk() {
  setId(name);
}

// Disk, Start and Length have their own reading rules, so the table leaves them to the kind.
const SrmRecordCodec<SrmDiskChunk>& SrmDiskChunk::codec() {
  using F = SrmField<SrmDiskChunk>;
  static const SrmRecordCodec<SrmDiskChunk> kCodec(
      kKeyDiskChunk, SrmStateRule::Or, {F::Text(kKeyDiskChunk, &SrmDiskChunk::disk_chunk_)},
      {kKeyType, kKeyId, kKeyPubId, kKeyState, kKeyLId, kKeyDiskChunk, kKeyDisk, kKeyStart,
       kKeyLength},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmDiskChunk::setStartAndLength(int64_t start, int64_t length) {
  if (start < 0 || length < 0) return 0;
  start_ = start;
  length_ = length;
  return 1;
}

int SrmDiskChunk::mergeResource(SrmResource* other) {
  if (other == this) return 1;
  return codec().merge(this, other, [](SrmDiskChunk* dst, SrmDiskChunk* src) {
    if (!src->disk_.empty()) dst->assignText(&dst->disk_, src->disk_);
    if (src->start_ != 0 || src->length_ != 0) dst->setStartAndLength(src->start_, src->length_);
  });
}

int SrmDiskChunk::serialize(int fd, int flags) {
  return codec().write(*this, fd, flags, [this](SrmTupleLine* line, int key) {
    switch (key) {
      case kKeyDisk:
        line->addText(key, disk_);
        break;
      case kKeyStart:
        line->addInteger(key, start_);
        break;
      case kKeyLength:
        line->addInteger(key, length_);
        break;
      default:
        break;
    }
  });
}

int SrmDiskChunk::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  int64_t start = 0;
  int64_t length = 0;
  codec().read(this, tuple, [&](int key, std::string_view value) {
    switch (key) {
      case kKeyDisk:
        assignText(&disk_, SrmRecordIdFor(*this, SRM_DISK, value));
        break;
      case kKeyStart:
        start = SrmParseInt64(value);
        break;
      case kKeyLength:
        length = SrmParseInt64(value);
        break;
      default:
        break;
    }
  });
  setStartAndLength(start, length);
  return 1;
}
