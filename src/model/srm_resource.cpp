#include "model/srm_resource.h"

#include "db/srm_resource_database.h"
#include "tuple/key_vocabulary.h"

int SrmTypeKeyOfKind(SrmResourceType kind) {
  switch (kind) {
    case SRM_COMPUTER:
      return kKeySystem;
    case SRM_DISK:
      return kKeyDisk;
    case SRM_VOLUME:
      return kKeyVolume;
    case SRM_FILESYSTEM:
      return kKeyFileSystem;
    case SRM_MOUNTPOINT:
      return kKeyMountPoint;
    case SRM_VIRTUALSERVER:
      return kKeyVirtualServer;
    case SRM_VOLUMEGROUP:
      return kKeyVolumeGroup;
    case SRM_VOLUMEMANAGER:
      return kKeyVolumeManager;
    case SRM_DISKCHUNK:
      return kKeyDiskChunk;
    case SRM_SHARE:
      return kKeyShare;
    case SRM_ALIAS:
      return kKeyId;
    default:
      return -1;
  }
}

SrmTextStore* SrmResource::adoptTextStore() {
  if (database_ != nullptr) {
    shareTextStore(database_->textStore());
  } else {
    texts_ = new SrmTextStore();
  }
  return texts_;
}

void SrmResource::destroy() {
  if (!in_store_) {
    delete this;
    return;
  }
  SrmTextStore* store = texts_;
  texts_ = nullptr;  // released once the record is gone: its room may go with the store
  this->~SrmResource();
  store->Release();
}

std::string* SrmResource::getBuffer() const {
  return database_ ? database_->getFormatBuffer() : nullptr;
}

int SrmResource::getBufferLength() const {
  return database_ ? SrmResourceDatabase::kFormatBufferLength : 0;
}

CSRMTupleFDStream* SrmResource::getStreamFD() const {
  return database_ ? database_->getStreamFD() : nullptr;
}

CSRMReportTupleStreamReader* SrmResource::getTupleStream() const {
  return database_ ? database_->getTupleStream() : nullptr;
}
