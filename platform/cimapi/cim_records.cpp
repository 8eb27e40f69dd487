// Creation, assembly and release of the records: lists, instances, properties, object paths.
// Each record's block says which arena it was made in (null: none); the free calls release only
// blocks made outside an arena, and a record only ever holds records of its own arena.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "cim_internal.h"
#include "cimapi.h"

namespace nmspc_cim {
namespace {

const char kRootNamespace[] = "root/cimv2";

// The bytes a copy of text takes, its NUL included (0 for null text).
size_t textSize(const char* text) {
  return text != nullptr ? strlen(text) + 1 : 0;
}

// Copies text (null: none) of textSize `size` to *at, which moves past the copy; the copy or
// null.
char* putText(const char* text, size_t size, char** at) {
  if (text == nullptr) return nullptr;
  char* copy = *at;
  memcpy(copy, text, size);
  *at += size;
  return copy;
}

// Records are allocated together with their name text, right behind the record: one block
// instead of two. The field then points into the block; a text put there later by a caller
// (its own malloc'd copy) is told apart by its address and freed on its own (outside arenas).
template <typename T>
char* embeddedText(T* record) {
  return reinterpret_cast<char*>(record + 1);
}

// A record of type T with room for a copy of text behind it, the copy made and stored in
// *copy (null for null text). Null when the allocation fails (last error set).
template <typename T>
T* allocateWithText(CCIMArena* arena, const char* text, char** copy, const char* origin) {
  const size_t size = textSize(text);
  T* record = static_cast<T*>(internal::allocateIn(arena, sizeof(T) + size, origin));
  if (record == nullptr) return nullptr;
  char* at = embeddedText(record);
  *copy = putText(text, size, &at);
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
  CCIMArena* arena;  // where the block was made; null: malloc'd
};

PropertyBlock* blockOf(const CCIMProperty* property) {
  return reinterpret_cast<PropertyBlock*>(const_cast<CCIMProperty*>(property));
}

// A node of an instance list, with the arena it was made in (null: malloc'd). Every node of
// a list the library made comes from the arena of the list's first node, whose block keeps the
// list's tail.
struct ListBlock {
  CCIMList node;
  CCIMArena* arena;
  CCIMList* last;  // first node: the tail node (or null, then found by walking); others: null
};

ListBlock* blockOf(CCIMList* node) {
  return reinterpret_cast<ListBlock*>(node);
}

// A new list node holding data, made in arena; null on a failed allocation.
CCIMList* newListNode(CCIMArena* arena, void* data, const char* origin) {
  auto* block = static_cast<ListBlock*>(internal::allocateIn(arena, sizeof(ListBlock), origin));
  if (block == nullptr) return nullptr;
  *block = ListBlock{CCIMList{data, nullptr}, arena, nullptr};
  return &block->node;
}

// Puts data into the single node of an empty list; false when *first is not such a list.
bool fillEmptyList(CCIMList* first, void* data) {
  if (first == nullptr || first->data != nullptr || first->next != nullptr) return false;
  first->data = data;
  return true;
}

// Links node (its data set, its link null) at the end of the list at *head, starting one when
// *head is null. *tail is the list's tail as its owner keeps it (null, or one that is not
// the tail any more: found by walking), and then the node.
void linkAtEnd(CCIMList** head, CCIMList** tail, CCIMList* node) {
  CCIMList* first = *head;
  if (first == nullptr) {
    *head = node;
  } else {
    CCIMList* end = *tail;
    if (end == nullptr || end->next != nullptr) {  // no tail known: walk to it
      end = first;
      while (end->next != nullptr) end = end->next;
    }
    end->next = node;
  }
  *tail = node;
}

// Appends data to the list at *head in a node of its own (filling the single node of an empty
// list). False when a node cannot be allocated; the list is then unchanged.
bool appendNode(CCIMList** head, CCIMArena* arena, void* data, const char* origin) {
  CCIMList* first = *head;
  if (fillEmptyList(first, data)) {
    blockOf(first)->last = first;
    return true;
  }
  CCIMList* node = newListNode(arena, data, origin);
  if (node == nullptr) return false;
  linkAtEnd(head, &blockOf(first != nullptr ? first : node)->last, node);
  return true;
}

// Appends a property to the list at *head through the node in its own block; *tail as for
// linkAtEnd.
void appendProperty(CCIMList** head, CCIMList** tail, CCIMProperty* property) {
  CCIMList* node = &blockOf(property)->node;
  *node = CCIMList{property, nullptr};
  linkAtEnd(head, tail, node);
}

// An instance's block: the record, then the path cim_shareObjectPath made of it (null while
// there is none, or once a property was added after it), then the class name (unless the
// instance keeps the one it was given: cim_createInstanceNamedIn).
struct InstanceBlock {
  CCIMInstance instance;
  CCIMObjectPath* sharedPath;
  CCIMArena* arena;        // where the block was made; null: malloc'd
  long mark;               // the owner's (cim_setInstanceMark)
  CCIMList* lastProperty;  // the tail of the properties, as for linkAtEnd
};

InstanceBlock* blockOf(const CCIMInstance* instance) {
  return reinterpret_cast<InstanceBlock*>(const_cast<CCIMInstance*>(instance));
}

// Lets go of the path the instance keeps for sharing, if any.
void dropSharedPath(CCIMInstance* instance) {
  InstanceBlock* block = blockOf(instance);
  cim_freeObjectPath(block->sharedPath);
  block->sharedPath = nullptr;
}

void freeInstanceNodes(CCIMList* list) {
  while (list != nullptr) {
    CCIMList* next = list->next;
    cim_freeInstance(static_cast<CCIMInstance*>(list->data));
    free(list);
    list = next;
  }
}

// A path's block: the path, the end of the block, the keys made with it (each a
// PropertyBlock), then the class name and the key names. A path is one allocation plus one
// for its namespace and one per key value: those texts are always blocks of their own, which
// callers may replace (releasing the old one with free). A text or key a caller put there later
// lies outside the block and is released on its own.
struct PathBlock {
  CCIMObjectPath path;
  uintptr_t end;     // one past the block
  long references;   // holders of the path: 1 when made, more once shared
  CCIMArena* arena;  // where the block was made; null: malloc'd

