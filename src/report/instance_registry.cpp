// InstanceRegistry: open addressing with linear probing. Entries are never removed, only set
// to kUnknown, so a probe needs no markers of removed entries; an address that comes back
// after its instance was freed takes up its old entry again.
#include "report/instance_registry.h"

#include <cstdint>

namespace {

constexpr size_t kMinimumSlots = 64;

// Addresses of heap blocks share their low bits; the multiplication spreads the rest.
size_t Hash(const nmspc_cim::CCIMInstance* instance) {
  uint64_t bits = reinterpret_cast<uintptr_t>(instance) >> 4;
  return static_cast<size_t>((bits * 0x9E3779B97F4A7C15ULL) >> 20);
}

}  // namespace

size_t InstanceRegistry::probe(const nmspc_cim::CCIMInstance* instance) const noexcept {
  const size_t mask = slots_.size() - 1;
  for (size_t i = Hash(instance) & mask;; i = (i + 1) & mask) {
    if (slots_[i].instance == nullptr || slots_[i].instance == instance) return i;
  }
}

void InstanceRegistry::grow() {
  std::vector<Slot> grown(slots_.empty() ? kMinimumSlots : slots_.size() * 2,
                          Slot{nullptr, State::kUnknown});
  grown.swap(slots_);  // nothing below can fail
  for (const Slot& slot : grown) {
    if (slot.instance != nullptr) slots_[probe(slot.instance)] = slot;
  }
}

void InstanceRegistry::set(nmspc_cim::CCIMInstance* instance, State state) {
  if (instance == nullptr) return;
  size_t at = slots_.empty() ? 0 : probe(instance);
  if (!slots_.empty() && slots_[at].instance != nullptr) {
    slots_[at].state = state;
    return;
  }
  if (state == State::kUnknown) return;  // nothing to remember
  if ((used_ + 1) * 2 > slots_.size()) {
    grow();
    at = probe(instance);  // the free slot found before moved with the table
  }
  slots_[at] = Slot{instance, state};
  ++used_;
}

InstanceRegistry::State InstanceRegistry::stateOf(
    const nmspc_cim::CCIMInstance* instance) const noexcept {
  if (slots_.empty() || instance == nullptr) return State::kUnknown;
  const Slot& slot = slots_[probe(instance)];
  return slot.instance != nullptr ? slot.state : State::kUnknown;
}

void InstanceRegistry::clear() noexcept {
  for (Slot& slot : slots_) slot = Slot{nullptr, State::kUnknown};
  used_ = 0;
}
