// Array properties: the value text is decoded by the CIM client library's decoder for the
// element type and each element written as one VALUE line.
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "cimxml/marshall.h"
#include "cimxml/marshall_internal.h"

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

// Decodes text with decode and writes each element with write(buffer, level, element). A text
// the decoder cannot read writes nothing.
template <typename T, typename Writer>
void writeDecoded(sbuf* buffer, int level, const char* text, T* (*decode)(const char*, int*),
                  Writer write) {
  int count = 0;
  T* items = decode(text, &count);
  if (items == nullptr) return;
  for (int i = 0; i < count; ++i) write(buffer, level, items[i]);
  free(items);
}

void writeStrings(sbuf* buffer, int level, const char* text) {
  int count = 0;
  char** items = cim_decodeStringArray(text, &count);
  if (items == nullptr) return;
  for (int i = 0; i < count; ++i) {
    printPCDataIndented(buffer, level, "<VALUE>", items[i], "</VALUE>");
  }
  cim_freeStringArray(items);
}

// The VALUE lines of an array whose elements have the given scalar type.
void writeElements(sbuf* buffer, int level, int elementType, const char* text) {
  auto asUnsigned = [](sbuf* b, int l, unsigned int v) { printValueLine(b, l, "%u", v); };
  auto asSigned = [](sbuf* b, int l, int v) { printValueLine(b, l, "%d", v); };
  switch (elementType) {
    case CIM_UINT8:
      writeDecoded(buffer, level, text, cim_decodeUint8Array, asUnsigned);
      break;
    case CIM_SINT8:
      writeDecoded(buffer, level, text, cim_decodeSint8Array, asSigned);
      break;
    case CIM_UINT16:
    case CIM_CHAR16:  // a character's code, read as a uint16
      writeDecoded(buffer, level, text, cim_decodeUint16Array, asUnsigned);
      break;
    case CIM_SINT16:
      writeDecoded(buffer, level, text, cim_decodeSint16Array, asSigned);
      break;
    case CIM_UINT32:
      writeDecoded(buffer, level, text, cim_decodeUint32Array, asUnsigned);
      break;
    case CIM_SINT32:
      writeDecoded(buffer, level, text, cim_decodeSint32Array, asSigned);
      break;
    case CIM_UINT64:
      writeDecoded(buffer, level, text, cim_decodeUint64Array, [](sbuf* b, int l, uint64_t v) {
        printValueLine(b, l, "%llu", static_cast<unsigned long long>(v));
      });
      break;
    case CIM_SINT64:
      writeDecoded(buffer, level, text, cim_decodeSint64Array, [](sbuf* b, int l, int64_t v) {
        printValueLine(b, l, "%lld", static_cast<long long>(v));
      });
      break;
    case CIM_STRING:
      writeStrings(buffer, level, text);
      break;
    case CIM_BOOLEAN:
      writeDecoded(buffer, level, text, cim_decodeBooleanArray, [](sbuf* b, int l, int32_t v) {
        printPCDataIndented(b, l, "<VALUE>", v == 1 ? "true" : "false", "</VALUE>");
      });
      break;
    case CIM_REAL32:
      writeDecoded(buffer, level, text, cim_decodeReal32Array,
                   [](sbuf* b, int l, double v) { printValueLine(b, l, "%f", v); });
      break;
    case CIM_REAL64:
      writeDecoded(buffer, level, text, cim_decodeReal64Array,
                   [](sbuf* b, int l, long double v) { printValueLine(b, l, "%Lf", v); });
      break;
    case CIM_DATETIME:
      writeDecoded(buffer, level, text, cim_decodeDateTimeArray, asUnsigned);
      break;
    default:
      break;
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
  printLine(buffer, level + 1, {"<VALUE.ARRAY>"});
  writeElements(buffer, level + 2, elementType, property->value);
  printLine(buffer, level + 1, {"</VALUE.ARRAY>"});
  printLine(buffer, level, {"</PROPERTY.ARRAY>"});
}

}  // namespace marshall_internal
