// SrmResourceList: the container of records, indexed by kind, then by Id (byte order). It
// holds one reference on every record it stores and releases it when the entry goes. Records
// are shared between lists by reference counting, never copied. A kind's entry, once made,
// stays until the list is destroyed (possibly with an empty Id map). Beside each kind's Id map,
// which gives the order, a hash index over its entries answers the lookups by Id once the kind
// holds kIndexedCount records; the list keeps both in step. An entry inserted or erased through
// getSrmResourceIdMap instead is noticed by the count of entries: the kind is then looked up in
// its map until the list next files a record of the kind, which rebuilds the index. An indexed
// kind's records are also kept in an array, in the order they were filed, for walks in no
// particular order that step through the array instead of through the tree. The array is in
// step while it holds as many records as the map; replacing or erasing a record empties it until
// the index is rebuilt. A stored record is replaced through addResource only, never by writing
// to its map entry: an entry's key views the Id text of the record it holds (SrmIdKey). The list
// keeps its kinds in a text store it holds a reference on: each kind and its entries' nodes (from
// the kind's pool) stay there until the store ends. A list that lasts as long as the records it
// holds (a database's, a record's child lists) uses the store of the first record it files, so that
// ending it frees no memory piece by piece; any other list has a store of its own, which goes with
// it. A removed entry's node goes back to the pool for the next entry; the nodes of the entries
// removeAllResources takes out all at once stay.
#ifndef RESDB_MODEL_SRM_RESOURCE_LIST_H_
#define RESDB_MODEL_SRM_RESOURCE_LIST_H_

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "model/node_pool.h"
#include "model/srm_id_index.h"
#include "model/srm_resource.h"
#include "model/text_arena.h"

class SrmResourceList {
 public:
  // Ids compared as bytes, with any string or view of one.
  struct IdLess {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const { return a < b; }
  };
  // Entries filed by the list take their nodes from the kind's pool, in the list's store; a copy
  // of the map, or an entry inserted through it, takes them from operator new. Keys view their
  // records' Ids: a copy's keys stay valid only while the list holds the records.
  using IdMap = std::map<SrmIdKey, SrmResource*, IdLess,
                         SrmPoolAllocator<std::pair<const SrmIdKey, SrmResource*>>>;

  // Where the list keeps its kinds: in a store of its own, or in the store of the first record
  // it files, for a list that lasts as long as its records do. Only a list with a store of its
  // own may be made and dropped over and over: a list that shares a store leaves its room there.
  enum class KindRoom { kOwnStore, kFirstRecordStore };

  // db: the database that records merged into this list are attached to; borrowed, may be null.
  explicit SrmResourceList(SrmResourceDatabase* db = nullptr, KindRoom room = KindRoom::kOwnStore);
  SrmResourceList(const SrmResourceList&) = delete;
  SrmResourceList& operator=(const SrmResourceList&) = delete;
  // Releases every stored record once, then the list's store.
  ~SrmResourceList();

  void setDb(SrmResourceDatabase* db) { db_ = db; }
  SrmResourceDatabase* getDb() const { return db_; }

  // Stores r under its kind and Id and takes a reference; a different record stored under the
  // same key is replaced (and released). 0 for null r, an empty Id, or kind 0 or past
  // SRM_ALIAS (no list has room for such a kind).
  int addResource(SrmResource* r);
  // The same, but the list's reference of a replaced record is handed to the caller through
  // *replaced (null when nothing was replaced) instead of being released.
  int addResource(SrmResource* r, SrmResource** replaced);
  // The record stored under kind and id, borrowed; null when none.
  SrmResource* findResource(SrmResourceType kind, std::string_view id) const;
  // findResource for each of the ids[0..count) (views, or records' text fields), into
  // found[0..count), the lookups made side by side so that their cache misses overlap.
  void findResources(SrmResourceType kind, const std::string_view* ids, size_t count,
                     SrmResource** found) const;
  void findResources(SrmResourceType kind, const SrmText* const* ids, size_t count,
                     SrmResource** found) const;
  // Removes and releases the entry; 0 when the kind has no entry or the id is not stored.
  int removeResource(SrmResourceType kind, std::string_view id);
  // Removes the entry stored under r's Id within kind, if any. 0 when the kind has no entry or
  // r is null; 1 otherwise, whether or not an entry was erased.
  int removeResource(SrmResourceType kind, SrmResource* r);
  // Releases every record; the kind entries stay, and so does the room the entries took (it
  // goes with the list). Returns 1.
  int removeAllResources();
  // Moves every stored record's reference into *records, in kind then Id order, releasing
  // nothing; the kinds stay, empty. The caller has made room in *records for every record.
  void takeAllResources(std::vector<SrmResource*>* records);
  // Merges every record of other into this list: a record whose key is already here is merged
  // into the stored one (mergeResource), others are added and linked to this list's database.
  // 0 for a null list, or at the first merge or add that fails (no rollback).
  int mergeResources(const SrmResourceList* other);
  // The same for one kind only; 0 as well when other has no entry for the kind.
  int mergeResources(const SrmResourceList* other, SrmResourceType kind);

