// The converter's instance registry: states kept across the table's growth, addresses that
// come back after their instance was freed, and the walk over what is still held.
#include "report/instance_registry.h"

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using State = InstanceRegistry::State;
using nmspc_cim::CCIMInstance;

// Distinct addresses that are never dereferenced, spaced like heap blocks.
std::vector<CCIMInstance> Instances(size_t count) {
  return std::vector<CCIMInstance>(count, CCIMInstance{nullptr, nullptr});
}

TEST(InstanceRegistryTest, KeepsEveryStateWhileGrowing) {
  std::vector<CCIMInstance> instances = Instances(5000);
  InstanceRegistry registry;
  EXPECT_EQ(State::kUnknown, registry.stateOf(&instances[0]));
  EXPECT_EQ(State::kUnknown, registry.stateOf(nullptr));
  const State cycle[] = {State::kHeld, State::kListed, State::kUnknown};
  for (size_t i = 0; i < instances.size(); ++i) registry.set(&instances[i], cycle[i % 3]);
  for (size_t i = 0; i < instances.size(); ++i) {
    ASSERT_EQ(cycle[i % 3], registry.stateOf(&instances[i])) << i;
  }
  std::set<const CCIMInstance*> held;
  registry.forEachHeld([&](CCIMInstance* instance) { EXPECT_TRUE(held.insert(instance).second); });
  EXPECT_EQ(1667u, held.size());
  for (const CCIMInstance* instance : held) EXPECT_EQ(0, (instance - &instances[0]) % 3);
}

TEST(InstanceRegistryTest, StatesChangeAndAddressesComeBack) {
  std::vector<CCIMInstance> instances = Instances(100);
  InstanceRegistry registry;
  for (CCIMInstance& instance : instances) registry.set(&instance, State::kHeld);
  // Handed to the list, then one freed: a new instance at its address starts unknown and can
  // be held again.
  registry.set(&instances[7], State::kListed);
  registry.set(&instances[8], State::kUnknown);
  EXPECT_EQ(State::kListed, registry.stateOf(&instances[7]));
  EXPECT_EQ(State::kUnknown, registry.stateOf(&instances[8]));
  registry.set(&instances[8], State::kHeld);
  EXPECT_EQ(State::kHeld, registry.stateOf(&instances[8]));
  size_t held = 0;
  registry.forEachHeld([&](CCIMInstance* instance) {
    EXPECT_NE(&instances[7], instance);
    ++held;
  });
  EXPECT_EQ(99u, held);

  registry.clear();
  EXPECT_EQ(State::kUnknown, registry.stateOf(&instances[8]));
  registry.forEachHeld([](CCIMInstance*) { ADD_FAILURE() << "nothing is held after clear"; });
  registry.set(&instances[3], State::kListed);
  EXPECT_EQ(State::kListed, registry.stateOf(&instances[3]));
}

}  // namespace
