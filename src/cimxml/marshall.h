// The CIM-XML marshaller: plain functions that write records of the CIM client library
// (instances, properties, object paths) as CIM-XML text (DTD version 2.0 vocabulary) into a
// string buffer. The native print method writes a report with marshallInstanceList at level
// 0: a sequence of VALUE.OBJECT elements without any XML declaration or message wrapper. The
// three *Results functions write complete CIM-XML response documents.
//
// Lines. Every line is two blanks per nesting level, the element text and "\r\n". A child
// element is one level deeper than its parent. A line has no length limit: a value or name of
// any length is written whole.
//
// Text. Character data (the text of VALUE and KEYVALUE) is escaped byte by byte:
//   - '"' '&' '\'' '<' '>' become &quot; &amp; &apos; &lt; &gt;
//   - other bytes 0x20 to 0x7E are written as they are
//   - control bytes (0x00 to 0x1F) and 0x7F are dropped; nothing else of the text changes
//   - bytes 0x80 and above: see "Bytes 0x80 and above" below.
// Names written into attributes (NAME, CLASSNAME) and the host name are written as they are,
// markup characters included; only their bytes 0x80 and above are treated as below. The two
// attribute texts a caller of the response documents passes, the message id and the method
// name, are escaped as character data is.
//
// Bytes 0x80 and above. The text is handed to Java as modified UTF-8, and must stay well-formed
// XML, so everything written is valid modified UTF-8 and every character is one XML allows:
//   - a well-formed UTF-8 sequence of two or three bytes for a character XML allows (that is,
//     anything but U+FFFE and U+FFFF; surrogates are not well-formed UTF-8) is written as it
//     is;
//   - a well-formed four-byte sequence (U+10000 to U+10FFFF, which modified UTF-8 has no
//     four-byte form for) is written as a character reference &#xHHHHH; of its code point;
//   - so is a well-formed surrogate pair in the six-byte form Java hands such a character over
//     in (ED A0-AF xx ED B0-BF xx, for U+1F600 ED A0 BD ED B8 80): &#x1F600;. The reference
//     is plain ASCII, so the text stays valid UTF-8 for any reader of the buffer as well as
//     modified UTF-8 for Java, and every XML reader turns it back into the one character. A
//     lone or broken half is not well-formed and goes by the next rule;
//   - every other byte 0x80 to 0xFF (a stray continuation byte, a cut or overlong sequence, a
//     byte of a text in a single-byte character set) is written as the character reference
//     &#xHH; of the Latin-1 character of that byte, so 0xE9 alone becomes &#xE9; ("é").
// Nothing is lost or merged: the bytes around a dropped or referenced byte are written as they
// would be without it.
//
// Records. The marshaller only reads the records it is given, with one exception: a key
// (a key property, or a non-reference key binding of an object path) whose value text is null
// or only whitespace gets the new value "0" (by cim_setPropertyValue, which releases the old one),
// so the record holds "0" afterwards.
//
// Results: 0 for success; -1 for a null buffer, a failed "0" replacement or a failed host
// name lookup (as each function states). Growth failures of the buffer inside a line are not
// reported: a failing buffer yields truncated text. Both a failed growth and a failed "0"
// replacement (which leaves its element open) mark the buffer (sbufHadTrouble), so the
// document functions answer -1 for an incomplete document. Nothing throws. No state is kept between
// calls; gethostname is the only system call (once per instance list, whose references all
// name the host found then). Within one instance list, an instance path record met again at the
// same level is copied from where it was first written rather than written anew (the records
// do not change while a list is written, so the bytes are the same).
#ifndef RESDB_CIMXML_MARSHALL_H_
#define RESDB_CIMXML_MARSHALL_H_

#include "cimapi.h"
#include "cimxml/sbuf.h"

// <VALUE.OBJECT> around each instance, in list order; nodes without an instance are skipped.
// 0; 0 for a null list (nothing written); -1 for a null buffer, or at once when an instance
// fails (the VALUE.OBJECT element then stays open).
int marshallInstanceList(sbuf* buffer, nmspc_cim::CCIMList* list, int level);

// The INSTANCE element with its properties. -1 without writing for a null buffer, instance or
// class name; otherwise 0, whatever the property list returned.
int marshallInstance(sbuf* buffer, nmspc_cim::CCIMInstance* instance, int level);

// Each property of the list in order; the first non-zero result stops the list and is
// returned. 0 for a null list.
int marshallPropertyList(sbuf* buffer, nmspc_cim::CCIMList* list, int level);

// The property by its type: arrays (14 to 27) as PROPERTY.ARRAY (result 0), references (28)
// as PROPERTY.REFERENCE, embedded instances (29) not at all (result 0), the rest as PROPERTY.
// 0 for a null property.
int marshallProperty(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// A scalar PROPERTY with the key qualifier when it is a key, and its VALUE unless the value is
// null. A key's blank value becomes "0" first (-1 when that allocation fails, the element left
// open). 0 otherwise.
int marshallPropertyValue(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// The Key qualifier (three lines). The result of its last line: 0, -1 or 1.
int marshallKeyQualifier(sbuf* buffer, int level);

// A PROPERTY.REFERENCE for a reference property. 0 without writing when the property or its
// reference is null; otherwise the result of the value reference.
int marshallPropertyReference(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// VALUE.REFERENCE around the instance path of the property's reference; its result.
int marshallPropertyValueReference(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// INSTANCEPATH: the namespace path, then (only if that succeeded) the instance name. 0 without
// writing when the property or its reference is null; otherwise the first failure or 0.
int marshallPropertyInstancePath(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// NAMESPACEPATH: the host, then (only if that succeeded) the local namespace path. 0 without
// writing for a null namespace; otherwise the host's result.
int marshallNameSpacePath(sbuf* buffer, const char* nameSpace, int level);

// The HOST line with this machine's host name. -1 without writing when the name cannot be read.
int marshallHost(sbuf* buffer, int level);

// LOCALNAMESPACEPATH with one NAMESPACE per non-empty part of nameSpace between "/"
// separators. 0; 0 without writing for a null namespace.
int marshallLocalNameSpacePath(sbuf* buffer, const char* nameSpace, int level);

// INSTANCENAME of the property's reference with its key bindings; their result. 0 without
// writing when the property or its reference is null.
int marshallInstanceName(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// One KEYBINDING per key of the property's reference: a nested VALUE.REFERENCE for a
// reference key, else the KEYVALUE (a blank value becomes "0" first; -1 at once, the binding
// left open, when that allocation fails). The result of the last reference key, or 0.
int marshallKeybindings(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

// A complete ExecQuery response holding the instance list. 0; -1 for a null buffer or at once
// when the instance list fails (the document then stays unfinished).
int marshallExecQueryResults(sbuf* buffer, nmspc_cim::CCIMList* list, const char* messageId);

// A complete CreateInstance response: the INSTANCENAME of the path, or <ERROR CODE="1"/>
// without a path (result 0). With a path the result is as for marshallKeybindings. A null
// message id is written as the empty text.
int marshallCreateInstanceResults(sbuf* buffer, nmspc_cim::CCIMObjectPath* path,
                                  const char* messageId);

// A complete method response whose RETURNVALUE holds the property's value text (the empty text
// for a null property or value). 0; -1 for a null buffer. Null texts are written as empty.
int marshallInvokeMethodResults(sbuf* buffer, nmspc_cim::CCIMProperty* property,
                                const char* messageId, const char* methodName);

#endif  // RESDB_CIMXML_MARSHALL_H_
