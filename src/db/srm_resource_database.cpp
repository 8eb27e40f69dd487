// The database core: ownership of the records, errors and service groups of one scan, the
// lookups by Id and global id, the removal cascade, this computer, the last-error slot and the
// collection stream attached while a batch is read.
#include "db/srm_resource_database.h"

#include <new>
#include <vector>

#include "db/srm_service_group.h"
#include "kinds/computer.h"
#include "kinds/disk.h"
#include "kinds/disk_chunk.h"
#include "kinds/file_system.h"
#include "kinds/mount_point.h"
#include "kinds/share.h"
#include "kinds/virtual_server.h"
#include "kinds/volume.h"
#include "kinds/volume_group.h"
#include "tuple/key_vocabulary.h"
#include "tuple/tuple_reader.h"
#include "tuple/tuple_stream.h"

namespace {

// The kinds that keep a global-id map.
bool HasGlobalIds(SrmResourceType kind) {
  switch (kind) {
    case SRM_DISK:
    case SRM_VOLUME:
    case SRM_FILESYSTEM:
    case SRM_VOLUMEGROUP:
    case SRM_MOUNTPOINT:
    case SRM_SHARE:
      return true;
    default:
      return false;
  }
}

// Calls visit(record) for every record of kind in list, in Id order. The records stay in the
// list while visited; visit must not add or remove records of that kind.
template <class Visit>
void ForEachOfKind(SrmResourceList* list, SrmResourceType kind, Visit visit) {
  SrmResourceList::IdMap* map = list->getSrmResourceIdMap(kind);
  if (map == nullptr) return;
  for (auto& entry : *map) visit(entry.second);
}

}  // namespace

SrmResourceDatabase::SrmResourceDatabase()
    : error_list_(this),
      resource_list_(this, SrmResourceList::KindRoom::kFirstRecordStore),
      computer_list_(this, SrmResourceList::KindRoom::kFirstRecordStore) {
  format_buffer_.reserve(kFormatBufferLength);
}

SrmTextStore* SrmResourceDatabase::textStore() {
  if (text_store_ == nullptr) text_store_.reset(new SrmTextStore());
  return text_store_.get();
}

SrmResourceDatabase::~SrmResourceDatabase() {
  // A group and its members can hold each other (a computer holds its groups, a group lists
  // the computer): emptying the groups first lets both go.
  for (auto& entry : service_groups_) {
    if (entry.second->getDatabase() == this) entry.second->removeAllResources();
  }
  for (auto& entry : service_groups_) entry.second->Release();
  service_groups_.clear();
  if (last_error_resource_ != nullptr) last_error_resource_->Release();
  last_error_resource_ = nullptr;
  this_computer_ = nullptr;
  releaseRecords();
  freeStaticKeys();
}

// --- Records ---

int SrmResourceDatabase::addResource(SrmResource* r) {
  if (r == nullptr) {
    setErrorInfo(22, "Add resource failed", nullptr);
    return 0;
  }
  r->setDatabase(this);
  // A record with the same Id is replaced; the list hands its reference over, so that a
  // replaced volume still in a cycle is not lost to the database's end.
  SrmResource* replaced = nullptr;
  int result = resource_list_.addResource(r, &replaced);
  if (replaced != nullptr) releaseLeaving(replaced);
  if (result == 0) {
    setErrorInfo(12, "Add resource failed", nullptr);
    return 0;
  }
  addGlobalId(r->getType(), r->getLId(), r->getId());
  return result;
}

int SrmResourceDatabase::addComputer(SrmComputer* c, int make_current) {
  if (c == nullptr || c->getType() != SRM_COMPUTER) {
    setErrorInfo(22, "Add Computer failed", nullptr);
    return 0;
  }
  if (!addResource(c)) return 0;
  if (!computer_list_.addResource(c)) {
    // A computer must be in both lists or in neither: one missing from the computer list
    // would never be found as this computer.
    if (resource_list_.findResource(SRM_COMPUTER, c->getId()) == c) {
      resource_list_.removeResource(SRM_COMPUTER, c->getId());
    }
    setErrorInfo(12, "Add Computer failed", nullptr);
    return 0;
  }
  if (make_current) this_computer_ = c;
  return 1;
}