  PropertyBlock* keys() { return reinterpret_cast<PropertyBlock*>(this + 1); }
  bool holds(const void* p) const {
    auto at = reinterpret_cast<uintptr_t>(p);
    return at >= reinterpret_cast<uintptr_t>(this) && at < end;
  }
};

PathBlock* blockOf(const CCIMObjectPath* path) {
  return reinterpret_cast<PathBlock*>(const_cast<CCIMObjectPath*>(path));
}

// Releases what a key made inside a path's block holds: its value, its reference, a name a
// caller put in place of the one in the block.
void releaseMadeKey(const PathBlock* owner, CCIMProperty* key) {
  if (!owner->holds(key->name)) free(key->name);
  free(key->value);
  cim_freeObjectPath(key->reference);
}

// Releases a list of properties; a node that is part of its property's block goes with it.
// Keys made inside `owner` (the path block of a key list, else null) give back only what they
// hold.
void freePropertyNodes(CCIMList* list, const PathBlock* owner = nullptr) {
  while (list != nullptr) {
    CCIMList* next = list->next;
    auto* property = static_cast<CCIMProperty*>(list->data);
    const bool ownNode = property == nullptr || list != &blockOf(property)->node;
    if (owner != nullptr && owner->holds(property)) {
      releaseMadeKey(owner, property);
    } else {
      cim_freeProperty(property);
    }
    if (ownNode) free(list);
    list = next;
  }
}

// A deep copy of a path made in arena; null when an allocation fails (last error set).
CCIMObjectPath* copyObjectPath(CCIMArena* arena, const CCIMObjectPath* path, const char* origin);

// Gives `to` copies of the value and the reference of `from`, made in arena; false when an
// allocation failed (last error set), `to` then holding what was copied, for its owner to free.
bool copyValueAndReference(CCIMArena* arena, CCIMProperty* to, const CCIMProperty* from,
                           const char* origin) {
  bool failed = false;
  to->value = internal::copyTextIn(arena, from->value, origin, &failed);
  if (!failed && from->reference != nullptr) {
    to->reference = copyObjectPath(arena, from->reference, origin);
    failed = to->reference == nullptr;
  }
  return !failed;
}

// What an arena property keeps of the texts it is given rather than copies of them.
enum class Borrowed { kNothing, kName, kNameAndValue };

// A deep copy of a property made in arena; null when an allocation fails (last error set).
// An arena property keeps the texts `borrowed` says itself, not copies.
CCIMProperty* copyProperty(CCIMArena* arena, const CCIMProperty* property, const char* origin,
                           Borrowed borrowed = Borrowed::kNothing) {
  const bool borrowName = borrowed != Borrowed::kNothing && arena != nullptr;
  const bool borrowValue = borrowed == Borrowed::kNameAndValue && arena != nullptr;
  // In an arena the value text lies in the block as well: it is never released on its own.
  const size_t nameSize = borrowName ? 0 : textSize(property->name);
  const size_t valueSize = arena != nullptr && !borrowValue ? textSize(property->value) : 0;
  auto* block = static_cast<PropertyBlock*>(
      internal::allocateIn(arena, sizeof(PropertyBlock) + nameSize + valueSize, origin));
  if (block == nullptr) return nullptr;
  block->arena = arena;
  char* at = embeddedText(block);
  char* name = borrowName ? property->name : putText(property->name, nameSize, &at);
  CCIMProperty* copy = &block->property;
  *copy = CCIMProperty{name, property->type, property->isKey, nullptr, nullptr};
  CCIMProperty rest = *property;  // what is still to be copied
  if (arena != nullptr) rest.value = nullptr;
  const bool more = rest.value != nullptr || rest.reference != nullptr;
  if (more && !copyValueAndReference(arena, copy, &rest, origin)) {
    cim_freeProperty(copy);
    return nullptr;
  }
  if (borrowValue) {
    copy->value = property->value;
  } else if (arena != nullptr) {
    copy->value = putText(property->value, valueSize, &at);
  }
  return copy;
}

bool selected(const CCIMProperty* property, bool keysOnly) {
  return property != nullptr && (!keysOnly || property->isKey == CIM_TRUE);
}

// A new path of the class and namespace, keys copied from `keys` (only those whose key flag is
// set when keysOnly), all in one block but for the key values; null on a failed allocation.
// shareTexts: the class name, the namespace and the keys' names and values are the ones given,
// not copies (for a path made in the arena of what it names, which lives as long as the path).
CCIMObjectPath* makeObjectPath(CCIMArena* arena, const char* className, const char* nameSpace,
                               const CCIMList* keys, bool keysOnly, const char* origin,
                               bool shareTexts = false) {
  size_t keyCount = 0;
  size_t texts = shareTexts ? 0 : textSize(className);
  for (const CCIMList* node = keys; node != nullptr; node = node->next) {
    const auto* property = static_cast<const CCIMProperty*>(node->data);
    if (!selected(property, keysOnly)) continue;
    ++keyCount;
    if (!shareTexts) texts += textSize(property->name);
  }
  const size_t size = sizeof(PathBlock) + keyCount * sizeof(PropertyBlock) + texts;
  auto* block = static_cast<PathBlock*>(internal::allocateIn(arena, size, origin));
  if (block == nullptr) return nullptr;
  block->arena = arena;
  PropertyBlock* nextKey = block->keys();
  char* text = reinterpret_cast<char*>(nextKey + keyCount);
  block->end = reinterpret_cast<uintptr_t>(block) + size;
  block->references = 1;
  CCIMObjectPath* path = &block->path;
  path->className =
      shareTexts ? const_cast<char*>(className) : putText(className, textSize(className), &text);
  path->keys = nullptr;
  CCIMList* lastKey = nullptr;  // the keys' tail while they are added
  bool failed = false;
  path->nameSpace = shareTexts ? const_cast<char*>(nameSpace)
                               : internal::copyTextIn(arena, nameSpace, origin, &failed);
  if (failed) {
    cim_freeObjectPath(path);
    return nullptr;
  }
  for (const CCIMList* node = keys; node != nullptr; node = node->next) {
    const auto* property = static_cast<const CCIMProperty*>(node->data);
    if (!selected(property, keysOnly)) continue;
    CCIMProperty* key = &(nextKey++)->property;
    char* name =
        shareTexts ? property->name : putText(property->name, textSize(property->name), &text);
    *key = CCIMProperty{name, property->type, property->isKey, nullptr, nullptr};
    blockOf(key)->arena = arena;
    appendProperty(&path->keys, &lastKey, key);
    CCIMProperty rest = *property;  // what is still to be copied
    if (shareTexts) rest.value = nullptr;
    if (!copyValueAndReference(arena, key, &rest, origin)) {
      cim_freeObjectPath(path);
      return nullptr;
    }
    if (shareTexts) key->value = property->value;
  }
  return path;
}

CCIMObjectPath* copyObjectPath(CCIMArena* arena, const CCIMObjectPath* path, const char* origin) {
  return makeObjectPath(arena, path->className, path->nameSpace, path->keys, false, origin);
}

// The arena of the list's nodes: that of its first node; null for a null list.
CCIMArena* arenaOfList(CCIMList* list) {
  return list != nullptr ? blockOf(list)->arena : nullptr;
}

}  // namespace

CCIMList* cim_createInstanceList() {
  return cim_createInstanceListIn(nullptr);
}

CCIMList* cim_createInstanceListIn(CCIMArena* arena) {
  return newListNode(arena, nullptr, "cim_createInstanceList");
}

CCIMInstance* cim_createInstance(const char* className) {
  return cim_createInstanceIn(nullptr, className);
}

namespace {

// cim_createInstanceIn, the class name borrowed in an arena when borrowName.
CCIMInstance* createInstance(CCIMArena* arena, const char* className, bool borrowName) {
  const char* origin = "cim_createInstance";
  if (className == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "class name is null", origin);
    return nullptr;
  }
  borrowName = borrowName && arena != nullptr;
  char* classCopy = nullptr;
  InstanceBlock* block =
      allocateWithText<InstanceBlock>(arena, borrowName ? nullptr : className, &classCopy, origin);
  if (block == nullptr) return nullptr;
  if (borrowName) classCopy = const_cast<char*>(className);
  *block = InstanceBlock{CCIMInstance{classCopy, nullptr}, nullptr, arena, 0, nullptr};
  return &block->instance;
}

}  // namespace

