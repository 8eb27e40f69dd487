// SrmGlobalIdTable: the global ids of one kind, each with the Id of the record it was first
// entered for, so that a record collected under another name is matched with the stored one.
// An entry is never replaced nor removed. Open addressing over slots that point into text the
// table keeps in an arena of its own; it owns the slots and the text, and borrows nothing.
#ifndef RESDB_DB_GLOBAL_ID_TABLE_H_
#define RESDB_DB_GLOBAL_ID_TABLE_H_

#include <cstddef>
#include <string_view>
#include <vector>

#include "model/text_arena.h"

class SrmGlobalIdTable {
 public:
  SrmGlobalIdTable() = default;
  SrmGlobalIdTable(const SrmGlobalIdTable&) = delete;
  SrmGlobalIdTable& operator=(const SrmGlobalIdTable&) = delete;

  // Enters gid -> id; false, changing nothing, when gid is entered already. Throws
  // std::bad_alloc, the entries unchanged.
  bool add(std::string_view gid, std::string_view id);
  // The Id entered for gid, or an empty view when gid is not entered.
  std::string_view find(std::string_view gid) const noexcept;

 private:
  struct Slot {
    size_t hash;
    const char* text;  // the gid, then the Id; null for a free slot
    size_t gid_size;
    size_t id_size;
  };

  // The slot of gid's entry, or of the free slot where the probe for it ended.
  size_t probe(std::string_view gid, size_t hash) const noexcept;
  // Makes room for one more entry. Throws std::bad_alloc, the table unchanged.
  void reserveOneMore();
  // A copy of gid and id, one after the other, in the table's text. Throws std::bad_alloc.
  const char* keep(std::string_view gid, std::string_view id);

  std::vector<Slot> slots_;  // a power of two in size, at most half in use, or empty
  size_t size_ = 0;
  SrmTextArena text_;  // each entry's gid and Id, one after the other
};

#endif  // RESDB_DB_GLOBAL_ID_TABLE_H_