int SrmResourceDatabase::addComputerResource(const std::string& computer_id, SrmResource* r) {
  auto* computer =
      static_cast<SrmComputer*>(computer_list_.findResource(SRM_COMPUTER, computer_id));
  if (computer == nullptr) {
    setErrorInfo(22, "Invalid Resource Object", nullptr);
    return 0;
  }
  return computer->addResource(r);
}

SrmResource* SrmResourceDatabase::findResource(SrmResourceType kind, std::string_view id) const {
  return resource_list_.findResource(kind, id);
}

SrmResource* SrmResourceDatabase::findGlobalResource(SrmResourceType kind, SrmResource* r) const {
  if (r == nullptr) return nullptr;
  SrmResource* existing = findResource(kind, r->getId());
  if (existing != nullptr && (existing->getLId().empty() || existing->getLId() == r->getId())) {
    return existing;
  }
  const std::string_view id = globalIdOf(kind, r->getLId());
  return id.empty() ? nullptr : resource_list_.findResource(kind, id);
}

SrmResource* SrmResourceDatabase::findGlobalResource(SrmResourceType kind,
                                                     std::string_view gid) const {
  if (SrmResource* direct = findResource(kind, gid)) return direct;
  return findByGlobalId(kind, gid);
}

SrmResource* SrmResourceDatabase::findByGlobalId(SrmResourceType kind, std::string_view gid) const {
  const std::string_view id = globalIdOf(kind, gid);
  return id.empty() ? nullptr : resource_list_.findResource(kind, id);
}

template <class Match>
void SrmResourceDatabase::collect(SrmResourceType kind, Match match,
                                  std::vector<std::string>* ids) const {
  const SrmResourceList::IdMap* map = resource_list_.getSrmResourceIdMap(kind);
  if (map == nullptr) return;
  for (const auto& entry : *map) {
    if (match(entry.second)) ids->emplace_back(entry.first);
  }
}

