#include "model/srm_resource_list.h"

#include <algorithm>
#include <memory>
#include <new>
#include <tuple>
#include <utility>
#include <vector>

// A record's destructor may reach other lists (its children's, a database's), so no record is
// released while a map it sits in is being walked or changed: entries are taken out first and
// released afterwards.

namespace {

// A map taken out of a kind and never taken apart: its nodes belong to the list's store, which
// gives them back whole.
union LeftToPool {
  explicit LeftToPool(const SrmResourceList::IdMap::allocator_type& nodes) : map(nodes) {}
  ~LeftToPool() {}  // NOLINT: the map is left to the pool
  SrmResourceList::IdMap map;
};

// Releases every record of a map that no longer belongs to any list.
void ReleaseAll(const SrmResourceList::IdMap& records) {
  for (auto& entry : records) entry.second->Release();
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

void SrmResourceList::Records::reindex() {
  index.clear();
  filed.clear();
  try {
    filed.reserve(map.size() + 1);
    index.reserve(map.size() + 1);  // the room for one more
    for (auto& entry : map) {
      index.add(&entry);
      filed.push_back(entry.second);
    }
  } catch (const std::bad_alloc&) {
    index.clear();
    filed.clear();
    throw;
  }
}

SrmResourceList::SrmResourceList(SrmResourceDatabase* db, KindRoom room)
    : db_(db), kind_room_(room) {}

SrmResourceList::~SrmResourceList() {
  for (uint32_t kinds = made_kinds_; kinds != 0; kinds &= kinds - 1) {
    const int slot = __builtin_ctz(kinds);
    Records* kind = resources_[slot];
    resources_[slot] = nullptr;  // out of the list before it goes
    made_kinds_ &= ~(uint32_t{1} << slot);
    ReleaseAll(kind->map);
    kind->~Records();  // its room stays with the store
  }
  if (store_ != nullptr) store_->Release();
}

SrmTextStore* SrmResourceList::storeFor(const SrmResource* r) {
  if (store_ == nullptr) {
    SrmTextStore* store = kind_room_ == KindRoom::kFirstRecordStore ? r->heldTextStore() : nullptr;
    if (store != nullptr) {
      store->AddRef();
    } else {
      store = new SrmTextStore();
    }
    store_ = store;
  }
  return store_;
}

int SrmResourceList::addResource(SrmResource* r) {
  SrmResource* replaced = nullptr;
  const int result = addResource(r, &replaced);
  if (replaced != nullptr) replaced->Release();
  return result;
}

int SrmResourceList::addResource(SrmResource* r, SrmResource** replaced_out) {
  *replaced_out = nullptr;
  if (r == nullptr || r->getType() <= SRM_NO_TYPE || r->getType() >= kKindSlots ||
      r->getId().empty()) {
    return 0;
  }
  SrmResource* replaced = nullptr;
  Records*& kind = resources_[r->getType()];
  bool new_kind = false;
  try {
    if (kind == nullptr) {
      SrmTextStore* store = storeFor(r);
      kind = new (store->keepRecord(sizeof(Records))) Records(store->room());
      made_kinds_ |= uint32_t{1} << r->getType();
      new_kind = true;
    }
    Records& records = *kind;
    // The index and the array get their room first: once the map holds a new entry, nothing
    // may fail.
    const bool index = records.map.size() + 1 >= kIndexedCount;
    SrmIdIndex::Entry* entry = nullptr;
    size_t hash = 0;    // hashed once, to find and to add
    bool file = false;  // filed takes the record if it is new
    if (index) {
      if (records.indexed()) {
        records.index.reserveOneMore();
      } else {
        records.reindex();
      }
      file = records.filedAll();
      if (file && records.filed.size() == records.filed.capacity()) {
        records.filed.reserve(records.filed.size() * 2);
      }
      hash = SrmIdHash(r->getId());
      entry = records.index.find(r->getId(), hash);
    }
    if (entry == nullptr) {
      // Scanners mostly list records in Id order: a new Id after the last one is filed at
      // the end without a walk down the tree; any other Id costs one comparison more. A kind
      // without an index has not looked for the Id yet: the walk finds a stored one.
      const std::string_view id = r->getId();
      auto it = records.map.emplace_hint(records.map.end(), std::piecewise_construct,
                                         std::forward_as_tuple(id), std::forward_as_tuple(nullptr));
      entry = &*it;
      // An indexed kind's Id is new here: the index did not hold it.
      if (index) records.index.add(entry, hash);
      if (file) records.filed.push_back(r);  // within the room reserved above
    }
    SrmResource*& slot = entry->second;
    if (slot == r) return 1;  // already stored: the list keeps its single reference
    replaced = slot;
    slot = r;
    if (replaced != nullptr) {
      entry->first.repoint(r->getId());  // the key views the Id of the record it files
      records.filed.clear();             // until the index is rebuilt
    }
  } catch (const std::bad_alloc&) {
    // A kind that did not get its record has never held one.
    if (new_kind) {
      kind->~Records();
      kind = nullptr;
      made_kinds_ &= ~(uint32_t{1} << r->getType());
    }
    return 0;
  }
  r->AddRef();
  *replaced_out = replaced;
  return 1;
}

SrmResource* SrmResourceList::findResource(SrmResourceType kind, std::string_view id) const {
  const Records* records = recordsOf(kind);
  if (records == nullptr) return nullptr;
  if (records->indexed()) {
    const SrmIdIndex::Entry* entry = records->index.find(id);
    return entry == nullptr ? nullptr : entry->second;
  }
  auto it = records->map.find(id);
  return it == records->map.end() ? nullptr : it->second;
}

template <class Id>
void SrmResourceList::findEach(SrmResourceType kind, const Id* ids, size_t count,
                               SrmResource** found) const {
  const Records* records = recordsOf(kind);
  if (records == nullptr || !records->indexed()) {
    for (size_t i = 0; i < count; ++i) found[i] = findResource(kind, SrmViewOf(ids[i]));
    return;
  }
  records->index.findValues(ids, count, found);
}

void SrmResourceList::findResources(SrmResourceType kind, const std::string_view* ids, size_t count,
                                    SrmResource** found) const {
  findEach(kind, ids, count, found);
}

void SrmResourceList::findResources(SrmResourceType kind, const SrmText* const* ids, size_t count,
                                    SrmResource** found) const {
  findEach(kind, ids, count, found);
}

SrmResource* SrmResourceList::eraseEntry(Records* records, IdMap::iterator it) {
  // Out of step, the index may hold entries the map lost: it is dropped rather than searched.
  if (records->indexed()) {
    records->index.remove(it->first);
  } else {
    records->index.clear();
  }
  records->filed.clear();  // until the index is rebuilt
  SrmResource* removed = it->second;
  records->map.erase(it);
  return removed;
}

int SrmResourceList::removeResource(SrmResourceType kind, std::string_view id) {
  Records* records = recordsOf(kind);
  if (records == nullptr) return 0;
  auto it = records->map.find(id);
  if (it == records->map.end()) return 0;
  eraseEntry(records, it)->Release();
  return 1;
}

int SrmResourceList::removeResource(SrmResourceType kind, SrmResource* r) {
  Records* records = recordsOf(kind);
  if (records == nullptr || r == nullptr) return 0;
  // Whatever is stored under r's Id goes, even another record with that Id; a missing entry
  // still counts as done.
  auto it = records->map.find(r->getId());
  if (it != records->map.end()) eraseEntry(records, it)->Release();
  return 1;
}

template <class Take>
void SrmResourceList::takeEntries(Take take) {
  for (uint32_t kinds = made_kinds_; kinds != 0; kinds &= kinds - 1) {
    Records* kind = resources_[__builtin_ctz(kinds)];
    // The entries are out of the list before their records are handed on, as a record released
    // may reach back into the list; their nodes stay in the list's store.
    LeftToPool taken(kind->map.get_allocator());
    taken.map.swap(kind->map);
    kind->index.release();  // rather than emptied slot by slot; the next filing makes it anew
    kind->filed.clear();
    for (const auto& entry : taken.map) take(entry.second);
  }
}

int SrmResourceList::removeAllResources() {
  takeEntries([](SrmResource* r) { r->Release(); });
  return 1;
}

void SrmResourceList::takeAllResources(std::vector<SrmResource*>* records) {
  takeEntries([records](SrmResource* r) { records->push_back(r); });
}

int SrmResourceList::mergeResources(const SrmResourceList* other) {
  if (other == nullptr) return 0;
  std::vector<SrmResource*> records;
  for (const auto& kind : other->resources_) {
    if (kind == nullptr) continue;
    for (const auto& entry : kind->map) records.push_back(entry.second);
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
  for (const auto& kind : resources_) {
    if (kind != nullptr) count += kind->map.size();
  }
  return static_cast<int>(count);
}

int SrmResourceList::getTypeCount(SrmResourceType kind) const {
  const IdMap* records = getSrmResourceIdMap(kind);
  return records == nullptr ? 0 : static_cast<int>(records->size());
}

int SrmResourceList::getResourceTypeCount(SrmResourceType /*kind*/) const {
  return static_cast<int>(std::count_if(resources_.begin(), resources_.end(),
                                        [](const auto& kind) { return kind != nullptr; }));
}

void SrmResourceList::setAllResourceState(long mask) {
  for (auto& kind : resources_) {
    if (kind == nullptr) continue;
    for (auto& entry : kind->map) {
      SrmResource* r = entry.second;
      r->setFlags(static_cast<int32_t>(r->getFlags() | mask));
    }
  }
}

void SrmResourceList::unsetAllResourceState(long mask) {
  for (auto& kind : resources_) {
    if (kind == nullptr) continue;
    for (auto& entry : kind->map) {
      SrmResource* r = entry.second;
      r->setFlags(static_cast<int32_t>(r->getFlags() & ~mask));
    }
  }
}
