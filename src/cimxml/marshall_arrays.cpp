// Array properties: the value text is decoded by the CIM client library's decoder for the
// element type and each element written as one VALUE line. A text the decoder cannot read makes
// the property NULL (no VALUE.ARRAY), after a warning in the provider log.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "cimxml/marshall.h"
#include "cimxml/marshall_internal.h"
#include "providerutil.h"

namespace marshall_internal {
namespace {

using namespace nmspc_cim;

// One VALUE line holding the formatted text, however long the formatting is (a long double
// in fixed notation can run to thousands of digits).
void printValueLine(sbuf* buffer, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

void printValueLine(sbuf* buffer, int level, const char* format, ...) {
  char text[64];
  va_list args;
  va_start(args, format);
  int needed = vsnprintf(text, sizeof(text), format, args);
  va_end(args);
  if (needed < 0) return;
  if (static_cast<size_t>(needed) < sizeof(text)) {
    printPCDataIndented(buffer, level, "<VALUE>", text, "</VALUE>");
    return;
  }
  size_t size = static_cast<size_t>(needed) + 1;
  char* longText = static_cast<char*>(malloc(size));
  if (longText == nullptr) return;
  va_start(args, format);
  vsnprintf(longText, size, format, args);
  va_end(args);
  printPCDataIndented(buffer, level, "<VALUE>", longText, "</VALUE>");
  free(longText);
}

// <!ELEMENT VALUE.ARRAY (VALUE*)>
// Decodes text with decode and writes a VALUE.ARRAY at level, each element written one level
// deeper with write(buffer, level, element). False, with nothing written, when the decoder
// cannot read the text.
template <typename T, typename Writer>
bool writeDecoded(sbuf* buffer, int level, const char* text, T* (*decode)(const char*, int*),
                  Writer write) {
  int count = 0;
  T* items = decode(text, &count);
  if (items == nullptr) return false;
  printTag(buffer, level, "<VALUE.ARRAY>");
  for (int i = 0; i < count; ++i) write(buffer, level + 1, items[i]);
  printTag(buffer, level, "</VALUE.ARRAY>");
  free(items);
  return true;
}

bool writeStrings(sbuf* buffer, int level, const char* text) {
  int count = 0;
  char** items = cim_decodeStringArray(text, &count);
  if (items == nullptr) return false;
  printTag(buffer, level, "<VALUE.ARRAY>");
  for (int i = 0; i < count; ++i) {
    printPCDataIndented(buffer, level + 1, "<VALUE>", items[i], "</VALUE>");
  }
  printTag(buffer, level, "</VALUE.ARRAY>");
  cim_freeStringArray(items);
  return true;
}

// The VALUE.ARRAY at level of an array whose elements have the given scalar type; false, with
// nothing written, when the text cannot be decoded.
bool writeElements(sbuf* buffer, int level, int elementType, const char* text) {
  auto asUnsigned = [](sbuf* b, int l, unsigned int v) { printValueLine(b, l, "%u", v); };
  auto asSigned = [](sbuf* b, int l, int v) { printValueLine(b, l, "%d", v); };
  switch (elementType) {
    case CIM_UINT8:
      return writeDecoded(buffer, level, text, cim_decodeUint8Array, asUnsigned);
    case CIM_SINT8:
      return writeDecoded(buffer, level, text, cim_decodeSint8Array, asSigned);
    case CIM_UINT16:
    case CIM_CHAR16:  // a character's code, read as a uint16
      return writeDecoded(buffer, level, text, cim_decodeUint16Array, asUnsigned);
    case CIM_SINT16:
      return writeDecoded(buffer, level, text, cim_decodeSint16Array, asSigned);
    case CIM_UINT32:
      return writeDecoded(buffer, level, text, cim_decodeUint32Array, asUnsigned);
    case CIM_SINT32:
      return writeDecoded(buffer, level, text, cim_decodeSint32Array, asSigned);
    case CIM_UINT64:
      return writeDecoded(buffer, level, text, cim_decodeUint64Array,
                          [](sbuf* b, int l, uint64_t v) {
                            printValueLine(b, l, "%llu", static_cast<unsigned long long>(v));
                          });
    case CIM_SINT64:
      return writeDecoded(buffer, level, text, cim_decodeSint64Array,
                          [](sbuf* b, int l, int64_t v) {
                            printValueLine(b, l, "%lld", static_cast<long long>(v));
                          });
    case CIM_STRING:
      return writeStrings(buffer, level, text);
    case CIM_BOOLEAN:
      return writeDecoded(
          buffer, level, text, cim_decodeBooleanArray, [](sbuf* b, int l, int32_t v) {
            printPCDataIndented(b, l, "<VALUE>", v == 1 ? "true" : "false", "</VALUE>");
          });
    case CIM_REAL32:
      return writeDecoded(buffer, level, text, cim_decodeReal32Array,
                          [](sbuf* b, int l, double v) { printValueLine(b, l, "%f", v); });
    case CIM_REAL64:
      return writeDecoded(buffer, level, text, cim_decodeReal64Array,
                          [](sbuf* b, int l, long double v) { printValueLine(b, l, "%Lf", v); });
    case CIM_DATETIME:
      return writeDecoded(buffer, level, text, cim_decodeDateTimeArray, asUnsigned);
    default:  // no element type beyond these: an empty array
      printTag(buffer, level, "<VALUE.ARRAY>");
      printTag(buffer, level, "</VALUE.ARRAY>");
      return true;
  }
}

}  // namespace

// <!ELEMENT PROPERTY.ARRAY (QUALIFIER*, VALUE.ARRAY?)>
// <!ELEMENT VALUE.ARRAY (VALUE*)>
void marshallArrayProperty(sbuf* buffer, CCIMProperty* property, int level) {
  int elementType = property->type - CIM_UINT8_ARRAY;
  printLine(
      buffer, level,
      {"<PROPERTY.ARRAY NAME=\"", property->name, "\" TYPE=\"", getTypeString(elementType), "\">"});
  if (property->isKey == CIM_TRUE) marshallKeyQualifier(buffer, level + 1);
  // A property without a value is NULL; one whose value cannot be read is made NULL, never an
  // empty array, and the provider log says so.
  if (property->value != nullptr &&
      !writeElements(buffer, level + 1, elementType, property->value)) {
    char message[512];  // a longer name is cut in the log line only
    snprintf(message, sizeof(message), "Array property %s (%s) written without a value: %s.",
             orEmpty(property->name), getTypeString(elementType),
             orEmpty(cim_getLastError()->message));
    prv_log(PRV_LOG_WARNING, "QDX_SRMAgentAdapter", "marshallPropertyArray", message);
  }
  printTag(buffer, level, "</PROPERTY.ARRAY>");
}

}  // namespace marshall_internal
