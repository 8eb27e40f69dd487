// PathMemo: open addressing with linear probing over the paths' addresses; entries are never
// removed within a document.
#include "cimxml/path_memo.h"

#include <cstdint>
#include <cstdlib>

namespace {

constexpr size_t kMinimumSlots = 1024;

// Addresses of heap blocks share their low bits; the multiplication spreads the rest.
size_t Hash(const void* path) {
  uint64_t bits = reinterpret_cast<uintptr_t>(path) >> 4;
  return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ULL) >> 20);
}

}  // namespace

PathMemo::~PathMemo() {
  free(slots_);
}

size_t PathMemo::probe(const void* path) const {
  const size_t mask = capacity_ - 1;
  for (size_t i = Hash(path) & mask;; i = (i + 1) & mask) {
    if (slots_[i].path == nullptr || slots_[i].path == path) return i;
  }
}

const PathMemo::Place* PathMemo::find(const void* path) const {
  if (capacity_ == 0 || path == nullptr) return nullptr;
  const Slot& slot = slots_[probe(path)];
  return slot.path != nullptr ? &slot.place : nullptr;
}

bool PathMemo::grow() {
  size_t capacity = capacity_ == 0 ? kMinimumSlots : capacity_ * 2;
  auto* slots = static_cast<Slot*>(calloc(capacity, sizeof(Slot)));
  if (slots == nullptr) return false;
  Slot* old = slots_;
  size_t oldCapacity = capacity_;
  slots_ = slots;
  capacity_ = capacity;
  for (size_t i = 0; i < oldCapacity; ++i) {
    if (old[i].path != nullptr) slots_[probe(old[i].path)] = old[i];
  }
  free(old);
  return true;
}

void PathMemo::remember(const void* path, Place place) {
  if (path == nullptr) return;
  if (capacity_ != 0) {
    Slot& slot = slots_[probe(path)];
    if (slot.path != nullptr) {
      slot.place = place;
      return;
    }
  }
  if ((used_ + 1) * 2 > capacity_ && !grow()) return;
  slots_[probe(path)] = Slot{path, place};
  ++used_;
}