  int getResourceCount() const;
  int getTypeCount(SrmResourceType kind) const;
  // The number of kinds with an entry (the argument is not used).
  int getResourceTypeCount(SrmResourceType kind) const;
  // Calls visit(record) for each record of kind, in an order of the list's choosing (Id
  // order, or the order the records were filed). visit must not add or remove records of kind
  // in this list.
  template <class Visit>
  void forEachInAnyOrder(SrmResourceType kind, Visit visit);

  // The list's own Id map for kind (not a copy), or null when the kind has no entry.
  IdMap* getSrmResourceIdMap(SrmResourceType kind) {
    Records* records = recordsOf(kind);
    return records == nullptr ? nullptr : &records->map;
  }
  const IdMap* getSrmResourceIdMap(SrmResourceType kind) const {
    const Records* records = recordsOf(kind);
    return records == nullptr ? nullptr : &records->map;
  }

  // ORs mask into (or clears it from) the flags of every stored record.
  void setAllResourceState(long mask);
  void unsetAllResourceState(long mask);

 private:
  // Takes the entries out of every kind, each kind's before its records are handed on, and
  // hands take(record) each record with the reference its entry held.
  template <class Take>
  void takeEntries(Take take);
  template <class Id>
  void findEach(SrmResourceType kind, const Id* ids, size_t count, SrmResource** found) const;
  // A kind with fewer records is looked up in its map alone.
  static constexpr size_t kIndexedCount = 16;

  // The records of one kind: the Id map, the index over its entries and the array of the
  // records (borrowed: the map holds their references, which whoever drops the kind releases
  // first). The kind lives in the list's store, and the map's nodes come from the store's arena
  // (room), which keeps them till it ends: the map itself is never taken apart node by node, so
  // it lives in a union whose member is not destroyed.
  struct Records {
    explicit Records(SrmTextArena* room) : pool(room), map(IdMap::allocator_type(&pool)) {}
    ~Records() {}  // NOLINT: the map is left to the store (above)
    Records(const Records&) = delete;
    Records& operator=(const Records&) = delete;

    SrmNodePool pool;  // the map's nodes
    union {
      IdMap map;
    };
    SrmIdIndex index;
    std::vector<SrmResource*> filed;
    // True when the index is in use: it holds exactly the map's entries, and there are some.
    bool indexed() const { return index.size() != 0 && index.size() == map.size(); }
    // Makes the index hold the map's entries again, and filed the map's records, each with room
    // for one more. Throws std::bad_alloc, leaving both empty (the map then answers alone).
    void reindex();
    // True when filed holds every record of the map.
    bool filedAll() const { return filed.size() == map.size(); }
  };
  // One slot per kind, indexed by the kind's value; a kind outside it never has an entry.
  static constexpr int kKindSlots = SRM_ALIAS + 1;
  using KindSlots = std::array<Records*, kKindSlots>;  // owned; the list ends them
  static_assert(kKindSlots <= 32, "a bit of made_kinds_ for each slot");

  // The records of kind, or null when the kind has no entry.
  Records* recordsOf(SrmResourceType kind) {
    return kind < 0 || kind >= kKindSlots ? nullptr : resources_[kind];
  }
  const Records* recordsOf(SrmResourceType kind) const {
    return kind < 0 || kind >= kKindSlots ? nullptr : resources_[kind];
  }
  // Takes the entry at it out of records' map and index; returns its record, whose reference
  // the caller now holds.
  static SrmResource* eraseEntry(Records* records, IdMap::iterator it);
  // The store the list keeps its kinds in, taken on the first call: r's when the list shares its
  // first record's store and r has one, else a new one. Throws std::bad_alloc.
  SrmTextStore* storeFor(const SrmResource* r);

  KindSlots resources_{};    // null for a kind without an entry; walked in kind order
  uint32_t made_kinds_ = 0;  // bit k set while resources_[k] is not null
  SrmResourceDatabase* db_;  // borrowed
  KindRoom kind_room_;
  SrmTextStore* store_ = nullptr;  // one reference held once the first kind is made
};

template <class Visit>
void SrmResourceList::forEachInAnyOrder(SrmResourceType kind, Visit visit) {
  Records* records = recordsOf(kind);
  if (records == nullptr) return;
  if (records->filedAll()) {
    for (SrmResource* r : records->filed) visit(r);
  } else {
    for (auto& entry : records->map) visit(entry.second);
  }
}

#endif  // RESDB_MODEL_SRM_RESOURCE_LIST_H_