CCIMInstance* cim_createInstanceIn(CCIMArena* arena, const char* className) {
  return createInstance(arena, className, false);
}

CCIMInstance* cim_createInstanceNamedIn(CCIMArena* arena, const char* className) {
  return createInstance(arena, className, true);
}

CCIMProperty* cim_createProperty(const char* name, CIMType type, const char* value,
                                 const CCIMObjectPath* reference, CIMBool isKey) {
  return cim_createPropertyIn(nullptr, name, type, value, reference, isKey);
}

namespace {

// cim_createPropertyIn, the texts `borrowed` says kept in an arena.
CCIMProperty* createProperty(CCIMArena* arena, const char* name, CIMType type, const char* value,
                             const CCIMObjectPath* reference, CIMBool isKey, Borrowed borrowed) {
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
  CCIMProperty given{const_cast<char*>(name), type, isKey, const_cast<char*>(value),
                     const_cast<CCIMObjectPath*>(reference)};
  return copyProperty(arena, &given, origin, borrowed);
}

}  // namespace

CCIMProperty* cim_createPropertyIn(CCIMArena* arena, const char* name, CIMType type,
                                   const char* value, const CCIMObjectPath* reference,
                                   CIMBool isKey) {
  return createProperty(arena, name, type, value, reference, isKey, Borrowed::kNothing);
}

