// RecordTable<Value>: a value for each of a set of records, found by the record's address
// (compared, never followed). Room is made once for a known number of records. It borrows the
// records and owns only its table.
#ifndef RESDB_DB_RECORD_TABLE_H_
#define RESDB_DB_RECORD_TABLE_H_

#include <cstddef>
#include <cstdint>
#include <new>
#include <vector>

class SrmResource;

template <class Value>
class RecordTable {
 public:
  RecordTable() = default;
  RecordTable(const RecordTable&) = delete;
  RecordTable& operator=(const RecordTable&) = delete;

  // Makes room for count records, forgetting any held. False, with no room, without the memory.
  bool reserve(size_t count) noexcept {
    size_t size = 16;
    while (size < count * 2) size *= 2;
    try {
      slots_.assign(size, Slot{nullptr, Value()});
    } catch (const std::bad_alloc&) {
      slots_.clear();
      room_ = 0;
      return false;
    }
    room_ = count;
    return true;
  }

  // Gives key value when key has none yet and room is left; true when it did.
  bool add(const SrmResource* key, Value value) noexcept {
    if (room_ == 0 || key == nullptr) return false;
    const size_t mask = slots_.size() - 1;
    size_t i = home(key);
    for (; slots_[i].key != nullptr; i = (i + 1) & mask) {
      if (slots_[i].key == key) return false;
    }
    slots_[i] = Slot{key, value};
    --room_;
    return true;
  }

  // Key's value, or null when key has none.
  const Value* find(const SrmResource* key) const noexcept {
    if (slots_.empty() || key == nullptr) return nullptr;
    const size_t mask = slots_.size() - 1;
    for (size_t i = home(key); slots_[i].key != nullptr; i = (i + 1) & mask) {
      if (slots_[i].key == key) return &slots_[i].value;
    }
    return nullptr;
  }

 private:
  struct Slot {
    const SrmResource* key;  // null for a free slot
    Value value;
  };

  size_t home(const SrmResource* key) const noexcept {
    // The low bits of a heap address hardly vary; the multiply spreads the others.
    const uint64_t mixed = (reinterpret_cast<uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ULL;
    return static_cast<size_t>(mixed >> 32) & (slots_.size() - 1);
  }

  std::vector<Slot> slots_;  // a power of two in size, at most half in use, or empty
  size_t room_ = 0;          // records that may still be added
};

#endif  // RESDB_DB_RECORD_TABLE_H_
