#include "model/srm_resource_list.h"

#include <memory>
#include <new>
#include <utility>
#include <vector>

// A record's destructor may reach other lists (its children's, a database's), so no record is
// released while a map it sits in is being walked or changed: entries are taken out first and
// released afterwards.

namespace {

// Releases every record of a map that no longer belongs to any list.
void ReleaseAll(SrmResourceList::IdMap* records) {
  for (auto& entry : *records) entry.second->Release();
  records->clear();
}

// Merges records (a snapshot of a source list, in kind then Id order) into list: a record whose
// key is stored there already is merged into the stored one, any other is added and linked to
// the list's database (even a null one). Stops at the first merge or add that fails.
int MergeRecords(SrmResourceList* list, const std::vector<SrmResource*>& records) {
  // The records are held for the whole walk, so neither a merge nor an add (which releases a
  // record it replaces) can destroy one still to come, even when the source is list itself.
  for (SrmResource* r : records) r->AddRef();
  int result = 1;
  for (SrmResource* r : records) {
    SrmResource* existing = list->findResource(r->getType(), r->getId());
    if (existing == r) continue;  // stored here already: a record is never merged into itself
    if (existing != nullptr) {
      result = existing->mergeResource(r) != 0 ? 1 : 0;
    } else {
      result = list->addResource(r);
      // A list without a database (a computer's or a volume group's child list) leaves the
      // record's link alone: the record still belongs to its database, and without the link
      // it could no longer write itself.
      if (result != 0 && list->getDb() != nullptr) r->setDatabase(list->getDb());
    }
    if (result == 0) break;
  }
  for (SrmResource* r : records) r->Release();
  return result;
}

}  // namespace

SrmResourceList::SrmResourceList(SrmResourceDatabase* db) : db_(db) {}

SrmResourceList::~SrmResourceList() {
  std::map<SrmResourceType, std::unique_ptr<IdMap>> doomed;
  doomed.swap(resources_);
  for (auto& kind : doomed) ReleaseAll(kind.second.get());
}

int SrmResourceList::addResource(SrmResource* r) {
  if (r == nullptr || r->getType() == SRM_NO_TYPE || r->getId().empty()) return 0;
  SrmResource* replaced = nullptr;
  auto kind = resources_.end();
  bool new_kind = false;
  try {
    kind = resources_.find(r->getType());
    if (kind == resources_.end()) {
      // The kind's map is made before its entry, so that no entry is ever left without one.
      auto records = std::make_unique<IdMap>();
      kind = resources_.emplace(r->getType(), std::move(records)).first;
      new_kind = true;
    }
    SrmResource*& slot = (*kind->second)[r->getId()];
    if (slot == r) return 1;  // already stored: the list keeps its single reference
    replaced = slot;
    slot = r;
  } catch (const std::bad_alloc&) {
    // A kind that did not get its record has never held one.
    if (new_kind) resources_.erase(kind);
    return 0;
  }
  r->AddRef();
  if (replaced != nullptr) replaced->Release();
  return 1;
}

SrmResource* SrmResourceList::findResource(SrmResourceType kind, const std::string& id) const {
  const IdMap* records = getSrmResourceIdMap(kind);
  if (records == nullptr) return nullptr;
  auto it = records->find(id);
  return it == records->end() ? nullptr : it->second;
}

int SrmResourceList::removeResource(SrmResourceType kind, const std::string& id) {
  IdMap* records = getSrmResourceIdMap(kind);
  if (records == nullptr) return 0;
  auto it = records->find(id);
  if (it == records->end()) return 0;
  SrmResource* removed = it->second;
  records->erase(it);
  removed->Release();
  return 1;
}

int SrmResourceList::removeResource(SrmResourceType kind, SrmResource* r) {
  IdMap* records = getSrmResourceIdMap(kind);
  if (records == nullptr || r == nullptr) return 0;
  // Whatever is stored under r's Id goes, even another record with that Id; a missing entry
  // still counts as done.
  auto it = records->find(r->getId());
  if (it != records->end()) {
    SrmResource* removed = it->second;
    records->erase(it);
    removed->Release();
  }
  return 1;
}

int SrmResourceList::removeAllResources() {
  for (auto& kind : resources_) {
    IdMap doomed;
    doomed.swap(*kind.second);
    ReleaseAll(&doomed);
  }
  return 1;
}

int SrmResourceList::mergeResources(const SrmResourceList* other) {
  if (other == nullptr) return 0;
  std::vector<SrmResource*> records;
  for (const auto& kind : other->resources_) {
    for (const auto& entry : *kind.second) records.push_back(entry.second);
  }
  return MergeRecords(this, records);
}

int SrmResourceList::mergeResources(const SrmResourceList* other, SrmResourceType kind) {
  if (other == nullptr) return 0;
  const IdMap* source = other->getSrmResourceIdMap(kind);
  if (source == nullptr) return 0;
  std::vector<SrmResource*> records;
  for (const auto& entry : *source) records.push_back(entry.second);
  return MergeRecords(this, records);
}

int SrmResourceList::getResourceCount() const {
  size_t count = 0;
  for (const auto& kind : resources_) count += kind.second->size();
  return static_cast<int>(count);
}

int SrmResourceList::getTypeCount(SrmResourceType kind) const {
  const IdMap* records = getSrmResourceIdMap(kind);
  return records == nullptr ? 0 : static_cast<int>(records->size());
}

int SrmResourceList::getResourceTypeCount(SrmResourceType /*kind*/) const {
  return static_cast<int>(resources_.size());
}

SrmResourceList::IdMap* SrmResourceList::getSrmResourceIdMap(SrmResourceType kind) {
  auto it = resources_.find(kind);
  return it == resources_.end() ? nullptr : it->second.get();
}

const SrmResourceList::IdMap* SrmResourceList::getSrmResourceIdMap(SrmResourceType kind) const {
  auto it = resources_.find(kind);
  return it == resources_.end() ? nullptr : it->second.get();
}

void SrmResourceList::setAllResourceState(long mask) {
  for (auto& kind : resources_) {
    for (auto& entry : *kind.second) {
      SrmResource* r = entry.second;
      r->setFlags(static_cast<int32_t>(r->getFlags() | mask));
    }
  }
}

void SrmResourceList::unsetAllResourceState(long mask) {
  for (auto& kind : resources_) {
    for (auto& entry : *kind.second) {
      SrmResource* r = entry.second;
      r->setFlags(static_cast<int32_t>(r->getFlags() & ~mask));
    }
  }
}
