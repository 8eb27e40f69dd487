// InstanceRegistry: what the report converter knows about each CIM instance it has met, kept
// in one flat table keyed by the instance's address: held by the converter, handed to the
// instance list, or gone (freed, so that a new instance may come to the same address). The
// report meets tens of thousands of instances; a flat table costs no allocation per instance
// and reads one cache line a lookup.
// Ownership: the registry only records addresses; it never frees an instance. What it holds
// is its table, released with it.
#ifndef RESDB_REPORT_INSTANCE_REGISTRY_H_
#define RESDB_REPORT_INSTANCE_REGISTRY_H_

#include <cstddef>
#include <vector>

#include "cimapi.h"

class InstanceRegistry {
 public:
  enum class State : unsigned char {
    kUnknown,  // never met, or gone: freed, or its address reused by a new instance
    kHeld,     // built by the converter and not yet in the list
    kListed,   // in the instance list, which owns it
  };

  InstanceRegistry() = default;
  InstanceRegistry(const InstanceRegistry&) = delete;
  InstanceRegistry& operator=(const InstanceRegistry&) = delete;

  // Records the instance's state. Throws std::bad_alloc when the table cannot grow for an
  // instance not recorded yet, the registry then as it was; changing the state of a recorded
  // instance never throws.
  void set(nmspc_cim::CCIMInstance* instance, State state);
  State stateOf(const nmspc_cim::CCIMInstance* instance) const noexcept;
  // Calls visit(instance) for each instance in state kHeld, in no particular order.
  template <typename Visit>
  void forEachHeld(Visit visit) const {
    for (const Slot& slot : slots_) {
      if (slot.instance != nullptr && slot.state == State::kHeld) visit(slot.instance);
    }
  }
  // Forgets every instance; the table keeps its room.
  void clear() noexcept;

 private:
  struct Slot {
    nmspc_cim::CCIMInstance* instance;  // null: a free slot
    State state;
  };

  // The slot of instance, or the free slot where the probe for it ended.
  size_t probe(const nmspc_cim::CCIMInstance* instance) const noexcept;
  void grow();

  std::vector<Slot> slots_;  // a power of two in size, at most half in use
  size_t used_ = 0;
};

#endif  // RESDB_REPORT_INSTANCE_REGISTRY_H_
