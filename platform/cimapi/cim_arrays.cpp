// Array values as text: the decoders the CIM-XML writer reads array properties with, and the
// encoders that build such values. The encoding is described in cimapi.h.
#include <strings.h>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "cim_internal.h"
#include "cimapi.h"

namespace nmspc_cim {
namespace {

const char kSeparator = ',';
const char kEscape = '\\';

// The number of elements in text, or -1 when it would not fit an int.
int countElements(const char* text) {
  long long count = 0;
  bool pending = false;  // characters seen since the last separator
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == kEscape && p[1] != '\0') {
      ++p;
      pending = true;
    } else if (*p == kSeparator) {
      ++count;
      pending = false;
    } else {
      pending = true;
    }
    if (count >= INT_MAX) return -1;
  }
  return static_cast<int>(pending ? count + 1 : count);
}

// Writes the elements of text into out, unescaped and each ended by a NUL. out has room for
// strlen(text) + 1 bytes, which is always enough.
void splitElements(const char* text, char* out) {
  bool pending = false;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == kEscape && p[1] != '\0') {
      *out++ = *++p;
      pending = true;
    } else if (*p == kSeparator) {
      *out++ = '\0';
      pending = false;
    } else {
      *out++ = *p;
      pending = true;
    }
  }
  if (pending) *out = '\0';
}

// Checks the arguments of a decode and counts the elements. False on failure (last error
// set); *count is 0 until the decode succeeds.
bool startDecode(const char* text, int* count, const char* origin, int* elements) {
  if (count != nullptr) *count = 0;
  if (text == nullptr || count == nullptr) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "array text or count is null", origin);
    return false;
  }
  *elements = countElements(text);
  if (*elements < 0) {
    internal::setError(CIM_ERR_FAILED, "too many array elements", origin);
    return false;
  }
  return true;
}

// The element without its surrounding blanks, as [*begin, *end).
void trimBlanks(const char* element, const char** begin, const char** end) {
  const char* b = element;
  const char* e = element + strlen(element);
  while (b < e && (*b == ' ' || *b == '\t')) ++b;
  while (e > b && (e[-1] == ' ' || e[-1] == '\t')) --e;
  *begin = b;
  *end = e;
}

// Reads the whole of [begin, end) as a number of type V.
template <typename V>
bool readNumber(const char* begin, const char* end, V* value) {
  if (begin == end) return false;
  std::from_chars_result r = std::from_chars(begin, end, *value);
  return r.ec == std::errc() && r.ptr == end;
}

// Element readers: each reads one trimmed element into *out, false when it is not a value of
// the element type.
// Exact is the CIM type's own integer type, which bounds the value; Out the wider type handed
// out.
template <typename Out, typename Exact>
bool readInteger(const char* element, Out* out) {
  const char *b, *e;
  trimBlanks(element, &b, &e);
  Exact value;
  if (!readNumber(b, e, &value)) return false;
  *out = static_cast<Out>(value);
  return true;
}

bool readBoolean(const char* element, int32_t* out) {
  const char *b, *e;
  trimBlanks(element, &b, &e);
  size_t length = static_cast<size_t>(e - b);
  if ((length == 4 && strncasecmp(b, "true", 4) == 0) || (length == 1 && *b == '1')) {
    *out = 1;
  } else if ((length == 5 && strncasecmp(b, "false", 5) == 0) || (length == 1 && *b == '0')) {
    *out = 0;
  } else {
    return false;
  }
  return true;
}

// Reads the whole of [begin, end) as a real of type V. A value too close to zero for V (an
// underflow, which from_chars refuses as out of range) is read as the nearest value V holds:
// 0 or a subnormal. An overflow, and anything that is not a number, fails.
template <typename V>
bool readNearestReal(const char* begin, const char* end, V* value) {
  if (begin == end) return false;
  std::from_chars_result r = std::from_chars(begin, end, *value);
  if (r.ptr != end || (r.ec != std::errc() && r.ec != std::errc::result_out_of_range)) {
    return false;
  }
  if (r.ec == std::errc()) return true;
  // The element is NUL-terminated right after its trailing blanks, so strtold stops at end.
  char* stop = nullptr;
  long double wide = strtold(begin, &stop);
  if (stop != end || !(fabsl(wide) < 1.0L)) return false;  // an overflow
  *value = static_cast<V>(wide);  // in range: rounds to the nearest value of V
  return true;
}

template <typename Out, typename Parsed>
bool readReal(const char* element, Out* out) {
  const char *b, *e;
  trimBlanks(element, &b, &e);
  Parsed value;
  if (!readNearestReal(b, e, &value) || !std::isfinite(value)) return false;
  *out = static_cast<Out>(value);
  return true;
}

