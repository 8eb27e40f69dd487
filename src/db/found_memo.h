// FoundMemo: remembers, for each record of a set known in advance, the record a lookup found for
// it (or that none was found), so that a later pass asking the same question does not look the
// same Id up again. The keys are record addresses, compared and never followed; it borrows both
// records and owns only its table.
#ifndef RESDB_DB_FOUND_MEMO_H_
#define RESDB_DB_FOUND_MEMO_H_

#include <cstddef>
#include <cstdint>
#include <vector>

class SrmResource;

class FoundMemo {
 public:
  // Makes room for up to count keys. Without the memory, the memo remembers nothing (every
  // recall then misses), which costs lookups and never a failure.
  explicit FoundMemo(size_t count) noexcept;
  FoundMemo(const FoundMemo&) = delete;
  FoundMemo& operator=(const FoundMemo&) = delete;

  // Remembers found (null: nothing found) for key; a key past the room made is not remembered.
  void remember(const SrmResource* key, SrmResource* found) noexcept;
  // True, with *found set, when key was remembered.
  bool recall(const SrmResource* key, SrmResource** found) const noexcept;

 private:
  struct Slot {
    const SrmResource* key;  // null for a free slot
    SrmResource* found;
  };
  size_t home(const SrmResource* key) const noexcept;

  std::vector<Slot> slots_;  // a power of two in size, at most half in use, or empty
  size_t room_ = 0;          // keys that may still be remembered
};

// Defined here so that the passes calling them once per record inline them.

inline size_t FoundMemo::home(const SrmResource* key) const noexcept {
  // The low bits of a heap address hardly vary; the multiply spreads the others.
  const uint64_t mixed = (reinterpret_cast<uintptr_t>(key) >> 4) * 0x9E3779B97F4A7C15ULL;
  return static_cast<size_t>(mixed >> 32) & (slots_.size() - 1);
}

inline void FoundMemo::remember(const SrmResource* key, SrmResource* found) noexcept {
  if (room_ == 0 || key == nullptr) return;
  const size_t mask = slots_.size() - 1;
  size_t i = home(key);
  while (slots_[i].key != nullptr && slots_[i].key != key) i = (i + 1) & mask;
  if (slots_[i].key == nullptr) --room_;
  slots_[i] = Slot{key, found};
}

inline bool FoundMemo::recall(const SrmResource* key, SrmResource** found) const noexcept {
  if (slots_.empty() || key == nullptr) return false;
  const size_t mask = slots_.size() - 1;
  for (size_t i = home(key); slots_[i].key != nullptr; i = (i + 1) & mask) {
    if (slots_[i].key == key) {
      *found = slots_[i].found;
      return true;
    }
  }
  return false;
}

#endif  // RESDB_DB_FOUND_MEMO_H_
