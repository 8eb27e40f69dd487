// WrittenIds: the Ids already written during one serialization, compared by content. It
// borrows the text it holds (records' Ids, which must stay in place and unchanged while they
// are in the set) and owns only its table.
#ifndef RESDB_DB_WRITTEN_IDS_H_
#define RESDB_DB_WRITTEN_IDS_H_

#include <cstddef>
#include <string_view>
#include <vector>

class WrittenIds {
 public:
  WrittenIds() = default;
  WrittenIds(const WrittenIds&) = delete;
  WrittenIds& operator=(const WrittenIds&) = delete;

  bool contains(std::string_view id) const noexcept;
  // Adds id, which must not be in the set yet. Throws std::bad_alloc, leaving the set as it was.
  void insert(std::string_view id);

 private:
  struct Slot {
    size_t hash;
    const char* id;  // null for a free slot
    size_t size;
  };
  // The slot holding id, or the free slot where the probe for it ended.
  size_t probe(std::string_view id, size_t hash) const noexcept;

  std::vector<Slot> slots_;  // a power of two in size, at most half in use
  size_t size_ = 0;
};

#endif  // RESDB_DB_WRITTEN_IDS_H_
