// The link every pass makes between two filed instances: look both ends up, then build the
// association between them.
#include "report/qdx_report.h"

int QDX_Report::LinkInstances(const char* class_name, int key_count, const char* const* key_names,
                              const EndLookup& first, const EndLookup& second,
                              const MapKey& map_key, std::initializer_list<ExtraProperty> extra) {
  // Both ends are looked up even when the first is missing, so that each missing end is
  // warned about.
  CCIMInstance* first_instance = FindCIMInstance(first.id, first.category);
  CCIMInstance* second_instance = FindCIMInstance(second.id, second.category);
  if (first_instance == nullptr || second_instance == nullptr) return -1;
  CCIMInstance* association =
      CreateAssociation(class_name, key_count, key_names, {first.role, first_instance},
                        {second.role, second_instance}, extra);
  if (association == nullptr) return 0;
  // The whole key goes straight to the end of the keys' text.
  std::string& keys = association_keys_;
  const size_t offset = keys.size();
  keys.append(map_key.first).push_back('~');
  keys.append(map_key.second);
  if (map_key.tail != nullptr) keys.append("~").append(map_key.tail);
  keys.push_back('\0');
  keys.append(class_name).push_back('\0');
  keys.push_back(static_cast<char>('0' + first.category));
  keys.push_back(static_cast<char>('0' + second.category));
  associations_.push_back({offset, keys.size() - offset, association});
  return 1;
}