CCIMProperty* cim_createPropertyNamedIn(CCIMArena* arena, const char* name, CIMType type,
                                        const char* value, const CCIMObjectPath* reference,
                                        CIMBool isKey) {
  return createProperty(arena, name, type, value, reference, isKey, Borrowed::kName);
}

CCIMProperty* cim_createPropertyKeptIn(CCIMArena* arena, const char* name, CIMType type,
                                       const char* value, const CCIMObjectPath* reference,
                                       CIMBool isKey) {
  return createProperty(arena, name, type, value, reference, isKey, Borrowed::kNameAndValue);
}

CCIMObjectPath* cim_createObjectPath(const CCIMInstance* instance) {
  const char* origin = "cim_createObjectPath";
  if (instance == nullptr || instance->className == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance or its class name is null", origin);
    return nullptr;
  }
  return makeObjectPath(nullptr, instance->className, kRootNamespace, instance->properties, true,
                        origin);
}

CCIMObjectPath* cim_shareObjectPath(const CCIMInstance* instance) {
  if (instance == nullptr || instance->className == nullptr) {
    return cim_createObjectPath(instance);  // the same failure
  }
  InstanceBlock* block = blockOf(instance);
  if (block->sharedPath == nullptr) {
    // In an arena the path lives as long as the instance: it shares the instance's texts.
    block->sharedPath =
        makeObjectPath(block->arena, instance->className, kRootNamespace, instance->properties,
                       true, "cim_createObjectPath", block->arena != nullptr);
    if (block->sharedPath == nullptr) return nullptr;
  }
  ++blockOf(block->sharedPath)->references;
  return block->sharedPath;
}