int SrmResourceDatabase::removeResource(SrmResourceType kind, std::string_view id) {
  SrmResource* target = findResource(kind, id);
  if (target == nullptr) return 0;
  // Keep the record alive while the cascade runs: removing what rests on it may drop other
  // references to it.
  target->AddRef();
  removeServiceGroupResource(target);

  // The cascade passes, in order; a kind starts at its own pass. A pass over a kind the
  // database never held ends the cascade.
  enum Pass { kChunksOfVolumes, kVolumeGroups, kMountPoints, kShares, kComputers, kNone };
  Pass first = kComputers;
  switch (kind) {
    case SRM_DISKCHUNK:
      first = kChunksOfVolumes;
      break;
    case SRM_DISK:
    case SRM_VOLUME:
      first = kVolumeGroups;
      break;
    case SRM_FILESYSTEM:
      first = kMountPoints;
      break;
    case SRM_COMPUTER:
      first = kNone;
      break;
    default:
      break;
  }
  // The text shares on this record are matched by: a file system's volume, a disk's name, a
  // chunk's disk. A volume carries no such text, so the share pass removes nothing for it.
  std::string volume_reference;
  bool has_volume_reference = true;
  switch (kind) {
    case SRM_FILESYSTEM:
      volume_reference = static_cast<SrmFileSystem*>(target)->getVolume();
      break;
    case SRM_DISK:
      volume_reference = static_cast<SrmDisk*>(target)->getName();
      break;
    case SRM_DISKCHUNK:
      volume_reference = static_cast<SrmDiskChunk*>(target)->getDisk();
      break;
    default:
      has_volume_reference = false;
      break;
  }

  for (int pass = first; pass < kNone; ++pass) {
    if (pass == kChunksOfVolumes) {
      if (!resource_list_.getSrmResourceIdMap(SRM_VOLUME)) break;
      ForEachOfKind(&resource_list_, SRM_VOLUME, [target](SrmResource* v) {
        static_cast<SrmVolume*>(v)->removeDiskChunk(target);
      });
    } else if (pass == kVolumeGroups) {
      if (!resource_list_.getSrmResourceIdMap(SRM_VOLUMEGROUP)) break;
      ForEachOfKind(&resource_list_, SRM_VOLUMEGROUP, [target, kind](SrmResource* g) {
        auto* group = static_cast<SrmVolumeGroup*>(g);
        if (kind == SRM_VOLUME) group->removeVolume(target);
        if (kind == SRM_DISK) group->removeDisk(target);
      });
    } else if (pass == kMountPoints) {
      if (!resource_list_.getSrmResourceIdMap(SRM_MOUNTPOINT)) break;
      std::vector<std::string> doomed;
      // An empty LId names no file system: it must not match every mount point that has no
      // location.
      const std::string_view location = target->getLId();
      collect(
          SRM_MOUNTPOINT,
          [&location](SrmResource* m) {
            return !location.empty() &&
                   static_cast<SrmMountPoint*>(m)->getMountLocation() == location;
          },
          &doomed);
      for (const std::string& mount_id : doomed) removeResource(SRM_MOUNTPOINT, mount_id);
    } else if (pass == kShares) {
      if (!resource_list_.getSrmResourceIdMap(SRM_SHARE)) break;
      std::vector<std::string> doomed;
      // Likewise an empty reference matches no share.
      if (has_volume_reference && !volume_reference.empty()) {
        collect(
            SRM_SHARE,
            [&volume_reference](SrmResource* s) {
              return static_cast<SrmShare*>(s)->getVolumeId() == volume_reference;
            },
            &doomed);
      }
      for (const std::string& share_id : doomed) removeResource(SRM_SHARE, share_id);
      break;  // the computers' pass does not follow the share pass
    } else if (pass == kComputers) {
      if (!resource_list_.getSrmResourceIdMap(SRM_COMPUTER)) break;
      ForEachOfKind(&resource_list_, SRM_COMPUTER, [target](SrmResource* c) {
        static_cast<SrmComputer*>(c)->removeResource(target);
      });
    }
  }

  if (target == this_computer_) this_computer_ = nullptr;
  computer_list_.removeResource(kind, target);
  int removed = resource_list_.removeResource(kind, target->getId());
  releaseLeaving(target);
  return removed;
}

void SrmResourceDatabase::releaseLeaving(SrmResource* leaving) {
  const SrmResourceType kind = leaving->getType();
  // The caller's reference and at least one other.
  const bool held_elsewhere = leaving->getRefCount() > 1;
  if ((kind == SRM_VOLUME || kind == SRM_VOLUMEGROUP) && held_elsewhere) {
    try {
      departed_containers_.push_back(leaving);
      return;
    } catch (const std::bad_alloc&) {
      // Without room the record is released as before; only a cycle would then outlive us.
    }
  }
  leaving->Release();
}

void SrmResourceDatabase::releaseChildrenOf(SrmResource* r) {
  // Records another database took over (by merging) keep their links.
  if (r->getDatabase() != this) return;
  if (r->getType() == SRM_VOLUME) static_cast<SrmVolume*>(r)->releaseChildren();
  if (r->getType() == SRM_VOLUMEGROUP) static_cast<SrmVolumeGroup*>(r)->releaseChildren();
}

int SrmResourceDatabase::getResourceCount() const {
  return resource_list_.getResourceCount();
}

void SrmResourceDatabase::setAllResourceState(long mask) {
  resource_list_.setAllResourceState(mask);
  if (SrmComputer* c = getThisComputer()) {
    c->setReport(true);
    c->setVirtualReport(true);
  }
}

void SrmResourceDatabase::unsetAllResourceState(long mask) {
  resource_list_.unsetAllResourceState(mask);
  if (SrmComputer* c = getThisComputer()) {
    c->setReport(false);
    c->setVirtualReport(false);
  }
}

// --- This computer ---

void SrmResourceDatabase::setThisComputer(SrmComputer* c) {
  if (c != nullptr && c->getType() == SRM_COMPUTER) this_computer_ = c;
}

