// The element writers of the CIM-XML marshaller: one function per element, nesting by calls,
// each under the DTD rule of the element it writes.
#include "cimxml/marshall.h"

#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <optional>

#include "cimxml/marshall_internal.h"
#include "cimxml/path_memo.h"

using marshall_internal::printLine;
using marshall_internal::printNamedLine;
using marshall_internal::printPCDataIndented;
using marshall_internal::printTag;
using nmspc_cim::CCIMInstance;
using nmspc_cim::CCIMList;
using nmspc_cim::CCIMProperty;

namespace {

// The levels up to which marshallKeyQualifier copies its lines whole.
constexpr int kQualifierLevels = 16;

// What one instance list keeps while it is written: the host name, looked up once for the
// whole list instead of once for every reference in it, and where each instance path written
// so far lies. Lives on the writing thread's stack for the outermost list (lists may nest);
// `tDocument` points to it meanwhile.
class Document {
 public:
  explicit Document(sbuf* buffer) : buffer_(buffer) {
    if (gethostname(host_, sizeof(host_)) != 0) return;
    host_[sizeof(host_) - 1] = '\0';  // a cut name need not be terminated
    hostKnown_ = true;
  }
  Document(const Document&) = delete;
  Document& operator=(const Document&) = delete;

  // The document being written into buffer by this thread, or null.
  static Document* of(const sbuf* buffer);

  // The host name; null when it could not be read.
  const char* host() const { return hostKnown_ ? host_ : nullptr; }

  // Appends the text of path at level again when it was written before; false when it was not
  // (or the buffer could not grow), and then nothing was appended.
  bool repeatPath(const nmspc_cim::CCIMObjectPath* path, int level) {
    return repeat(paths_.find(path), level, 0);
  }

  // Remembers that the text of path at level runs from offset to the end of the text, unless
  // the buffer lost something on the way.
  void rememberPath(const nmspc_cim::CCIMObjectPath* path, int level, unsigned int offset) {
    remember(&paths_, path, level, 0, offset);
  }

  // The same for the opening lines of a property (see printOpening) by its name's text, which
  // no other text shares while the document is written, and its type and key flag.
  bool repeatOpening(const CCIMProperty* property, int level) {
    return repeat(openings_.find(property->name), level, variantOf(property));
  }
  void rememberOpening(const CCIMProperty* property, int level, unsigned int offset) {
    remember(&openings_, property->name, level, variantOf(property), offset);
  }

 private:
  static int variantOf(const CCIMProperty* property) {
    return 2 * property->type + (property->isKey == nmspc_cim::CIM_TRUE ? 1 : 0);
  }

  bool repeat(const PathMemo::Place* place, int level, int variant) {
    if (place == nullptr || place->level != level || place->variant != variant) return false;
    if (sbufReserve(buffer_, place->length) != buffer_) return false;
    char* data = buffer_->data;
    memcpy(data + buffer_->size, data + place->offset, place->length);
    buffer_->size += place->length;
    data[buffer_->size] = '\0';
    return true;
  }

  void remember(PathMemo* memo, const void* key, int level, int variant, unsigned int offset) {
    if (sbufHadTrouble(buffer_)) return;
    memo->remember(key, PathMemo::Place{offset, buffer_->size - offset, level, variant});
  }

  sbuf* buffer_;  // borrowed: the list's buffer
  char host_[256];
  bool hostKnown_ = false;
  PathMemo paths_;
  PathMemo openings_;
};

thread_local Document* tDocument = nullptr;

Document* Document::of(const sbuf* buffer) {
  return tDocument != nullptr && tDocument->buffer_ == buffer ? tDocument : nullptr;
}

// Makes a document current for the outermost instance list.
class DocumentScope {
 public:
  explicit DocumentScope(sbuf* buffer) {
    if (tDocument != nullptr) return;
    document_.emplace(buffer);
    tDocument = &*document_;
  }
  DocumentScope(const DocumentScope&) = delete;
  DocumentScope& operator=(const DocumentScope&) = delete;
  ~DocumentScope() {
    if (document_) tDocument = nullptr;
  }

