// Creation, assembly and release of the records: lists, instances, properties, object paths.
#include <cstdlib>
#include <cstring>

#include "cim_internal.h"
#include "cimapi.h"

namespace nmspc_cim {
namespace {

const char kRootNamespace[] = "root/cimv2";

// Records are allocated together with their name text, right behind the record: one block
// instead of two. The field then points into the block; a text put there later by a caller
// (its own malloc'd copy) is told apart by its address and freed on its own.
template <typename T>
char* embeddedText(T* record) {
  return reinterpret_cast<char*>(record + 1);
}

// A record of type T with room for a copy of text behind it, the copy made and stored in
// *copy (null for null text). Null when the allocation fails (last error set).
template <typename T>
T* allocateWithText(const char* text, char** copy, const char* origin) {
  size_t textSize = text != nullptr ? strlen(text) + 1 : 0;
  T* record = static_cast<T*>(internal::allocate(sizeof(T) + textSize, origin));
  if (record == nullptr) return nullptr;
  *copy = nullptr;
  if (text != nullptr) {
    *copy = embeddedText(record);
    memcpy(*copy, text, textSize);
  }
  return record;
}

// Frees a text field of record unless it is the copy embedded in the record's block.
template <typename T>
void freeText(T* record, char* text) {
  if (text != embeddedText(record)) free(text);
}

// A property's block: the record, then the list node that files it in the one list that owns
// it (an instance's properties or a path's keys), then its name. Adding a property to a list
// therefore never allocates. The property comes first, so the two addresses are the same.
struct PropertyBlock {
  CCIMProperty property;
  CCIMList node;
};

PropertyBlock* blockOf(CCIMProperty* property) {
  return reinterpret_cast<PropertyBlock*>(property);
}

// Puts data into the single node of an empty list; false when *first is not such a list.
bool fillEmptyList(CCIMList* first, void* data) {
  if (first == nullptr || first->data != nullptr || first->next != nullptr) return false;
  first->data = data;
  first->last = first;
  return true;
}

// Links node (its data set, its links null) at the end of the list at *head, starting one
// when *head is null.
void linkAtEnd(CCIMList** head, CCIMList* node) {
  CCIMList* first = *head;
  if (first == nullptr) {
    node->last = node;
    *head = node;
    return;
  }
  CCIMList* tail = first->last;
  if (tail == nullptr || tail->next != nullptr) {  // no tail known: walk to it
    tail = first;
    while (tail->next != nullptr) tail = tail->next;
  }
  tail->next = node;
  first->last = node;
}

// Appends data to the list at *head in a node of its own (filling the single node of an empty
// list). False when a node cannot be allocated; the list is then unchanged.
bool appendNode(CCIMList** head, void* data, const char* origin) {
  if (fillEmptyList(*head, data)) return true;
  CCIMList* node = static_cast<CCIMList*>(internal::allocate(sizeof(CCIMList), origin));
  if (node == nullptr) return false;
  *node = CCIMList{data, nullptr, nullptr};
  linkAtEnd(head, node);
  return true;
}

// Appends a property to the list at *head through the node in its own block.
void appendProperty(CCIMList** head, CCIMProperty* property) {
  if (fillEmptyList(*head, property)) return;
  CCIMList* node = &blockOf(property)->node;
  *node = CCIMList{property, nullptr, nullptr};
  linkAtEnd(head, node);
}

void freeInstanceNodes(CCIMList* list) {
  while (list != nullptr) {
    CCIMList* next = list->next;
    cim_freeInstance(static_cast<CCIMInstance*>(list->data));
    free(list);
    list = next;
  }
}

// Releases a list of properties; a node that is part of its property's block goes with it.
void freePropertyNodes(CCIMList* list) {
  while (list != nullptr) {
    CCIMList* next = list->next;
    auto* property = static_cast<CCIMProperty*>(list->data);
    const bool ownNode = property == nullptr || list != &blockOf(property)->node;
    cim_freeProperty(property);
    if (ownNode) free(list);
    list = next;
  }
}

// A deep copy of a path; null when an allocation fails (last error set).
CCIMObjectPath* copyObjectPath(const CCIMObjectPath* path, const char* origin);

// A deep copy of a property; null when an allocation fails (last error set).
CCIMProperty* copyProperty(const CCIMProperty* property, const char* origin) {
  char* name = nullptr;
  PropertyBlock* block = allocateWithText<PropertyBlock>(property->name, &name, origin);
  if (block == nullptr) return nullptr;
  CCIMProperty* copy = &block->property;
  *copy = CCIMProperty{name, property->type, nullptr, nullptr, property->isKey};
  bool failed = false;
  copy->value = internal::copyText(property->value, origin, &failed);
  if (!failed && property->reference != nullptr) {
    copy->reference = copyObjectPath(property->reference, origin);
    failed = copy->reference == nullptr;
  }
  if (failed) {
    cim_freeProperty(copy);
    return nullptr;
  }
  return copy;
}

// Appends copies of the properties of `from` whose key flag is set (all of them when keysOnly
// is false) to *to. False on a failed allocation; what was appended stays.
bool copyProperties(const CCIMList* from, CCIMList** to, bool keysOnly, const char* origin) {
  for (const CCIMList* node = from; node != nullptr; node = node->next) {
    const CCIMProperty* property = static_cast<const CCIMProperty*>(node->data);
    if (property == nullptr || (keysOnly && property->isKey != CIM_TRUE)) continue;
    CCIMProperty* copy = copyProperty(property, origin);
    if (copy == nullptr) return false;
    appendProperty(to, copy);
  }
  return true;
}

// A new path of the class and namespace, keys taken from `keys`; null on a failed allocation.
CCIMObjectPath* makeObjectPath(const char* className, const char* nameSpace, const CCIMList* keys,
                               bool keysOnly, const char* origin) {
  char* classCopy = nullptr;
  CCIMObjectPath* path = allocateWithText<CCIMObjectPath>(className, &classCopy, origin);
  if (path == nullptr) return nullptr;
  *path = CCIMObjectPath{classCopy, nullptr, nullptr};
  bool failed = false;
  path->nameSpace = internal::copyText(nameSpace, origin, &failed);
  if (failed || !copyProperties(keys, &path->keys, keysOnly, origin)) {
    cim_freeObjectPath(path);
    return nullptr;
  }
  return path;
}

CCIMObjectPath* copyObjectPath(const CCIMObjectPath* path, const char* origin) {
  return makeObjectPath(path->className, path->nameSpace, path->keys, false, origin);
}

}  // namespace

CCIMList* cim_createInstanceList() {
  CCIMList* list =
      static_cast<CCIMList*>(internal::allocate(sizeof(CCIMList), "cim_createInstanceList"));
  if (list != nullptr) *list = CCIMList{nullptr, nullptr, nullptr};
  return list;
}

CCIMInstance* cim_createInstance(const char* className) {
  const char* origin = "cim_createInstance";
  if (className == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "class name is null", origin);
    return nullptr;
  }
  char* classCopy = nullptr;
  CCIMInstance* instance = allocateWithText<CCIMInstance>(className, &classCopy, origin);
  if (instance == nullptr) return nullptr;
  *instance = CCIMInstance{classCopy, nullptr};
  return instance;
}

