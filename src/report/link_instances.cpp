// The link every pass makes between two filed instances: look both ends up, then build the
// association between them.
#include "report/qdx_report.h"

#include <cstring>
#include <utility>

int QDX_Report::LinkInstances(const char* class_name, int key_count, const char* const* key_names,
                              const EndLookup& first, const EndLookup& second, std::string map_key,
                              std::initializer_list<ExtraProperty> extra) {
  // Both ends are looked up even when the first is missing, so that each missing end is
  // warned about.
  CCIMInstance* first_instance = FindCIMInstance(first.id, first.category);
  CCIMInstance* second_instance = FindCIMInstance(second.id, second.category);
  if (first_instance == nullptr || second_instance == nullptr) return -1;
  const size_t class_length = strlen(class_name);
  map_key.reserve(map_key.size() + class_length + 4);
  map_key.push_back('\0');
  map_key.append(class_name, class_length);
  map_key.push_back('\0');
  map_key.push_back(static_cast<char>('0' + first.category));
  map_key.push_back(static_cast<char>('0' + second.category));
  return CreateAssociation(class_name, key_count, key_names, {first.role, first_instance},
                           {second.role, second_instance}, std::move(map_key), extra)
             ? 1
             : 0;
}