SrmComputer* SrmResourceDatabase::getThisComputer() {
  if (this_computer_ != nullptr) {
    if (host_name_.empty()) host_name_ = this_computer_->getHostName();
    return this_computer_;
  }
  if (computer_list_.getResourceCount() == 1) {
    SrmResourceList::IdMap* computers = computer_list_.getSrmResourceIdMap(SRM_COMPUTER);
    if (computers == nullptr || computers->empty()) return nullptr;
    auto* only = static_cast<SrmComputer*>(computers->begin()->second);
    if (host_name_.empty()) host_name_ = only->getHostName();
    return only;
  }
  setErrorInfo(22, "Not current computer found.", nullptr);
  return nullptr;
}

std::string SrmResourceDatabase::getLowestLLTNodeIp() {
  SrmResourceList::IdMap* computers = computer_list_.getSrmResourceIdMap(SRM_COMPUTER);
  if (computers == nullptr || computers->empty()) {
    setErrorInfo(12, "Get Lowest LLT node ip failed", nullptr);
    return std::string();
  }
  SrmComputer* chosen = nullptr;
  for (auto& entry : *computers) {
    auto* c = static_cast<SrmComputer*>(entry.second);
    if (chosen == nullptr || c->getLLTId() < chosen->getLLTId()) chosen = c;
  }
  if (chosen->getIPAddr().empty()) {
    setErrorInfo(12, "Get Lowest LLT node ip failed", nullptr);
    return std::string();
  }
  return std::string(chosen->getIPAddr());
}

// --- Global ids ---

SrmGlobalIdTable* SrmResourceDatabase::globalIdTable(SrmResourceType kind) {
  return HasGlobalIds(kind) ? &global_ids_[kind] : nullptr;
}

const SrmGlobalIdTable* SrmResourceDatabase::globalIdTable(SrmResourceType kind) const {
  return HasGlobalIds(kind) ? &global_ids_[kind] : nullptr;
}

int SrmResourceDatabase::addGlobalId(SrmResourceType kind, std::string_view gid,
                                     std::string_view id) {
  if (id.empty() || gid.empty() || gid == id) return 0;
  SrmGlobalIdTable* table = globalIdTable(kind);
  if (table == nullptr) return 0;
  return table->add(gid, id) ? 1 : 0;  // an existing entry is never replaced
}

int SrmResourceDatabase::getGlobalId(SrmResourceType kind, const std::string& gid,
                                     std::string* id) const {
  const std::string_view found = globalIdOf(kind, gid);
  if (found.empty()) return 0;
  id->assign(found.data(), found.size());
  return 1;
}

std::string_view SrmResourceDatabase::globalIdOf(SrmResourceType kind, std::string_view gid) const {
  const SrmGlobalIdTable* table = globalIdTable(kind);
  return table == nullptr ? std::string_view() : table->find(gid);
}

// --- Errors ---

int SrmResourceDatabase::addError(const std::string& owner, const std::string& description,
                                  int code, int severity) {
  if (owner.empty() || description.empty()) return 0;
  SrmError* e = new (std::nothrow) SrmError(description, code, severity, "", "", "");
  if (e == nullptr) {
    setErrorInfo(12, "Add error failed", nullptr);
    return 0;
  }
  int result = error_list_.addError(owner, e);
  if (result == 0) delete e;
  return result;
}

int SrmResourceDatabase::addError(SrmError* e, const std::string& owner) {
  if (e == nullptr) {
    setErrorInfo(12, "Add error failed", nullptr);
    return 0;
  }
  if (owner.empty() || e->getDescription().empty()) {
    setErrorInfo(22, "Add error failed, invalid error object", nullptr);
    return 0;
  }
  return error_list_.addError(owner, e);
}

void SrmResourceDatabase::setErrorInfo(int code, const std::string& message, SrmResource* r) {
  last_error_code_ = code;
  if (r != nullptr) r->AddRef();  // before the release: r may be the record held now
  if (last_error_resource_ != nullptr) last_error_resource_->Release();
  last_error_resource_ = r;
  try {
    last_error_message_ = message;
  } catch (const std::bad_alloc&) {
    last_error_message_.clear();  // the code and the record stand without it
  }
}

