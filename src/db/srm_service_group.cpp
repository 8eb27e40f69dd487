#include "db/srm_service_group.h"

#include <set>
#include <vector>

#include "db/srm_resource_database.h"
#include "model/reference_reader.h"
#include "model/tuple_fields.h"
#include "model/tuple_line.h"

namespace {

// The member kinds a group checks, counts and writes, in that order; members of other kinds
// (volume managers, alias identities) are carried but never looked at.
constexpr SrmResourceType kMemberKinds[] = {
    SRM_DISK,  SRM_DISKCHUNK, SRM_VOLUME,        SRM_FILESYSTEM,  SRM_MOUNTPOINT,
    SRM_SHARE, SRM_COMPUTER,  SRM_VIRTUALSERVER, SRM_VOLUMEGROUP,
};

const char kSerializeFailed[] = "Failed to serialize Service Group";
const char kDeserializeFailed[] = "Failed to deserialize Service Group";

// Calls visit(g) for start and every group down its child chain, each group once, so that a
// cycle of child links ends.
template <class Visit>
void ForEachDependant(SrmServiceGroup* start, Visit visit) {
  std::set<const SrmServiceGroup*> seen;
  for (SrmServiceGroup* g = start; g != nullptr && seen.insert(g).second;
       g = g->getNextServiceGroup())
    visit(g);
}

}  // namespace

SrmServiceGroup::SrmServiceGroup() : resources_(new SrmResourceList()) {}

SrmServiceGroup::SrmServiceGroup(const std::string& name)
    : resources_(new SrmResourceList()), name_(name) {}

SrmServiceGroup::SrmServiceGroup(SrmResourceDatabase* db)
    : resources_(new SrmResourceList(db)), database_(db) {}

SrmServiceGroup::~SrmServiceGroup() = default;

SrmResourceList::IdMap* SrmServiceGroup::getSystemList() {
  return resources_->getSrmResourceIdMap(SRM_COMPUTER);
}

int SrmServiceGroup::getVirtualServerList(SrmResourceList::IdMap** servers) {
  SrmResourceList::IdMap* map = resources_->getSrmResourceIdMap(SRM_VIRTUALSERVER);
  if (servers != nullptr) *servers = map;
  return map == nullptr ? 0 : static_cast<int>(map->size());
}

int SrmServiceGroup::getDependantResourceList(SrmResourceList* target) {
  if (target == nullptr) return 0;
  ForEachDependant(this,
                   [target](SrmServiceGroup* g) { target->mergeResources(g->getResourceList()); });
  return 1;
}

int SrmServiceGroup::getDependantResourceList(SrmResourceList* target, SrmResourceType kind) {
  if (target == nullptr) return 0;
  ForEachDependant(this, [target, kind](SrmServiceGroup* g) {
    target->mergeResources(g->getResourceList(), kind);
  });
  return 1;
}

int SrmServiceGroup::addParentGroup(SrmServiceGroup* parent) {
  if (parent == nullptr) return 0;
  return parents_.emplace(parent->getName(), parent).second ? 1 : 0;
}

int SrmServiceGroup::checkCircDependency(SrmServiceGroup* g) {
  if (g == nullptr) return 0;
  // Depth first through the parents in name order; each group's parents are looked at once,
  // so parent links that loop end as well.
  std::set<const SrmServiceGroup*> seen{this};
  std::vector<const SrmServiceGroup*> pending{this};
  while (!pending.empty()) {
    const SrmServiceGroup* group = pending.back();
    pending.pop_back();
    if (group->parents_.count(g->getName()) != 0) return 1;
    for (auto it = group->parents_.rbegin(); it != group->parents_.rend(); ++it) {
      if (seen.insert(it->second).second) pending.push_back(it->second);
    }
  }
  return 0;
}

int SrmServiceGroup::setNextServiceGroup(SrmServiceGroup* g) {
  if (g == nullptr) {
    child_ = nullptr;
    return 0;
  }
  if (g == child_) return 1;
  if (child_ != nullptr) {
    if (database_ != nullptr)
      database_->setErrorInfo(22, "Invalid Service Group Dependency provided", nullptr);
    return 0;
  }
  // A group cannot depend on itself, nor on a group recorded among its parents.
  if (g == this || checkCircDependency(g)) {
    if (database_ != nullptr)
      database_->setErrorInfo(22, "Circular Service Sroup Dependency reported", nullptr);
    return 0;
  }
  child_ = g;
  return 1;
}

