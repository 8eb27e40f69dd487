#include "report/instance_build.h"

#include <utility>

namespace {

// A builder that lives for one build on the stack: no allocation for it, released (with an
// instance it still holds) when the build ends, whichever way.
class LocalBuilder : public RM_CIM_Report {
 public:
  using RM_CIM_Report::RM_CIM_Report;
  ~LocalBuilder() override = default;
};

}  // namespace

CCIMInstance* RM_BuildInstance(nmspc_cim::CCIMArena* arena, const std::string& provider_name,
                               const char* class_name, int key_count, const char* const* key_names,
                               const std::vector<RM_PropertyRecipe>& recipe,
                               std::string* natural_name) {
  LocalBuilder local(provider_name, arena);
  RM_CIM_Report* builder = &local;
  if (!builder->Initialize(class_name, key_count, key_names)) return nullptr;
  for (const RM_PropertyRecipe& p : recipe) {
    const void* value = p.type == nmspc_cim::CIM_REFERENCE ? static_cast<const void*>(p.reference)
                                                           : static_cast<const void*>(p.text());
    if (!builder->SetProperty(p.name, value, p.type, p.is_key, p.is_natural_name, p.kept)) {
      return nullptr;  // the builder frees the instance it still holds
    }
  }
  // The name is taken while the builder still holds the instance: the builder is done with it,
  // and a move cannot run out of memory and lose the instance.
  std::string name = std::move(builder->natural_name);
  CCIMInstance* instance = builder->GetCIMInstance();
  if (instance != nullptr && natural_name != nullptr) *natural_name = std::move(name);
  return instance;
}