// Decodes text into a new array of Out, reading each element with readElement.
template <typename Out>
Out* decodeArray(const char* text, int* count, const char* origin,
                 bool (*readElement)(const char*, Out*)) {
  int elements = 0;
  if (!startDecode(text, count, origin, &elements)) return nullptr;
  char* scratch = static_cast<char*>(internal::allocate(strlen(text) + 1, origin));
  if (scratch == nullptr) return nullptr;
  splitElements(text, scratch);
  size_t slots = elements > 0 ? static_cast<size_t>(elements) : 1;
  Out* items = static_cast<Out*>(internal::allocate(slots * sizeof(Out), origin));
  const char* element = scratch;
  for (int i = 0; items != nullptr && i < elements; ++i) {
    if (!readElement(element, &items[i])) {
      internal::setError(CIM_ERR_FAILED, "array element is not a value of its type", origin);
      free(items);
      items = nullptr;
    }
    element += strlen(element) + 1;
  }
  free(scratch);
  if (items != nullptr) *count = elements;
  return items;
}

// Appends the encoded form of text (escaped, then the separator) at out, or only counts it
// when out is null; returns the number of bytes.
size_t putEscaped(const char* text, char* out) {
  size_t n = 0;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == kSeparator || *p == kEscape) {
      if (out != nullptr) out[n] = kEscape;
      ++n;
    }
    if (out != nullptr) out[n] = *p;
    ++n;
  }
  if (out != nullptr) out[n] = kSeparator;
  return n + 1;
}

// Appends the decimal form of value and the separator at out (or only counts it).
template <typename V>
size_t putNumber(V value, char* out) {
  char digits[24];
  std::to_chars_result r = std::to_chars(digits, digits + sizeof(digits), value);
  size_t n = static_cast<size_t>(r.ptr - digits);
  if (out != nullptr) {
    memcpy(out, digits, n);
    out[n] = kSeparator;
  }
  return n + 1;
}

// Encodes count elements with put (two passes: measure, then write) into a new text.
template <typename Item, typename Put>
char* encodeArray(const Item* items, int count, const char* origin, Put put) {
  if (count < 0 || (count > 0 && items == nullptr)) {
    internal::setError(CIM_ERR_INVALID_ARGUMENT, "array or count is invalid", origin);
    return nullptr;
  }
  size_t length = 0;
  for (int i = 0; i < count; ++i) {
    size_t n = put(items[i], nullptr);
    if (n == 0) {
      internal::setError(CIM_ERR_INVALID_ARGUMENT, "array element is null", origin);
      return nullptr;
    }
    length += n;
  }
  char* text = static_cast<char*>(internal::allocate(length + 1, origin));
  if (text == nullptr) return nullptr;
  size_t at = 0;
  for (int i = 0; i < count; ++i) at += put(items[i], text + at);
  text[at] = '\0';
  return text;
}

}  // namespace

uint16_t* cim_decodeUint8Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeUint8Array", readInteger<uint16_t, uint8_t>);
}

int16_t* cim_decodeSint8Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeSint8Array", readInteger<int16_t, int8_t>);
}

uint32_t* cim_decodeUint16Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeUint16Array", readInteger<uint32_t, uint16_t>);
}

int32_t* cim_decodeSint16Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeSint16Array", readInteger<int32_t, int16_t>);
}

uint32_t* cim_decodeUint32Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeUint32Array", readInteger<uint32_t, uint32_t>);
}

int32_t* cim_decodeSint32Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeSint32Array", readInteger<int32_t, int32_t>);
}

uint64_t* cim_decodeUint64Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeUint64Array", readInteger<uint64_t, uint64_t>);
}

int64_t* cim_decodeSint64Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeSint64Array", readInteger<int64_t, int64_t>);
}

int32_t* cim_decodeBooleanArray(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeBooleanArray", readBoolean);
}

double* cim_decodeReal32Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeReal32Array", readReal<double, float>);
}

long double* cim_decodeReal64Array(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeReal64Array", readReal<long double, long double>);
}

uint32_t* cim_decodeDateTimeArray(const char* text, int* count) {
  return decodeArray(text, count, "cim_decodeDateTimeArray", readInteger<uint32_t, uint32_t>);
}

char** cim_decodeStringArray(const char* text, int* count) {
  const char* origin = "cim_decodeStringArray";
  int elements = 0;
  if (!startDecode(text, count, origin, &elements)) return nullptr;
  // One block: the element pointers, a null pointer, then the element texts.
  size_t pointers = (static_cast<size_t>(elements) + 1) * sizeof(char*);
  char** array = static_cast<char**>(internal::allocate(pointers + strlen(text) + 1, origin));
  if (array == nullptr) return nullptr;
  char* texts = reinterpret_cast<char*>(array) + pointers;
  splitElements(text, texts);
  for (int i = 0; i < elements; ++i) {
    array[i] = texts;
    texts += strlen(texts) + 1;
  }
  array[elements] = nullptr;
  *count = elements;
  return array;
}

void cim_freeStringArray(char** array) {
  free(array);
}

char* cim_encodeStringArray(const char* const* items, int count) {
  return encodeArray(items, count, "cim_encodeStringArray", [](const char* item, char* out) {
    return item == nullptr ? size_t{0} : putEscaped(item, out);
  });
}

char* cim_encodeSint64Array(const int64_t* items, int count) {
  return encodeArray(items, count, "cim_encodeSint64Array", putNumber<int64_t>);
}

char* cim_encodeUint64Array(const uint64_t* items, int count) {
  return encodeArray(items, count, "cim_encodeUint64Array", putNumber<uint64_t>);
}

}  // namespace nmspc_cim
