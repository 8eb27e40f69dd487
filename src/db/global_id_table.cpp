#include "db/global_id_table.h"

#include <cstring>
#include <new>

#include "model/srm_id_index.h"
#include "tuple/same_bytes.h"

namespace {
constexpr size_t kMinimumSlots = 16;
}  // namespace

size_t SrmGlobalIdTable::probe(std::string_view gid, size_t hash) const noexcept {
  const size_t mask = slots_.size() - 1;
  for (size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& slot = slots_[i];
    if (slot.text == nullptr) return i;
    if (slot.hash == hash && slot.gid_size == gid.size() &&
        SrmSameBytes(slot.text, gid.data(), gid.size())) {
      return i;
    }
  }
}

void SrmGlobalIdTable::reserveOneMore() {
  if ((size_ + 1) * 2 <= slots_.size()) return;
  std::vector<Slot> grown(slots_.empty() ? kMinimumSlots : slots_.size() * 2,
                          Slot{0, nullptr, 0, 0});
  const size_t mask = grown.size() - 1;
  for (const Slot& slot : slots_) {
    if (slot.text == nullptr) continue;
    size_t i = slot.hash & mask;
    while (grown[i].text != nullptr) i = (i + 1) & mask;
    grown[i] = slot;
  }
  slots_.swap(grown);
}

const char* SrmGlobalIdTable::keep(std::string_view gid, std::string_view id) {
  char* text = text_.allocate(gid.size() + id.size());
  std::memcpy(text, gid.data(), gid.size());
  std::memcpy(text + gid.size(), id.data(), id.size());
  return text;
}

bool SrmGlobalIdTable::add(std::string_view gid, std::string_view id) {
  const size_t hash = SrmIdHash(gid);
  if (!slots_.empty() && slots_[probe(gid, hash)].text != nullptr) return false;
  reserveOneMore();
  const char* text = keep(gid, id);
  slots_[probe(gid, hash)] = Slot{hash, text, gid.size(), id.size()};
  ++size_;
  return true;
}

std::string_view SrmGlobalIdTable::find(std::string_view gid) const noexcept {
  if (slots_.empty()) return std::string_view();
  const Slot& slot = slots_[probe(gid, SrmIdHash(gid))];
  if (slot.text == nullptr) return std::string_view();
  return std::string_view(slot.text + slot.gid_size, slot.id_size);
}