void cim_freeObjectPath(CCIMObjectPath* path) {
  if (path == nullptr) return;
  PathBlock* block = blockOf(path);
  if (block->arena != nullptr) return;  // released with its arena
  if (--block->references > 0) return;  // still shared
  if (!block->holds(path->className)) free(path->className);
  free(path->nameSpace);
  freePropertyNodes(path->keys, block);
  free(block);
}

void cim_freeProperty(CCIMProperty* property) {
  if (property == nullptr) return;
  PropertyBlock* block = blockOf(property);
  if (block->arena != nullptr) return;  // released with its arena
  freeText(block, property->name);
  free(property->value);
  cim_freeObjectPath(property->reference);
  free(block);
}

void cim_freeInstance(CCIMInstance* instance) {
  if (instance == nullptr) return;
  InstanceBlock* block = blockOf(instance);
  if (block->arena != nullptr) return;  // released with its arena
  dropSharedPath(instance);
  freeText(block, instance->className);
  freePropertyNodes(instance->properties);
  free(block);
}

long cim_getInstanceMark(const CCIMInstance* instance) {
  return instance != nullptr ? blockOf(instance)->mark : 0;
}

void cim_setInstanceMark(CCIMInstance* instance, long mark) {
  if (instance != nullptr) blockOf(instance)->mark = mark;
}

int cim_addProperty(CCIMInstance* instance, CCIMProperty* property) {
  const char* origin = "cim_addProperty";
  if (instance == nullptr || property == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance or property is null", origin);
    return 0;
  }
  if (blockOf(property)->arena != blockOf(instance)->arena) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "property made in another arena", origin);
    return 0;
  }
  // The path made before no longer names the instance as it is.
  if (blockOf(instance)->sharedPath != nullptr) dropSharedPath(instance);
  appendProperty(&instance->properties, &blockOf(instance)->lastProperty, property);
  return 1;
}

CCIMList* cim_addInstance(CCIMList* list, CCIMInstance* instance) {
  const char* origin = "cim_addInstance";
  if (instance == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance is null", origin);
    return nullptr;
  }
  CCIMArena* arena = list != nullptr ? arenaOfList(list) : blockOf(instance)->arena;
  if (blockOf(instance)->arena != arena) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "instance made in another arena", origin);
    return nullptr;
  }
  return appendNode(&list, arena, instance, origin) ? list : nullptr;
}

void cim_freeInstanceList(CCIMList* list) {
  if (arenaOfList(list) != nullptr) return;  // released with its arena
  freeInstanceNodes(list);
}

int cim_setPropertyValue(CCIMProperty* property, const char* value) {
  const char* origin = "cim_setPropertyValue";
  if (property == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "property is null", origin);
    return 0;
  }
  CCIMArena* arena = blockOf(property)->arena;
  bool failed = false;
  char* copy = internal::copyTextIn(arena, value, origin, &failed);
  if (failed) return 0;
  if (arena == nullptr) free(property->value);
  property->value = copy;
  return 1;
}

}  // namespace nmspc_cim
