// SrmIdKey: an Id as a resource list files it. SrmIdIndex: a hash index over the entries of an
// Id map (std::map<SrmIdKey, SrmResource*>) that finds an entry by its key in constant time,
// where the map walks a tree of string comparisons. It borrows the entries: it keeps pointers
// to them (a std::map never moves its entries) and owns nothing else but its table. Whoever
// inserts into or erases from the map tells the index, so that it never holds an entry the map
// no longer has.
#ifndef RESDB_MODEL_SRM_ID_INDEX_H_
#define RESDB_MODEL_SRM_ID_INDEX_H_

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/text_store.h"

class SrmResource;

// The key of an Id map's entry: a view of the Id text of the record filed under it, whose text
// lives as long as the record does (and the entry holds the record). Whoever replaces the record
// of an entry points the key at the new record's Id (the same bytes, perhaps elsewhere); a key
// made any other way must view text that outlives the entry.
class SrmIdKey {
 public:
  SrmIdKey(std::string_view id) : id_(id) {}         // NOLINT(google-explicit-constructor): any Id
  operator std::string_view() const { return id_; }  // NOLINT(google-explicit-constructor)
  // Points the key at same_id, text equal to what it views: the map's order is unchanged.
  void repoint(std::string_view same_id) const { id_ = same_id; }

 private:
  mutable std::string_view id_;  // changes place only, never bytes: the map may hold it const
};

// The hash of an Id the index uses, for other tables of Ids.
size_t SrmIdHash(std::string_view key) noexcept;

class SrmIdIndex {
 public:
  using Entry = std::pair<const SrmIdKey, SrmResource*>;

  SrmIdIndex() = default;
  SrmIdIndex(const SrmIdIndex&) = delete;
  SrmIdIndex& operator=(const SrmIdIndex&) = delete;

  // Makes room for one more entry. Throws std::bad_alloc, leaving the index as it was.
  void reserveOneMore() {
    if ((size_ + 1) * 2 > slots_.size()) grow();
  }
  // Makes room for count entries in all, in one step. Throws std::bad_alloc, leaving the index
  // as it was.
  void reserve(size_t count);
  // Enters entry, whose key must not be entered yet, into the room reserveOneMore made.
  void add(Entry* entry) noexcept;
  // The same, with the key's hash already known (SrmIdHash of the key), as find gave it.
  void add(Entry* entry, size_t hash) noexcept;
  // Removes the entry with key; nothing happens when none is entered.
  void remove(std::string_view key) noexcept;
  // The entry with key, or null.
  Entry* find(std::string_view key) const noexcept;
  // The same for a key whose hash (SrmIdHash of the key) the caller keeps, to add it next
  // without hashing it again.
  Entry* find(std::string_view key, size_t hash) const noexcept;
  // The entries with the keys *keys[0..count), null where none, into found[0..count). The
  // lookups go side by side, one step of all of them at a time, so that their cache misses
  // overlap instead of following one another.
  void findMany(const std::string_view* keys, size_t count, Entry** found) const noexcept;
  // The same, giving the entries' records (null where none); the keys as views or as records'
  // text fields.
  void findValues(const std::string_view* keys, size_t count, SrmResource** found) const noexcept;
  void findValues(const SrmText* const* keys, size_t count, SrmResource** found) const noexcept;
  // Removes every entry; the table keeps its room.
  void clear() noexcept;
  // Removes every entry and gives the table's room back.
  void release() noexcept {
    std::vector<Slot>().swap(slots_);
    size_ = 0;
  }
  size_t size() const { return size_; }

 private:
  struct Slot {
    size_t hash;
    Entry* entry;  // null for a free slot
  };

  struct ValueStore;
  friend size_t SrmIdHash(std::string_view key) noexcept;
  static inline size_t Hash(std::string_view key) noexcept;
  // findMany's walk: store(i, entry) for each key i, entry null where none.
  template <class Key, class Store>
  inline void findEach(const Key* keys, size_t count, Store store) const noexcept;
  // The slot of key's entry, or of the free slot where the probe for it ended.
  inline size_t probe(std::string_view key, size_t hash) const noexcept;
  void place(Slot slot) noexcept;
  // Makes the table four times as large (or makes its first), placing every entry anew: fewer
  // placings as the table grows, and shorter probes, for at most twice the room.
  void grow();
  // Makes the table slot_count slots (a power of two, more than twice the entries) and places
  // every entry anew.
  void resize(size_t slot_count);

  std::vector<Slot> slots_;  // a power of two in size, at most half in use
  size_t size_ = 0;
};

#endif  // RESDB_MODEL_SRM_ID_INDEX_H_
