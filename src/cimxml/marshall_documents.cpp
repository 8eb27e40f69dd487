// The three complete CIM-XML response documents. Each is the same frame (declaration, CIM,
// MESSAGE, SIMPLERSP) around one method response.
#include "cimxml/marshall.h"
#include "cimxml/marshall_internal.h"

using marshall_internal::orEmpty;
using marshall_internal::printIndented;
using marshall_internal::printPCDataIndented;
using nmspc_cim::CCIMList;
using nmspc_cim::CCIMObjectPath;
using nmspc_cim::CCIMProperty;

namespace {

// <!ELEMENT CIM (MESSAGE | DECLARATION)>
// <!ELEMENT MESSAGE (SIMPLEREQ | MULTIREQ | SIMPLERSP | ...)>
// <!ELEMENT SIMPLERSP (METHODRESPONSE | IMETHODRESPONSE | SIMPLEREQACK)>
// The lines down to SIMPLERSP; the declaration is followed by one empty line. The message id is
// the caller's text: it is escaped as character data is, so that no quote or markup character
// in it can end the attribute.
void openResponse(sbuf* buffer, const char* messageId) {
  printIndented(buffer, 0, "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n");
  printIndented(buffer, 0, "<CIM DTDVERSION=\"2.0\" CIMVERSION=\"2.0\">");
  printPCDataIndented(buffer, 1, "<MESSAGE ID=\"", orEmpty(messageId),
                      "\" PROTOCOLVERSION=\"1.0\">");
  printIndented(buffer, 2, "<SIMPLERSP>");
}

// The method response's closing line at level 3, then the lines from SIMPLERSP up.
void closeResponse(sbuf* buffer, const char* responseClose) {
  printIndented(buffer, 3, "%s", responseClose);
  printIndented(buffer, 2, "</SIMPLERSP>");
  printIndented(buffer, 1, "</MESSAGE>");
  printIndented(buffer, 0, "</CIM>");
}

}  // namespace

// <!ELEMENT IMETHODRESPONSE (ERROR | IRETURNVALUE?)>
// <!ELEMENT IRETURNVALUE (... | VALUE.OBJECT* | ...)>
int marshallExecQueryResults(sbuf* buffer, CCIMList* list, const char* messageId) {
  if (buffer == nullptr) return -1;
  openResponse(buffer, messageId);
  printIndented(buffer, 3, "<IMETHODRESPONSE NAME=\"ExecQuery\">");
  printIndented(buffer, 4, "<IRETURNVALUE>");
  if (marshallInstanceList(buffer, list, 5) != 0) return -1;
  printIndented(buffer, 4, "</IRETURNVALUE>");
  closeResponse(buffer, "</IMETHODRESPONSE>");
  return sbufHadTrouble(buffer) ? -1 : 0;
}

// <!ELEMENT IMETHODRESPONSE (ERROR | IRETURNVALUE?)>
// <!ELEMENT IRETURNVALUE (... | INSTANCENAME* | ...)>
// <!ELEMENT ERROR (INSTANCE*)>
int marshallCreateInstanceResults(sbuf* buffer, CCIMObjectPath* path, const char* messageId) {
  if (buffer == nullptr) return -1;
  openResponse(buffer, messageId);
  printIndented(buffer, 3, "<IMETHODRESPONSE NAME=\"CreateInstance\">");
  int result = 0;
  if (path == nullptr) {
    printIndented(buffer, 4, "<ERROR CODE=\"1\"/>");
  } else {
    printIndented(buffer, 4, "<IRETURNVALUE>");
    printIndented(buffer, 5, "<INSTANCENAME CLASSNAME=\"%s\">", orEmpty(path->className));
    bool stopped = false;
    result = marshall_internal::marshallKeyList(buffer, path->keys, 6, &stopped);
    if (stopped) return -1;  // a key's "0" could not be made: the document stays open
    printIndented(buffer, 5, "</INSTANCENAME>");
    printIndented(buffer, 4, "</IRETURNVALUE>");
  }
  closeResponse(buffer, "</IMETHODRESPONSE>");
  return sbufHadTrouble(buffer) ? -1 : result;
}

// <!ELEMENT METHODRESPONSE (ERROR | (RETURNVALUE?, PARAMVALUE*))>
// <!ELEMENT RETURNVALUE (VALUE | VALUE.REFERENCE)>
int marshallInvokeMethodResults(sbuf* buffer, CCIMProperty* property, const char* messageId,
                                const char* methodName) {
  if (buffer == nullptr) return -1;
  openResponse(buffer, messageId);
  printPCDataIndented(buffer, 3, "<METHODRESPONSE NAME=\"", orEmpty(methodName), "\">");
  printIndented(buffer, 4, "<RETURNVALUE>");
  const char* value = property != nullptr ? property->value : nullptr;
  printPCDataIndented(buffer, 5, "<VALUE>", orEmpty(value), "</VALUE>");
  printIndented(buffer, 4, "</RETURNVALUE>");
  closeResponse(buffer, "</METHODRESPONSE>");
  return sbufHadTrouble(buffer) ? -1 : 0;
}
