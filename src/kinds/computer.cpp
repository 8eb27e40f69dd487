#include "kinds/computer.h"

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "model/reference_reader.h"

namespace {

// The kinds of a computer's children, in the order their references are written.
constexpr SrmResourceType kChildKinds[] = {
    SRM_DISK,       SRM_DISKCHUNK, SRM_VOLUMEMANAGER, SRM_VOLUME,      SRM_FILESYSTEM,
    SRM_MOUNTPOINT, SRM_SHARE,     SRM_VIRTUALSERVER, SRM_VOLUMEGROUP,
};

}  // namespace

SrmComputer::SrmComputer()
    : SrmResource(SRM_COMPUTER),
      resources_(new SrmResourceList(nullptr, SrmResourceList::KindRoom::kFirstRecordStore)) {}

SrmComputer::SrmComputer(const std::string& name) : SrmComputer() {
  setId(name);
  assignText(&host_name_, name);
}

SrmComputer::~SrmComputer() {
  for (auto& entry : service_groups_) entry.second->Release();
}

const SrmRecordCodec<SrmComputer>& SrmComputer::codec() {
  using F = SrmField<SrmComputer>;
  using C = SrmComputer;
  using Read = F::Read;
  using Merge = F::Merge;
  static const SrmRecordCodec<SrmComputer> kCodec(
      kKeySystem, SrmStateRule::Replace,
      {
          F::Text(kKeyHostName, &C::host_name_),
          F::Int(kKeyRAMMB, &C::ram_mb_),
          F::Int(kKeySwapMB, &C::swap_mb_),
          F::Int64(kKeyAddrSpaceMB, &C::addr_space_mb_),
          F::Int64(kKeyCapacityKB, &C::capacity_kb_, Read::NonNegative),
          F::Int64(kKeyFreeSpaceKB, &C::free_space_kb_, Read::NonNegative),
          F::Int(kKeyProcCount, &C::proc_count_),
          F::Int(kKeyProcSpeedMHz, &C::proc_speed_mhz_),
          F::Text(kKeyCPUInfo, &C::cpu_info_),
          F::Text(kKeyHWInfo, &C::hw_info_),
          F::Text(kKeyOS, &C::os_),
          F::Text(kKeyOSInfo, &C::os_info_),
          F::Text(kKeyMgmtURL, &C::mgmt_url_),
          F::Text(kKeyDisplayMgmtURL, &C::display_mgmt_url_),
          F::Text(kKeyHostId, &C::host_id_),
          F::Text(kKeyIPAddr, &C::ip_addr_),
          F::Int(kKeyNodeId, &C::node_id_, -1, Merge::IfSet),
          F::Int(kKeyLLTId, &C::llt_id_, -1, Merge::IfSet),
      },
      {kKeyType,        kKeyId,        kKeyPubId,        kKeyState,          kKeyLId,
       kKeyHostName,    kKeyRAMMB,     kKeySwapMB,       kKeyAddrSpaceMB,    kKeyCapacityKB,
       kKeyFreeSpaceKB, kKeyProcCount, kKeyProcSpeedMHz, kKeyCPUInfo,        kKeyHWInfo,
       kKeyOS,          kKeyOSInfo,    kKeyMgmtURL,      kKeyDisplayMgmtURL, kKeyHostId,
       kKeyIPAddr,      kKeyNodeId,    kKeyLLTId,        kKeyResourceCount,  kKeySGCount,
       kKeyTIM},
      {kKeyType, kKeyId});
  return kCodec;
}

int SrmComputer::setCapacity(int64_t kb) {
  return SrmSetSize(&capacity_kb_, kb);
}

int SrmComputer::setFreeSpace(int64_t kb) {
  return SrmSetSize(&free_space_kb_, kb);
}

int SrmComputer::addResource(SrmResource* r) {
  if (r == nullptr || r->getType() == SRM_COMPUTER) return 0;
  return resources_->addResource(r);
}

int SrmComputer::removeResource(SrmResource* r) {
  if (r == nullptr) return 0;
  return resources_->removeResource(r->getType(), r);
}

