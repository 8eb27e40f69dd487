// Helpers for the CIM-XML marshaller's tests: owned records of the CIM client library, the
// expected text of indented lines, and this machine's host name.
#ifndef RESDB_TESTS_CIMXML_MARSHALL_TEST_UTIL_H_
#define RESDB_TESTS_CIMXML_MARSHALL_TEST_UTIL_H_

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "cimapi.h"
#include "cimxml/sbuf.h"

namespace marshall_test {

using namespace nmspc_cim;

struct BufferFree {
  void operator()(sbuf* b) const { sbufDestroy(b); }
};
struct ListFree {
  void operator()(CCIMList* l) const { cim_freeInstanceList(l); }
};
struct InstanceFree {
  void operator()(CCIMInstance* i) const { cim_freeInstance(i); }
};
struct PathFree {
  void operator()(CCIMObjectPath* p) const { cim_freeObjectPath(p); }
};
struct PropertyFree {
  void operator()(CCIMProperty* p) const { cim_freeProperty(p); }
};
using Buffer = std::unique_ptr<sbuf, BufferFree>;
using List = std::unique_ptr<CCIMList, ListFree>;
using Instance = std::unique_ptr<CCIMInstance, InstanceFree>;
using Path = std::unique_ptr<CCIMObjectPath, PathFree>;
using Property = std::unique_ptr<CCIMProperty, PropertyFree>;

inline Buffer NewBuffer() {
  return Buffer(sbufCreate(8192));
}

// The buffer's whole text, NUL bytes inside included.
inline std::string Text(const Buffer& b) {
  return std::string(sbufGetString(b.get()), sbufGetSize(b.get()));
}

// The expected text of lines given as (level, element text).
inline std::string Lines(const std::vector<std::pair<int, std::string>>& lines) {
  std::string text;
  for (const auto& line : lines) {
    text += std::string(2 * static_cast<size_t>(line.first), ' ') + line.second + "\r\n";
  }
  return text;
}

inline std::string HostName() {
  char host[256];
  if (gethostname(host, sizeof(host)) != 0) return "";
  host[sizeof(host) - 1] = '\0';
  return host;
}

// Adds a property to the instance (which takes it over).
inline void Add(CCIMInstance* instance, const char* name, CIMType type, const char* value,
                bool key = false) {
  CCIMProperty* p = cim_createProperty(name, type, value, nullptr, key ? CIM_TRUE : CIM_FALSE);
  if (p != nullptr && !cim_addProperty(instance, p)) cim_freeProperty(p);
}

// Adds a reference property naming the instance `to`, in namespace nameSpace (null: the
// library's own namespace; "-" : no namespace at all).
inline void AddReference(CCIMInstance* instance, const char* name, const CCIMInstance* to,
                         bool key = false, const char* nameSpace = nullptr) {
  Path path(cim_createObjectPath(to));
  if (!path) return;
  if (nameSpace != nullptr) {
    free(path->nameSpace);
    path->nameSpace = std::strcmp(nameSpace, "-") == 0 ? nullptr : strdup(nameSpace);
  }
  CCIMProperty* p =
      cim_createProperty(name, CIM_REFERENCE, nullptr, path.get(), key ? CIM_TRUE : CIM_FALSE);
  if (p != nullptr && !cim_addProperty(instance, p)) cim_freeProperty(p);
}

// The first property of the instance named name, or null.
inline CCIMProperty* Find(CCIMInstance* instance, const char* name) {
  for (CCIMList* node = instance->properties; node != nullptr; node = node->next) {
    CCIMProperty* p = static_cast<CCIMProperty*>(node->data);
    if (p != nullptr && std::strcmp(p->name, name) == 0) return p;
  }
  return nullptr;
}

// Appends the instance to the list (which takes it over).
inline void Append(List* list, CCIMInstance* instance) {
  CCIMList* next = cim_addInstance(list->get(), instance);
  if (next == nullptr) {
    cim_freeInstance(instance);
    return;
  }
  list->release();
  list->reset(next);
}

}  // namespace marshall_test

#endif  // RESDB_TESTS_CIMXML_MARSHALL_TEST_UTIL_H_
