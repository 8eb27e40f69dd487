// The element writers of the CIM-XML marshaller: one function per element, nesting by calls,
// each under the DTD rule of the element it writes.
#include "cimxml/marshall.h"

#include <unistd.h>

#include <cstddef>

#include "cimxml/marshall_internal.h"

using marshall_internal::getTypeString;
using marshall_internal::printLine;
using marshall_internal::printPCDataIndented;
using nmspc_cim::CCIMInstance;
using nmspc_cim::CCIMList;
using nmspc_cim::CCIMProperty;

namespace {

// The host name of the document being written by this thread, looked up once for the whole
// instance list instead of once for every reference in it; null outside a list.
thread_local const char* tDocumentHost = nullptr;

// Holds the host name for the life of one instance list (the outermost, if they nest).
class DocumentHost {
 public:
  DocumentHost() {
    if (tDocumentHost != nullptr || gethostname(host_, sizeof(host_)) != 0) return;
    host_[sizeof(host_) - 1] = '\0';  // a cut name need not be terminated
    tDocumentHost = host_;
  }
  DocumentHost(const DocumentHost&) = delete;
  DocumentHost& operator=(const DocumentHost&) = delete;
  ~DocumentHost() {
    if (tDocumentHost == host_) tDocumentHost = nullptr;
  }

 private:
  char host_[256];
};

}  // namespace

// <!ELEMENT VALUE.OBJECT (CLASS | INSTANCE)>
int marshallInstanceList(sbuf* buffer, CCIMList* list, int level) {
  if (buffer == nullptr) return -1;
  DocumentHost host;
  for (CCIMList* node = list; node != nullptr; node = node->next) {
    CCIMInstance* instance = static_cast<CCIMInstance*>(node->data);
    if (instance == nullptr) continue;
    printLine(buffer, level, {"<VALUE.OBJECT>"});
    if (marshallInstance(buffer, instance, level + 1) != 0) return -1;
    printLine(buffer, level, {"</VALUE.OBJECT>"});
  }
  // A line that could not be written whole leaves the document incomplete: that is a failure,
  // not a shorter report.
  return sbufHadTrouble(buffer) ? -1 : 0;
}

// <!ELEMENT INSTANCE (QUALIFIER*, (PROPERTY | PROPERTY.ARRAY | PROPERTY.REFERENCE)*)>
int marshallInstance(sbuf* buffer, CCIMInstance* instance, int level) {
  if (buffer == nullptr || instance == nullptr || instance->className == nullptr) return -1;
  printLine(buffer, level, {"<INSTANCE CLASSNAME=\"", instance->className, "\">"});
  // A property that fails ends the list; the instance is closed all the same.
  marshallPropertyList(buffer, instance->properties, level + 1);
  printLine(buffer, level, {"</INSTANCE>"});
  return 0;
}

int marshallPropertyList(sbuf* buffer, CCIMList* list, int level) {
  if (buffer == nullptr) return -1;
  for (CCIMList* node = list; node != nullptr; node = node->next) {
    CCIMProperty* property = static_cast<CCIMProperty*>(node->data);
    if (property == nullptr) continue;
    int result = marshallProperty(buffer, property, level);
    if (result != 0) return result;
  }
  return 0;
}

int marshallProperty(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr) return 0;
  if (property->type >= nmspc_cim::CIM_UINT8_ARRAY &&
      property->type <= nmspc_cim::CIM_CHAR16_ARRAY) {
    marshall_internal::marshallArrayProperty(buffer, property, level);
    return 0;
  }
  if (property->type == nmspc_cim::CIM_REFERENCE) {
    return marshallPropertyReference(buffer, property, level);
  }
  if (property->type == nmspc_cim::CIM_INSTANCE) return 0;  // embedded instances are not written
  return marshallPropertyValue(buffer, property, level);
}

// <!ELEMENT PROPERTY (QUALIFIER*, VALUE?)>
int marshallPropertyValue(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr) return 0;
  printLine(
      buffer, level,
      {"<PROPERTY NAME=\"", property->name, "\" TYPE=\"", getTypeString(property->type), "\">"});
  if (property->isKey == nmspc_cim::CIM_TRUE) {
    marshallKeyQualifier(buffer, level + 1);
    if (marshall_internal::replaceBlankKeyValue(buffer, property) != 0) return -1;
  }
  if (property->value != nullptr) {
    printPCDataIndented(buffer, level + 1, "<VALUE>", property->value, "</VALUE>");
  }
  printLine(buffer, level, {"</PROPERTY>"});
  return 0;
}

