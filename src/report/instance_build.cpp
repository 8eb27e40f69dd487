#include "report/instance_build.h"

#include <utility>

namespace {

// Releases the builder when the build ends, whichever way.
struct BuilderHold {
  RM_CIM_Report* builder;
  ~BuilderHold() { builder->Release(); }
};

}  // namespace

CCIMInstance* RM_BuildInstance(const std::string& provider_name, const std::string& class_name,
                               int key_count, const char* const* key_names,
                               const std::vector<RM_PropertyRecipe>& recipe,
                               std::string* natural_name) {
  BuilderHold hold{new RM_CIM_Report(provider_name)};
  RM_CIM_Report* builder = hold.builder;
  if (!builder->Initialize(class_name, key_count, key_names)) return nullptr;
  for (const RM_PropertyRecipe& p : recipe) {
    const void* value = p.type == nmspc_cim::CIM_REFERENCE
                            ? static_cast<const void*>(p.reference)
                            : static_cast<const void*>(p.value.c_str());
    if (!builder->SetProperty(p.name, value, p.type, p.is_key, p.is_natural_name)) {
      return nullptr;  // the builder frees the instance it still holds
    }
  }
  // The name is copied while the builder still holds the instance, so that running out of
  // memory here cannot lose it.
  std::string name = builder->natural_name;
  CCIMInstance* instance = builder->GetCIMInstance();
  if (instance != nullptr && natural_name != nullptr) *natural_name = std::move(name);
  return instance;
}