 private:
  std::optional<Document> document_;
};

// A property's opening lines: its own line, which writeLine writes, and the key qualifier
// when it is a key. Copied when written before in this document at level for the same name
// text, type and key flag: the same bytes, a fraction of the work.
template <typename WriteLine>
void printOpening(sbuf* buffer, const CCIMProperty* property, int level, WriteLine writeLine) {
  Document* document = Document::of(buffer);
  if (document != nullptr && document->repeatOpening(property, level)) return;
  const unsigned int start = buffer->size;
  writeLine();
  if (property->isKey == nmspc_cim::CIM_TRUE) marshallKeyQualifier(buffer, level + 1);
  if (document != nullptr) document->rememberOpening(property, level, start);
}

}  // namespace

// <!ELEMENT VALUE.OBJECT (CLASS | INSTANCE)>
int marshallInstanceList(sbuf* buffer, CCIMList* list, int level) {
  if (buffer == nullptr) return -1;
  DocumentScope document(buffer);
  for (CCIMList* node = list; node != nullptr; node = node->next) {
    CCIMInstance* instance = static_cast<CCIMInstance*>(node->data);
    if (instance == nullptr) continue;
    printTag(buffer, level, "<VALUE.OBJECT>");
    if (marshallInstance(buffer, instance, level + 1) != 0) return -1;
    printTag(buffer, level, "</VALUE.OBJECT>");
  }
  // A line that could not be written whole leaves the document incomplete: that is a failure,
  // not a shorter report.
  return sbufHadTrouble(buffer) ? -1 : 0;
}

// <!ELEMENT INSTANCE (QUALIFIER*, (PROPERTY | PROPERTY.ARRAY | PROPERTY.REFERENCE)*)>
int marshallInstance(sbuf* buffer, CCIMInstance* instance, int level) {
  if (buffer == nullptr || instance == nullptr || instance->className == nullptr) return -1;
  printNamedLine(buffer, level, "<INSTANCE CLASSNAME=\"", instance->className, "\">");
  // A property that fails ends the list; the instance is closed all the same.
  marshallPropertyList(buffer, instance->properties, level + 1);
  printTag(buffer, level, "</INSTANCE>");
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
  printOpening(buffer, property, level, [&] {
    printNamedLine(buffer, level, "<PROPERTY NAME=\"", property->name,
                   marshall_internal::typeAttributeEnd(property->type), true);
  });
  if (property->isKey == nmspc_cim::CIM_TRUE &&
      marshall_internal::replaceBlankKeyValue(buffer, property) != 0) {
    return -1;
  }
  if (property->value != nullptr) {
    printPCDataIndented(buffer, level + 1, "<VALUE>", property->value, "</VALUE>");
  }
  printTag(buffer, level, "</PROPERTY>");
  return 0;
}

// <!ELEMENT QUALIFIER ((VALUE | VALUE.ARRAY)?)>
int marshallKeyQualifier(sbuf* buffer, int level) {
  // Every key writes the same three lines at its level: made once per level (without
  // allocating), copied whole.
  struct Blocks {
    char text[kQualifierLevels][192];
    size_t length[kQualifierLevels];
    Blocks() {
      for (int l = 0; l < kQualifierLevels; ++l) {
        int outer = 2 * l;
        int n = snprintf(text[l], sizeof(text[l]),
                         "%*s<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">\r\n"
                         "%*s  <VALUE>true</VALUE>\r\n%*s</QUALIFIER>\r\n",
                         outer, "", outer, "", outer, "");
        length[l] = static_cast<size_t>(n);
      }
    }
  };
  static const Blocks kBlocks;
  if (level >= 0 && level < kQualifierLevels) {
    const size_t length = kBlocks.length[level];
    char* at = marshall_internal::startLine(buffer, 0, length + 1);
    if (at != nullptr) {
      memcpy(at, kBlocks.text[level], length + 1);  // with its NUL
      buffer->size += static_cast<unsigned int>(length);
      return 0;
    }
  }
  printTag(buffer, level, "<QUALIFIER NAME=\"Key\" TYPE=\"boolean\">");
  printTag(buffer, level + 1, "<VALUE>true</VALUE>");
  return printTag(buffer, level, "</QUALIFIER>");
}

// <!ELEMENT PROPERTY.REFERENCE (QUALIFIER*, (VALUE.REFERENCE)?)>
int marshallPropertyReference(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  printOpening(buffer, property, level, [&] {
    printNamedLine(buffer, level, "<PROPERTY.REFERENCE NAME=\"", property->name, "\">");
  });
  int result = marshallPropertyValueReference(buffer, property, level + 1);
  printTag(buffer, level, "</PROPERTY.REFERENCE>");
  return result;
}

