// One instance or association built in a single call: a fresh builder, Initialize with the
// key table, every property of a recipe in order, GetCIMInstance, the builder released. The passes
// describe what they build as a recipe and test one pointer.
#ifndef RESDB_REPORT_INSTANCE_BUILD_H_
#define RESDB_REPORT_INSTANCE_BUILD_H_

#include <string>
#include <utility>
#include <vector>

#include "model/text_store.h"
#include "report/rm_cim_report.h"

// One property of a recipe. A reference (type CIM_REFERENCE) points to `reference` and has no
// text; every other type carries its value as text. A recipe is a description used at once: the
// text of a string the caller names (an lvalue) or of a literal is borrowed, not copied, so the
// recipe must be built and used while those strings live (in one statement or one loop body);
// a string made on the spot (an rvalue) is kept in the recipe itself. A recipe made by Null
// has no value at all: a NULL property. The name is a literal: the records keep it as it is.
struct RM_PropertyRecipe {
  RM_PropertyRecipe(const char* name, const char* borrowed, CIMType type, bool is_key,
                    bool is_natural_name, const CCIMInstance* reference = nullptr)
      : name(name),
        type(type),
        is_key(is_key),
        is_natural_name(is_natural_name),
        reference(reference),
        borrowed_(borrowed) {}
  RM_PropertyRecipe(const char* name, const std::string& borrowed, CIMType type, bool is_key,
                    bool is_natural_name)
      : RM_PropertyRecipe(name, borrowed.c_str(), type, is_key, is_natural_name) {}
  RM_PropertyRecipe(const char* name, const SrmText& borrowed, CIMType type, bool is_key,
                    bool is_natural_name)
      : RM_PropertyRecipe(name, borrowed.c_str(), type, is_key, is_natural_name) {}
  RM_PropertyRecipe(const char* name, std::string&& kept, CIMType type, bool is_key,
                    bool is_natural_name)
      : RM_PropertyRecipe(name, nullptr, type, is_key, is_natural_name) {
    kept_ = std::move(kept);
  }

  // A property of type without a value.
  static RM_PropertyRecipe Null(const char* name, CIMType type) {
    RM_PropertyRecipe recipe(name, nullptr, type, false, false);
    recipe.null_ = true;
    return recipe;
  }

  // The value's text (borrowed or kept); "" for a reference; null for a NULL property.
  const char* text() const {
    if (null_) return nullptr;
    return borrowed_ != nullptr ? borrowed_ : kept_.c_str();
  }

  const char* name;
  CIMType type;
  bool is_key;
  bool is_natural_name;
  bool kept = false;  // the text lives as long as the records, which keep it (RM_KeptKey)
  const CCIMInstance* reference;

 private:
  const char* borrowed_;  // null when the text is kept_ (or there is none)
  std::string kept_;
  bool null_ = false;  // no value
};

// Shorthands for the common shapes. Each takes the value as a literal, a string or record text
// field to borrow (an lvalue) or a string to keep (an rvalue).
template <class Text>
RM_PropertyRecipe RM_Text(const char* name, Text&& value, CIMType type = nmspc_cim::CIM_STRING) {
  return RM_PropertyRecipe(name, std::forward<Text>(value), type, false, false);
}
template <class Text>
RM_PropertyRecipe RM_Key(const char* name, Text&& value) {
  return RM_PropertyRecipe(name, std::forward<Text>(value), nmspc_cim::CIM_STRING, true, false);
}
template <class Text>
RM_PropertyRecipe RM_NaturalKey(const char* name, Text&& value) {
  return RM_PropertyRecipe(name, std::forward<Text>(value), nmspc_cim::CIM_STRING, true, true);
}
// A key whose text lives as long as the records (a literal, or a text the converter keeps for
// them): the records keep the text itself, not a copy.
inline RM_PropertyRecipe RM_KeptKey(const char* name, const char* lasting) {
  RM_PropertyRecipe recipe(name, lasting, nmspc_cim::CIM_STRING, true, false);
  recipe.kept = true;
  return recipe;
}
inline RM_PropertyRecipe RM_KeyRef(const char* name, const CCIMInstance* target) {
  return RM_PropertyRecipe(name, "", nmspc_cim::CIM_REFERENCE, true, false, target);
}

// Builds the instance of class_name (a literal: the records keep it) in arena (null: none) with the
// first key_count names of key_names declared and the properties of recipe set in order. Returns
// the instance (the caller owns it) and stores the builder's natural name in *natural_name (when
// given); null at the first failure, which the builder has logged and raised, and then nothing is
// left to free.
CCIMInstance* RM_BuildInstance(nmspc_cim::CCIMArena* arena, const std::string& provider_name,
                               const char* class_name, int key_count, const char* const* key_names,
                               const std::vector<RM_PropertyRecipe>& recipe,
                               std::string* natural_name = nullptr);

#endif  // RESDB_REPORT_INSTANCE_BUILD_H_