int SrmComputer::addServiceGroup(SrmServiceGroup* g) {
  if (g == nullptr) return 0;
  if (!service_groups_.emplace(g->getName(), g).second) return 0;
  g->AddRef();
  return 1;
}

int SrmComputer::removeServiceGroup(const std::string& name) {
  auto it = name.empty() ? service_groups_.end() : service_groups_.find(name);
  if (it == service_groups_.end()) return 0;
  SrmServiceGroup* g = it->second;
  service_groups_.erase(it);
  g->Release();
  return 1;
}

int SrmComputer::mergeResource(SrmResource* other) {
  return codec().merge(this, other, [](SrmComputer* dst, SrmComputer* src) {
    if (src->tim_ != 0) dst->tim_ = src->tim_;
    dst->resources_->mergeResources(src->resources_.get());
  });
}

int SrmComputer::serialize(int fd, int flags) {
  auto extra = [this](SrmTupleLine* line, int key) {
    switch (key) {
      case kKeyResourceCount:
        line->addInteger(key, resources_->getResourceCount());
        break;
      case kKeySGCount:
        line->addInteger(key, static_cast<int64_t>(service_groups_.size()));
        break;
      case kKeyTIM:
        line->addInteger(key, tim_);
        break;
      default:
        break;
    }
  };
  if (!codec().write(*this, fd, flags, extra)) return 0;
  if (flags & 1) return 1;
  for (SrmResourceType kind : kChildKinds) {
    const SrmResourceList::IdMap* children = resources_->getSrmResourceIdMap(kind);
    if (children == nullptr) continue;
    for (const auto& entry : *children) {
      if (!entry.second->serialize(fd, 3)) return 0;
    }
  }
  for (const auto& entry : service_groups_) entry.second->serialize(fd, 3);
  return 1;
}

int SrmComputer::deserialize(int /*fd*/, CSRMReportTuple* tuple) {
  if (tuple == nullptr) return 0;
  int32_t tim = 0;
  int32_t resource_count = 0;
  int32_t group_count = 0;
  codec().read(this, tuple, [&](int key, std::string_view value) {
    switch (key) {
      case kKeyTIM:
        tim = tim_ = SrmParseInt32(value);
        break;
      case kKeyResourceCount:
        resource_count = SrmParseInt32(value);
        break;
      case kKeySGCount:
        group_count = SrmParseInt32(value);
        break;
      default:
        break;
    }
  });
  if (resource_count > 0 || group_count > 0) {
    if (getDatabase() == nullptr || getTupleStream() == nullptr) return 0;
    readResourceReferences(resource_count);
    readServiceGroupReferences(group_count);
  }
  // Only a computer that read becomes the database's own: one that fails is released by its
  // reader, and the database must not keep pointing at it.
  if (getDatabase() != nullptr && tim != 0) getDatabase()->setThisComputer(this);
  return 1;
}

// A reference that names no record of this database (not loaded yet, or of a kind a computer
// does not hold) is passed over: the line is still consumed as a reference, never read as a
// record of its own, and the computer keeps the references that resolve.
void SrmComputer::readResourceReferences(int count) {
  SrmResourceDatabase* db = getDatabase();
  SrmReadReferences(getTupleStream(), count, [&](const SrmReference& ref) {
    // A computer's volume managers are written among its children and read back with them.
    SrmResourceType kind =
        ref.type_key == kKeyVolumeManager ? SRM_VOLUMEMANAGER : SrmKindOfReference(ref.type_key);
    if (kind == SRM_NO_TYPE) return;
    if (SrmResource* r = db->findResource(kind, ref.id)) addResource(r);
  });
}

void SrmComputer::readServiceGroupReferences(int count) {
  SrmResourceDatabase* db = getDatabase();
  SrmReadReferences(getTupleStream(), count, [&](const SrmReference& ref) {
    if (ref.id.empty()) return;  // a reference without a name names no group
    const std::string name(ref.id);
    SrmServiceGroup* g = db->findServiceGroup(name);
    if (g != nullptr) {
      addServiceGroup(g);
      return;
    }
    SrmHeld<SrmServiceGroup> made(new SrmServiceGroup(name));
    if (db->addServiceGroup(made.get())) addServiceGroup(made.get());
  });
}
