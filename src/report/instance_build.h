// One instance or association built in a single call: a fresh builder, Initialize with the
// key table, every property of a recipe in order, GetCIMInstance, Release. The passes describe
// what they build as a recipe and test one pointer.
#ifndef RESDB_REPORT_INSTANCE_BUILD_H_
#define RESDB_REPORT_INSTANCE_BUILD_H_

#include <string>
#include <utility>
#include <vector>

#include "report/rm_cim_report.h"

// One property of a recipe. A reference (type CIM_REFERENCE) points to `reference` and
// ignores `value`; every other type carries `value` as text.
struct RM_PropertyRecipe {
  const char* name;
  std::string value;
  CIMType type;
  bool is_key;
  bool is_natural_name;
  const CCIMInstance* reference;
};

// Shorthands for the common shapes.
inline RM_PropertyRecipe RM_Text(const char* name, std::string value,
                                 CIMType type = nmspc_cim::CIM_STRING) {
  return RM_PropertyRecipe{name, std::move(value), type, false, false, nullptr};
}
inline RM_PropertyRecipe RM_Key(const char* name, std::string value) {
  return RM_PropertyRecipe{name, std::move(value), nmspc_cim::CIM_STRING, true, false, nullptr};
}
inline RM_PropertyRecipe RM_NaturalKey(const char* name, std::string value) {
  return RM_PropertyRecipe{name, std::move(value), nmspc_cim::CIM_STRING, true, true, nullptr};
}
inline RM_PropertyRecipe RM_KeyRef(const char* name, const CCIMInstance* target) {
  return RM_PropertyRecipe{name, std::string(), nmspc_cim::CIM_REFERENCE, true, false, target};
}

// Builds the instance of class_name with the first key_count names of key_names declared and
// the properties of recipe set in order. Returns the instance (the caller owns it) and stores
// the builder's natural name in *natural_name (when given); null at the first failure, which
// the builder has logged and raised, and then nothing is left to free.
CCIMInstance* RM_BuildInstance(const std::string& provider_name, const std::string& class_name,
                               int key_count, const char* const* key_names,
                               const std::vector<RM_PropertyRecipe>& recipe,
                               std::string* natural_name = nullptr);

#endif  // RESDB_REPORT_INSTANCE_BUILD_H_