CCIMProperty* cim_createProperty(const char* name, CIMType type, const char* value,
                                 const CCIMObjectPath* reference, CIMBool isKey) {
  const char* origin = "cim_createProperty";
  if (name == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "property name is null", origin);
    return nullptr;
  }
  int code = static_cast<int>(type);
  if (code < CIM_UINT8 || code > CIM_INSTANCE) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "property type out of range", origin);
    return nullptr;
  }
  if (type == CIM_REFERENCE && reference == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "reference property without object path", origin);
    return nullptr;
  }
  CCIMProperty given{const_cast<char*>(name), type, const_cast<char*>(value),
                     const_cast<CCIMObjectPath*>(reference), isKey};
  return copyProperty(&given, origin);
}

CCIMObjectPath* cim_createObjectPath(const CCIMInstance* instance) {
  const char* origin = "cim_createObjectPath";
  if (instance == nullptr || instance->className == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance or its class name is null", origin);
    return nullptr;
  }
  return makeObjectPath(instance->className, kRootNamespace, instance->properties, true, origin);
}

void cim_freeObjectPath(CCIMObjectPath* path) {
  if (path == nullptr) return;
  freeText(path, path->className);
  free(path->nameSpace);
  freePropertyNodes(path->keys);
  free(path);
}

void cim_freeProperty(CCIMProperty* property) {
  if (property == nullptr) return;
  PropertyBlock* block = blockOf(property);
  freeText(block, property->name);
  free(property->value);
  cim_freeObjectPath(property->reference);
  free(block);
}

void cim_freeInstance(CCIMInstance* instance) {
  if (instance == nullptr) return;
  freeText(instance, instance->className);
  freePropertyNodes(instance->properties);
  free(instance);
}

int cim_addProperty(CCIMInstance* instance, CCIMProperty* property) {
  const char* origin = "cim_addProperty";
  if (instance == nullptr || property == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance or property is null", origin);
    return 0;
  }
  appendProperty(&instance->properties, property);
  return 1;
}

CCIMList* cim_addInstance(CCIMList* list, CCIMInstance* instance) {
  const char* origin = "cim_addInstance";
  if (instance == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance is null", origin);
    return nullptr;
  }
  return appendNode(&list, instance, origin) ? list : nullptr;
}

void cim_freeInstanceList(CCIMList* list) {
  freeInstanceNodes(list);
}

}  // namespace nmspc_cim