int SrmServiceGroup::mergeServiceGroup(SrmServiceGroup* other) {
  if (other == nullptr) return 0;
  if (other == this) return 1;  // merging a group into itself would mark its members merged
  const bool foreign = database_ != nullptr && other->database_ != database_;
  if (!foreign) {
    resources_->mergeResources(other->resources_.get());
    if (other->child_ != nullptr) setNextServiceGroup(other->child_);
    return 1;
  }
  // A group of another database: its members and its child are taken by kind and Id, and by
  // name, in this group's database, so that nothing here points into the other one. Members
  // this database does not hold are left out.
  for (SrmResourceType kind : kMemberKinds) {
    const SrmResourceList::IdMap* members = other->resources_->getSrmResourceIdMap(kind);
    if (members == nullptr) continue;
    for (const auto& entry : *members) {
      if (SrmResource* mine = database_->findResource(kind, entry.first)) addResource(mine);
    }
  }
  SrmServiceGroup* child = other->child_ ? groupNamed(other->child_->getName()) : nullptr;
  if (child != nullptr) setNextServiceGroup(child);
  return 1;
}

SrmServiceGroup* SrmServiceGroup::groupNamed(const std::string& name) {
  if (name.empty()) return nullptr;
  if (SrmServiceGroup* found = database_->findServiceGroup(name)) return found;
  // Filed empty under its name; the database's reference keeps it alive.
  SrmHeld<SrmServiceGroup> made(new SrmServiceGroup(name));
  SrmServiceGroup* group = made.get();
  if (!database_->addServiceGroup(group)) return nullptr;
  return group;
}

int SrmServiceGroup::checkIntegrity() {
  if (database_ == nullptr) return 0;
  for (SrmResourceType kind : kMemberKinds) {
    const SrmResourceList::IdMap* members = resources_->getSrmResourceIdMap(kind);
    if (members == nullptr) continue;
    for (const auto& entry : *members) {
      SrmResource* member = entry.second;
      if (!member->shouldReport()) continue;
      if (member->getType() != kind) {
        const char kMessage[] = "Invalid resource in invalid type-list";
        database_->setErrorInfo(22, kMessage, member);
        database_->addError(database_->getHostName(), kMessage, 22, 2);
        return 0;
      }
      SrmResource* found = database_->findResource(kind, member->getId());
      if (found == nullptr || found->getType() != kind) {
        database_->setErrorInfo(22, "Service group resource not found", member);
        database_->addError(database_->getHostName(),
                            "Service group resource not found: " + member->getId().str(), 22, 2);
        return 0;
      }
    }
  }
  return 1;
}

int SrmServiceGroup::serialize(int fd, int flags) {
  if (database_ == nullptr) return 0;
  std::string* buffer = database_->getFormatBuffer();
  if (buffer == nullptr) {
    database_->setErrorInfo(5, kSerializeFailed, nullptr);
    return 0;
  }
  SrmTupleLine line(buffer);
  line.addKeyName(kKeyType, kKeyServiceGroup);
  line.addText(kKeyId, name_);
  if (!(flags & 1)) {
    if (child_ != nullptr) line.addText(kKeyChildServiceGroup, child_->getName());
    int count = 0;
    for (SrmResourceType kind : kMemberKinds) count += resources_->getTypeCount(kind);
    line.addInteger(kKeyResourceCount, count);
  }
  if (!line.writeTo(fd)) {
    database_->setErrorInfo(5, kSerializeFailed, nullptr);
    return 0;
  }
  if (flags & 2) return 1;
  for (SrmResourceType kind : kMemberKinds) {
    const SrmResourceList::IdMap* members = resources_->getSrmResourceIdMap(kind);
    if (members == nullptr) continue;
    for (const auto& entry : *members) {
      if (!entry.second->serialize(fd, 3)) return 0;
    }
  }
  return 1;
}

int SrmServiceGroup::deserialize(int /*fd*/, CSRMReportTuple* t) {
  if (t == nullptr) {
    if (database_ != nullptr) database_->setErrorInfo(22, kDeserializeFailed, nullptr);
    return 0;
  }
  if (database_ == nullptr) return 0;  // the child and the members are the database's
  int32_t count = 0;
  SrmForEachElement(t, [&](int key, const std::string& value) {
    switch (key) {
      case kKeyId:
        name_ = value;
        break;
      case kKeyResourceCount:
        count = SrmParseInt32(value);
        break;
      case kKeyChildServiceGroup:
        if (value.empty()) break;  // names no group
        // A group naming itself (while it is read it is not filed yet) is refused as a cycle,
        // rather than filing an empty group of its own name in its place.
        if (value == name_) {
          setNextServiceGroup(this);
          break;
        }
        // A child the database does not hold yet is filed there, empty, under its name.
        if (SrmServiceGroup* child = groupNamed(value)) setNextServiceGroup(child);
        break;
      default:
        break;
    }
  });
  if (count <= 0) return 1;
  CSRMReportTupleStreamReader* reader = database_->getTupleStream();
  if (reader == nullptr) return 0;
  int found = 0;
  SrmReadReferences(reader, count, [&](const SrmReference& ref) {
    SrmResourceType kind = SrmKindOfReference(ref.type_key);
    if (kind == SRM_NO_TYPE) return;
    SrmResource* member = database_->findResource(kind, ref.id);
    if (member == nullptr) return;
    addResource(member);
    ++found;
  });
  if (found == count) return 1;
  database_->setErrorInfo(22, kDeserializeFailed, nullptr);
  return 0;
}
