// WrittenIds: open addressing with linear probing, never removing.
#include "db/written_ids.h"

#include "model/srm_id_index.h"

size_t WrittenIds::probe(std::string_view id, size_t hash) const noexcept {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.id == nullptr || (slot.hash == hash && std::string_view(slot.id, slot.size) == id))
      return i;
  }
}

bool WrittenIds::contains(std::string_view id) const noexcept {
  return size_ != 0 && slots_[probe(id, SrmIdHash(id))].id != nullptr;
}

void WrittenIds::insert(std::string_view id) {
  if ((size_ + 1) * 2 > slots_.size()) {
    std::vector<Slot> grown(slots_.empty() ? 64 : slots_.size() * 2, Slot{0, nullptr, 0});
    grown.swap(slots_);  // nothing below can fail
    for (const Slot& slot : grown) {
      if (slot.id != nullptr) slots_[probe(std::string_view(slot.id, slot.size), slot.hash)] = slot;
    }
  }
  const size_t hash = SrmIdHash(id);
  slots_[probe(id, hash)] = Slot{hash, id.data(), id.size()};
  ++size_;
}