void SrmResourceDatabase::setOutOfMemory(const char* message) noexcept {
  last_error_code_ = 12;
  if (last_error_resource_ != nullptr) last_error_resource_->Release();
  last_error_resource_ = nullptr;
  try {
    last_error_message_ = message;
  } catch (const std::bad_alloc&) {
    last_error_message_.clear();
  }
}

void SrmResourceDatabase::getLastErrorInfo(int* code, std::string* message, SrmResource** r) const {
  if (code != nullptr) *code = last_error_code_;
  if (r != nullptr) *r = last_error_resource_;
  if (message != nullptr) *message = last_error_message_;
}

// --- Collection stream ---

int SrmResourceDatabase::attachStream(int fd) {
  tuple_reader_.reset();
  // A batch is megabytes of text: it is read in large blocks. A stream that could not get its
  // buffer is not valid, and the attachment fails below.
  fd_stream_.reset(new CSRMTupleFDStream(kCollectionBufferSize));
  tuple_reader_.reset(new CSRMReportTupleStreamReader());
  if (fd_stream_->SetFileDescriptor(fd) != CSRM_OK ||
      tuple_reader_->SetTupleStream(fd_stream_.get()) != CSRM_OK) {
    setErrorInfo(22, "attach Stream failed", nullptr);
    return 0;
  }
  return 1;
}

int SrmResourceDatabase::detachStream(int fd) {
  if (fd < 0) {
    setErrorInfo(9, "detach Stream failed", nullptr);
    return 0;
  }
  tuple_reader_.reset();
  fd_stream_.reset();
  return 1;
}

// --- Service groups ---

int SrmResourceDatabase::addServiceGroup(SrmServiceGroup* g) {
  if (g == nullptr || service_groups_.count(g->getName()) != 0) return 0;
  service_groups_.emplace(g->getName(), g);
  g->AddRef();
  g->setDatabase(this);
  if (SrmResourceList* members = g->getResourceList()) members->setDb(this);
  return 1;
}

SrmServiceGroup* SrmResourceDatabase::findServiceGroup(const std::string& name) const {
  auto it = service_groups_.find(name);
  return it == service_groups_.end() ? nullptr : it->second;
}

int SrmResourceDatabase::removeServiceGroup(const std::string& name) {
  if (name.empty()) return 0;
  auto it = service_groups_.find(name);
  if (it == service_groups_.end()) return 0;
  SrmServiceGroup* doomed = it->second;
  for (auto& entry : service_groups_) {
    if (entry.second->getNextServiceGroup() == doomed) entry.second->setNextServiceGroup(nullptr);
  }
  service_groups_.erase(it);
  // A group and its virtual servers hold each other: the servers let go of the group, and the
  // group, as the database's end does for the groups it still holds, of its members.
  ForEachOfKind(&resource_list_, SRM_VIRTUALSERVER, [doomed](SrmResource* r) {
    auto* server = static_cast<SrmVirtualServer*>(r);
    if (server->getServiceGroup() == doomed) server->clearServiceGroup();
  });
  if (doomed->getDatabase() == this) doomed->removeAllResources();
  doomed->Release();
  return 1;
}

int SrmResourceDatabase::setChildServiceGroup(const std::string& parent, const std::string& child) {
  if (parent.empty() || child.empty()) return 0;
  SrmServiceGroup* p = findServiceGroup(parent);
  SrmServiceGroup* c = findServiceGroup(child);
  if (p == nullptr || c == nullptr) return 0;
  p->setNextServiceGroup(c);
  return 1;
}

int SrmResourceDatabase::addServiceGroupResource(const std::string& name, SrmResource* r) {
  if (r == nullptr) return 0;
  SrmServiceGroup* g = findServiceGroup(name);
  return g == nullptr ? 0 : g->addResource(r);
}

int SrmResourceDatabase::removeServiceGroupResource(SrmResource* r) {
  if (r == nullptr) return 0;
  int removed = 0;
  for (auto& entry : service_groups_) {
    removed += entry.second->removeResource(r->getType(), r->getId());
  }
  return removed;
}

int SrmResourceDatabase::removeAllServiceGroupResources() {
  int removed = 0;
  for (auto& entry : service_groups_) removed += entry.second->removeAllResources();
  return removed;
}
