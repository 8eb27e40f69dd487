// The CIM client library as the report and the CIM-XML writer use it: plain records (instance
// list, instance, property, object path, exception) built and released through C-style calls.
// Every value is carried as text, whatever its CIM type; array values use the text encoding
// described below, which the cim_decode* functions read back.
//
// Ownership: a record a cim_create* call returns belongs to the caller until it is handed to a
// container (cim_addProperty, cim_addInstance) or released by the matching free call. Every
// text field is a malloc'd copy owned by its record (records made in an arena: see CCIMArena).
// Exceptions are the exception: the library
// owns them (see cim_getLastError, cim_createException) and callers never free them.
//
// Failures: no call throws. A call that fails returns null (or 0) and leaves its reason in the
// calling thread's last error; calls that succeed leave the last error as it was.
//
// Threads: the calls keep no shared state; the last error is per thread. A record is used by
// one thread at a time, and so is an instance together with the holders of its shared path.
#ifndef RESDB_PLATFORM_CIMAPI_H_
#define RESDB_PLATFORM_CIMAPI_H_

#include <cstdint>

namespace nmspc_cim {

enum CIMBool : int { CIM_FALSE = 0, CIM_TRUE = 1 };

// Scalar types 0 to 13; 14 to 27 are the arrays of 0 to 13 in the same order (element type =
// array type - 14); 28 a reference to an object path, 29 an embedded instance.
enum CIMType : int {
  CIM_UINT8 = 0,
  CIM_SINT8 = 1,
  CIM_UINT16 = 2,
  CIM_SINT16 = 3,
  CIM_UINT32 = 4,
  CIM_SINT32 = 5,
  CIM_UINT64 = 6,
  CIM_SINT64 = 7,
  CIM_STRING = 8,
  CIM_BOOLEAN = 9,
  CIM_REAL32 = 10,
  CIM_REAL64 = 11,
  CIM_DATETIME = 12,
  CIM_CHAR16 = 13,
  CIM_UINT8_ARRAY = 14,
  CIM_SINT8_ARRAY = 15,
  CIM_UINT16_ARRAY = 16,
  CIM_SINT16_ARRAY = 17,
  CIM_UINT32_ARRAY = 18,
  CIM_SINT32_ARRAY = 19,
  CIM_UINT64_ARRAY = 20,
  CIM_SINT64_ARRAY = 21,
  CIM_STRING_ARRAY = 22,
  CIM_BOOLEAN_ARRAY = 23,
  CIM_REAL32_ARRAY = 24,
  CIM_REAL64_ARRAY = 25,
  CIM_DATETIME_ARRAY = 26,
  CIM_CHAR16_ARRAY = 27,
  CIM_REFERENCE = 28,
  CIM_INSTANCE = 29
};

// Codes of the exceptions the library raises itself.
enum CIMErrorCode {
  CIM_ERR_NONE = 0,              // no failure yet on this thread
  CIM_ERR_FAILED = 1,            // a value could not be read (bad array text)
  CIM_ERR_INVALID_ARGUMENT = 2,  // a required pointer is null or a type is out of range
  CIM_ERR_NO_MEMORY = 3          // an allocation failed
};

// One list node. Instance lists hold CCIMInstance, property and key lists CCIMProperty.
// Readers walk data/next; the tail that makes appending take constant time is kept by the
// list's owner (the instance, or the block of an instance list's first node), not in every node.
struct CCIMList {
  void* data;      // the element, owned by the list; null in an empty list's single node
  CCIMList* next;  // null ends the list
};

// An object path: the class, its namespace ("root/cimv2", parts separated by "/") and the
// key properties that name one instance. Owns its texts and its key list.
struct CCIMObjectPath {
  char* className;
  char* nameSpace;
  CCIMList* keys;  // CCIMProperty nodes; null when the path has no keys
};

// A property. Owns its texts and its reference path. The two 4-byte fields sit side by side, so
// that a property takes 32 bytes instead of 40 (a report holds hundreds of thousands).
struct CCIMProperty {
  char* name;
  CIMType type;
  CIMBool isKey;
  char* value;                // null for "no value"; replace with cim_setPropertyValue
  CCIMObjectPath* reference;  // type CIM_REFERENCE: the path referred to; otherwise null
};

// An instance of a class: the class name and its properties in the order they were added.
struct CCIMInstance {
  char* className;
  CCIMList* properties;  // CCIMProperty nodes; null while there are none
};

// An error record. The library owns it: see cim_getLastError.
struct CCIMException {
  int code;             // CIMErrorCode, or the code a caller passed to cim_createException
  const char* message;  // never null; read only
  const char* origin;   // the call that failed; never null; read only
};

// A record arena: the records of one batch (a report, say) made together and released at once,
// instead of one by one. A record made in an arena (the *In calls below) lives until the arena
// is released; the free calls do nothing to it, so they may be called or not. Records of an
// arena hold only records of the same arena: cim_addProperty and cim_addInstance refuse a
// record of another arena (or of none) as an invalid argument, and a path or value copied into
// an arena record is made in that arena too. A text a caller puts into an arena record stays the
// caller's to release. The arena is used by one thread at a time.
struct CCIMArena;

// A new empty arena; null when the allocation fails.
CCIMArena* cim_createArena();

// Releases the arena with every record made in it. Null: nothing.
void cim_freeArena(CCIMArena* arena);

// A new empty instance list: one node with no element, so an empty list is not null. Null
// when the allocation fails. Release it with cim_freeInstanceList, full or empty.
CCIMList* cim_createInstanceList();

// The calls above and below, the record made in arena (a null arena: as without one). Each
// fails as its plain form does, running out of memory included.
CCIMList* cim_createInstanceListIn(CCIMArena* arena);
CCIMInstance* cim_createInstanceIn(CCIMArena* arena, const char* className);
CCIMProperty* cim_createPropertyIn(CCIMArena* arena, const char* name, CIMType type,
                                   const char* value, const CCIMObjectPath* reference,
                                   CIMBool isKey);

// cim_createPropertyIn, but a property made in an arena keeps name itself instead of a copy:
// name must then live as long as the arena (a literal, say). A null arena: a copy, as
// cim_createProperty makes.
CCIMProperty* cim_createPropertyNamedIn(CCIMArena* arena, const char* name, CIMType type,
                                        const char* value, const CCIMObjectPath* reference,
                                        CIMBool isKey);

// cim_createPropertyNamedIn, but in an arena the value text too is kept rather than copied: it
// must then live as long as the arena as well.
CCIMProperty* cim_createPropertyKeptIn(CCIMArena* arena, const char* name, CIMType type,
                                       const char* value, const CCIMObjectPath* reference,
                                       CIMBool isKey);

// cim_createInstanceIn, but an instance made in an arena keeps className itself instead of a
// copy: className must then live as long as the arena (a literal, say). A null arena: a copy, as
// cim_createInstance makes.
CCIMInstance* cim_createInstanceNamedIn(CCIMArena* arena, const char* className);

// Gives the property a copy of value (null: no value), made where the property was made, and
// releases the old value unless it lives in an arena. 1; 0 for a null property or a failed
// allocation (last error set), the old value then kept.
int cim_setPropertyValue(CCIMProperty* property, const char* value);

// A new instance of the class, without properties; null for a null class name or when an
// allocation fails.
CCIMInstance* cim_createInstance(const char* className);

// A new property holding copies of the name, the value text (if not null) and the path (if
// not null). A reference (type CIM_REFERENCE) needs a path and normally a null value; the
// other types take a value text (null allowed) and a null path. Null for a null name, a type
// outside 0 to 29, a reference without a path, or a failed allocation.
CCIMProperty* cim_createProperty(const char* name, CIMType type, const char* value,
                                 const CCIMObjectPath* reference, CIMBool isKey);

// A new object path naming the instance: its class name, copies of its key properties in
// their order, namespace "root/cimv2". Null for a null instance or class name, or when an
// allocation fails.
CCIMObjectPath* cim_createObjectPath(const CCIMInstance* instance);

// The instance's object path as cim_createObjectPath makes it (in the instance's arena, if
// any, where it takes the instance's class name, its keys' names and values and the namespace
// themselves rather than copies: they live as long as the path), made once and shared: the
// instance keeps the path and every call hands out that same path with one more holder, until a
// property is added to the instance (the next call then makes a new path). Each holder lets go
// with cim_freeObjectPath; the path is released with its last holder, the instance being one.
// A change made to the path through one holder is seen by all. The instance must come from
// cim_createInstance. Null as for cim_createObjectPath.
CCIMObjectPath* cim_shareObjectPath(const CCIMInstance* instance);

// Lets go of the path: releases it, its texts and its keys, unless it is shared and another
// holder still has it. Null: nothing.
void cim_freeObjectPath(CCIMObjectPath* path);

// Releases a property that was not handed to an instance. Null: nothing.
void cim_freeProperty(CCIMProperty* property);

// Releases an instance that was not handed to a list, with its properties. Null: nothing.
void cim_freeInstance(CCIMInstance* instance);

// The owner's mark on an instance: a number the library keeps with the instance for whoever
// holds it and never reads itself, 0 when the instance is made. It lets a holder tell what it
// did with an instance without a table of its own. Getting it for null gives 0; setting it on
// null does nothing.
long cim_getInstanceMark(const CCIMInstance* instance);
void cim_setInstanceMark(CCIMInstance* instance, long mark);

// Appends the property to the instance, which takes it over. Properties are kept in the order
// added; a second property of the same name is kept as well. Returns 1; 0 for a null argument,
// and then the property stays the caller's. (A property carries the list node that files it,
// so adding one never allocates; a property belongs to one instance or path at a time.)
int cim_addProperty(CCIMInstance* instance, CCIMProperty* property);

// Appends the instance to the list, which takes it over, and returns the list to keep from
// then on (store it in place of the old one). A null list starts a new one. Returns null for a
// null instance or a failed allocation; then the old list is unchanged and still the one to
// keep, and the instance stays the caller's.
CCIMList* cim_addInstance(CCIMList* list, CCIMInstance* instance);

// Releases the list, its nodes and every instance in it. Null or empty: fine.
void cim_freeInstanceList(CCIMList* list);

// The calling thread's exception record: the last failure on this thread (code 0, message ""
// before any). Never null. The library owns it; it is overwritten by the next failure on the
// same thread, so read its texts before calling into the library again.
CCIMException* cim_getLastError();

// Sets the calling thread's exception record to the given code, message and origin (null
// texts become "") and returns it; the same record as cim_getLastError, owned by the library.
// Should copying the texts fail, the record says code CIM_ERR_NO_MEMORY instead.
CCIMException* cim_createException(int code, const char* message, const char* origin);

// Array values as text.
//
// An array value is its elements, each followed by a comma: {"a","b"} is "a,b,". On reading,
// the comma after the last element may be left out ("1,2" reads as {1,2}), and the empty text
// is the empty array. So "," is one empty string and "a,," is {"a",""}.
// Inside an element a backslash takes the next character literally: "\," is a comma and "\\" a
// backslash; any other character stands for itself. Only the string encoder needs to escape;
// numbers never contain a comma or backslash.
// Numbers are decimal, optionally surrounded by blanks (spaces, tabs); signed types take a
// leading "-", no type takes "+", and a value outside the element type's range makes the whole
// text unreadable. Booleans are "true" or "false" (any case), or "1" or "0". Reals are finite,
// in decimal or exponent notation ("2.5", "-1e3"); real32 values must fit a float. Date-times
// are unsigned 32-bit decimal numbers. A backslash that ends the text stands for itself.
// Reading does not depend on the C locale.
//
// Each decoder reads the text into a new array, stores the element count in *count and
// returns the array (never null on success, even for zero elements), to be released with
// free (string arrays: cim_freeStringArray). On a null argument, unreadable text or a failed
// allocation it returns null, sets *count (when given) to 0 and the last error.
// The element types are wider than the CIM types so that every value prints as a plain
// decimal number: uint8 -> uint16_t, sint8 -> int16_t, uint16 -> uint32_t, sint16 -> int32_t.
uint16_t* cim_decodeUint8Array(const char* text, int* count);
int16_t* cim_decodeSint8Array(const char* text, int* count);
uint32_t* cim_decodeUint16Array(const char* text, int* count);
int32_t* cim_decodeSint16Array(const char* text, int* count);
uint32_t* cim_decodeUint32Array(const char* text, int* count);
int32_t* cim_decodeSint32Array(const char* text, int* count);
uint64_t* cim_decodeUint64Array(const char* text, int* count);
int64_t* cim_decodeSint64Array(const char* text, int* count);
int32_t* cim_decodeBooleanArray(const char* text, int* count);
double* cim_decodeReal32Array(const char* text, int* count);
long double* cim_decodeReal64Array(const char* text, int* count);
uint32_t* cim_decodeDateTimeArray(const char* text, int* count);

// The string array holds count pointers followed by a null pointer; elements and pointers are
// one allocation. Release it with cim_freeStringArray (free works as well).
char** cim_decodeStringArray(const char* text, int* count);
void cim_freeStringArray(char** array);

// Encoders: a new malloc'd text of the given elements in the encoding above (the caller frees
// it), ready to be a property value; the empty text for count 0. Null for a negative count, a
// null array with a positive count (or a null string element), or a failed allocation.
char* cim_encodeStringArray(const char* const* items, int count);
char* cim_encodeSint64Array(const int64_t* items, int count);
char* cim_encodeUint64Array(const uint64_t* items, int count);

}  // namespace nmspc_cim

#endif  // RESDB_PLATFORM_CIMAPI_H_