// <!ELEMENT VALUE.REFERENCE (CLASSPATH | LOCALCLASSPATH | CLASSNAME | INSTANCEPATH |
//                            LOCALINSTANCEPATH | INSTANCENAME)>
int marshallPropertyValueReference(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr) return 0;
  printTag(buffer, level, "<VALUE.REFERENCE>");
  int result = marshallPropertyInstancePath(buffer, property, level + 1);
  printTag(buffer, level, "</VALUE.REFERENCE>");
  return result;
}

// <!ELEMENT INSTANCEPATH (NAMESPACEPATH, INSTANCENAME)>
int marshallPropertyInstancePath(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  // A path written before in this document is copied: the same bytes, a fraction of the work.
  Document* document = Document::of(buffer);
  if (document != nullptr && document->repeatPath(property->reference, level)) return 0;
  unsigned int start = buffer->size;
  printTag(buffer, level, "<INSTANCEPATH>");
  int result = marshallNameSpacePath(buffer, property->reference->nameSpace, level + 1);
  if (result == 0) result = marshallInstanceName(buffer, property, level + 1);
  printTag(buffer, level, "</INSTANCEPATH>");
  if (document != nullptr && result == 0) {
    document->rememberPath(property->reference, level, start);
  }
  return result;
}

// <!ELEMENT NAMESPACEPATH (HOST, LOCALNAMESPACEPATH)>
int marshallNameSpacePath(sbuf* buffer, const char* nameSpace, int level) {
  if (buffer == nullptr) return -1;
  if (nameSpace == nullptr) return 0;
  printTag(buffer, level, "<NAMESPACEPATH>");
  int result = marshallHost(buffer, level + 1);
  if (result == 0) result = marshallLocalNameSpacePath(buffer, nameSpace, level + 1);
  printTag(buffer, level, "</NAMESPACEPATH>");
  return result;
}

// <!ELEMENT HOST (#PCDATA)>
int marshallHost(sbuf* buffer, int level) {
  if (buffer == nullptr) return -1;
  char host[256];
  const char* name = tDocument != nullptr ? tDocument->host() : nullptr;
  if (name == nullptr) {
    if (gethostname(host, sizeof(host)) != 0) return -1;
    host[sizeof(host) - 1] = '\0';  // a cut name need not be terminated
    name = host;
  }
  printNamedLine(buffer, level, "<HOST>", name, "</HOST>");
  return 0;
}

// <!ELEMENT LOCALNAMESPACEPATH (NAMESPACE+)>
// <!ELEMENT NAMESPACE EMPTY>
int marshallLocalNameSpacePath(sbuf* buffer, const char* nameSpace, int level) {
  if (buffer == nullptr) return -1;
  if (nameSpace == nullptr) return 0;
  printTag(buffer, level, "<LOCALNAMESPACEPATH>");
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
  printTag(buffer, level, "</LOCALNAMESPACEPATH>");
  return 0;
}

// <!ELEMENT INSTANCENAME (KEYBINDING* | KEYVALUE? | VALUE.REFERENCE?)>
int marshallInstanceName(sbuf* buffer, CCIMProperty* property, int level) {
  if (buffer == nullptr) return -1;
  if (property == nullptr || property->reference == nullptr) return 0;
  printNamedLine(buffer, level, "<INSTANCENAME CLASSNAME=\"", property->reference->className,
                 "\">");
  int result = marshallKeybindings(buffer, property, level + 1);
  printTag(buffer, level, "</INSTANCENAME>");
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
    printNamedLine(buffer, level, "<KEYBINDING NAME=\"", key->name, "\">");
    if (key->type == nmspc_cim::CIM_REFERENCE) {
      result = marshallPropertyValueReference(buffer, key, level + 1);
    } else {
      if (replaceBlankKeyValue(buffer, key) != 0) {
        if (stopped != nullptr) *stopped = true;
        return -1;
      }
      printPCDataIndented(buffer, level + 1, "<KEYVALUE>", key->value, "</KEYVALUE>");
    }
    printTag(buffer, level, "</KEYBINDING>");
  }
  return result;
}

}  // namespace marshall_internal