// <!ELEMENT QUALIFIER ((VALUE | VALUE.ARRAY)?)>
int marshallKeyQualifier(sbuf* buffer, int level) {
  printLine(buffer, level, {"<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">"});
  printLine(buffer, level + 1, {"<VALUE>true</VALUE>"});
  return printLine(buffer, level, {"</QUALIFIER>"});
}

// <!ELEMENT PROPERTY.REFERENCE (QUALIFIER*, (VALUE.REFERENCE)?)>
int marshallPropertyReference(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  printLine(buffer, level, {"<PROPERTY.REFERENCE NAME=\"", property->name, "\">"});
  if (property->isKey == nmspc_cim::CIM_TRUE) marshallKeyQualifier(buffer, level + 1);
  int result = marshallPropertyValueReference(buffer, property, level + 1);
  printLine(buffer, level, {"</PROPERTY.REFERENCE>"});
  return result;
}

// <!ELEMENT VALUE.REFERENCE (CLASSPATH | LOCALCLASSPATH | CLASSNAME | INSTANCEPATH |
//                            LOCALINSTANCEPATH | INSTANCENAME)>
int marshallPropertyValueReference(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr) return 0;
  printLine(buffer, level, {"<VALUE.REFERENCE>"});
  int result = marshallPropertyInstancePath(buffer, property, level + 1);
  printLine(buffer, level, {"</VALUE.REFERENCE>"});
  return result;
}

// <!ELEMENT INSTANCEPATH (NAMESPACEPATH, INSTANCENAME)>
int marshallPropertyInstancePath(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  printLine(buffer, level, {"<INSTANCEPATH>"});
  int result = marshallNameSpacePath(buffer, property->reference->nameSpace, level + 1);
  if (result == 0) result = marshallInstanceName(buffer, property, level + 1);
  printLine(buffer, level, {"</INSTANCEPATH>"});
  return result;
}

// <!ELEMENT NAMESPACEPATH (HOST, LOCALNAMESPACEPATH)>
int marshallNameSpacePath(sbuf* buffer, const char* nameSpace, int level) {
  if (buffer == nullptr) return -1;
  if (nameSpace == nullptr) return 0;
  printLine(buffer, level, {"<NAMESPACEPATH>"});
  int result = marshallHost(buffer, level + 1);
  if (result == 0) result = marshallLocalNameSpacePath(buffer, nameSpace, level + 1);
  printLine(buffer, level, {"</NAMESPACEPATH>"});
  return result;
}

// <!ELEMENT HOST (#PCDATA)>
int marshallHost(sbuf* buffer, int level) {
  if (buffer == nullptr) return -1;
  char host[256];
  const char* name = tDocumentHost;
  if (name == nullptr) {
    if (gethostname(host, sizeof(host)) != 0) return -1;
    host[sizeof(host) - 1] = '\0';  // a cut name need not be terminated
    name = host;
  }
  printLine(buffer, level, {"<HOST>", name, "</HOST>"});
  return 0;
}

// <!ELEMENT LOCALNAMESPACEPATH (NAMESPACE+)>
// <!ELEMENT NAMESPACE EMPTY>
int marshallLocalNameSpacePath(sbuf* buffer, const char* nameSpace, int level) {
  if (buffer == nullptr) return -1;
  if (nameSpace == nullptr) return 0;
  printLine(buffer, level, {"<LOCALNAMESPACEPATH>"});
  const char* part = nameSpace;
  while (*part != '\0') {
    const char* end = part;
    while (*end != '\0' && *end != '/') ++end;
    if (end > part) {
      printLine(buffer, level + 1,
                {"<NAMESPACE NAME=\"",
                 marshall_internal::LinePiece(part, static_cast<size_t>(end - part)), "\"/>"});
    }
    part = *end == '/' ? end + 1 : end;
  }
  printLine(buffer, level, {"</LOCALNAMESPACEPATH>"});
  return 0;
}

// <!ELEMENT INSTANCENAME (KEYBINDING* | KEYVALUE? | VALUE.REFERENCE?)>
int marshallInstanceName(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  printLine(buffer, level, {"<INSTANCENAME CLASSNAME=\"", property->reference->className, "\">"});
  int result = marshallKeybindings(buffer, property, level + 1);
  printLine(buffer, level, {"</INSTANCENAME>"});
  return result;
}

int marshallKeybindings(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  return marshall_internal::marshallKeyList(buffer, property->reference->keys, level, nullptr);
}

namespace marshall_internal {

// <!ELEMENT KEYBINDING (KEYVALUE | VALUE.REFERENCE)>
// <!ELEMENT KEYVALUE (#PCDATA)>
int marshallKeyList(sbuf* buffer, CCIMList* keys, int level, bool* stopped) {
  if (stopped != nullptr) *stopped = false;
  int result = 0;
  for (CCIMList* node = keys; node != nullptr; node = node->next) {
    CCIMProperty* key = static_cast<CCIMProperty*>(node->data);
    if (key == nullptr) continue;
    printLine(buffer, level, {"<KEYBINDING NAME=\"", key->name, "\">"});
    if (key->type == nmspc_cim::CIM_REFERENCE) {
      result = marshallPropertyValueReference(buffer, key, level + 1);
    } else {
      if (replaceBlankKeyValue(buffer, key) != 0) {
        if (stopped != nullptr) *stopped = true;
        return -1;
      }
      printPCDataIndented(buffer, level + 1, "<KEYVALUE>", key->value, "</KEYVALUE>");
    }
    printLine(buffer, level, {"</KEYBINDING>"});
  }
  return result;
}

}  // namespace marshall_internal
