// Shared mechanics of the CIM-XML marshaller's source files; not part of its interface. The
// line writers are the only code that appends to the buffer, so the rules of marshall.h for
// indentation, line ends, escaping and bytes 0x80 and above live in one place.
#ifndef RESDB_CIMXML_MARSHALL_INTERNAL_H_
#define RESDB_CIMXML_MARSHALL_INTERNAL_H_

#include <climits>
#include <cstddef>
#include <cstring>
#include <initializer_list>

#include "cimapi.h"
#include "cimxml/sbuf.h"

namespace marshall_internal {

// One line: 2 * level blanks, the formatted text, "\r\n", for lines written in the source:
// the format and its arguments are plain ASCII, and nothing is escaped or checked. 0; -1 when
// the line could not be appended (nothing of it stays); 1 when only its line end failed.
int printIndented(sbuf* buffer, int level, const char* format, ...)
    __attribute__((format(printf, 3, 4)));

// A run of bytes for printLine: a NUL-terminated text (null counts as ""), or the first length
// bytes of one.
struct LinePiece {
  LinePiece(const char* s) : text(s != nullptr ? s : ""), length(strlen(text)) {}  // NOLINT
  LinePiece(const char* s, size_t n) : text(s), length(n) {}
  const char* text;
  size_t length;
};

// One line of the pieces one after another: 2 * level blanks, the pieces, "\r\n". Bytes 0x80
// and above are made valid as marshall.h says; nothing else is escaped. The results are
// printIndented's.
int printLine(sbuf* buffer, int level, std::initializer_list<LinePiece> pieces);

// Sixteen blanks: the run indentation is written in.
inline constexpr char kBlankRun[17] = "                ";

// Where a line of level's indentation and `content` more bytes (its line end included) starts
// behind the text, its indentation already written there; null when the buffer has not that
// room (with some to spare) at hand or the level is out of the common range, and then the text
// is as it was. The caller writes the content and ends the line with endLine.
inline char* startLine(sbuf* buffer, int level, size_t content) {
  // Indentation is written in whole runs of 16 blanks (16 bytes of room to spare are asked
  // for); the content then writes over what lies past the indentation.
  constexpr size_t kRun = sizeof(kBlankRun) - 1;
  constexpr int kDeepest = 24;
  if (buffer == nullptr || level < 0 || level > kDeepest) return nullptr;
  size_t blanks = 2 * static_cast<size_t>(level);
  size_t room = buffer->capacity - buffer->size - 1;
  if (content > room || room - content < blanks + kRun) return nullptr;
  char* at = buffer->data + buffer->size;
  for (size_t done = 0; done < blanks; done += kRun) memcpy(at + done, kBlankRun, kRun);
  return at + blanks;
}

// Ends a line begun by startLine whose content ends at `at`: the line end, the NUL, the size.
inline int endLine(sbuf* buffer, char* at) {
  at[0] = '\r';
  at[1] = '\n';
  at[2] = '\0';
  buffer->size = static_cast<unsigned int>(at + 2 - buffer->data);
  return 0;
}

// Whether any of the n bytes at s is 0x80 or above.
bool hasHighByte(const unsigned char* s, size_t n);
inline bool hasHighByte(const LinePiece& piece) {
  return hasHighByte(reinterpret_cast<const unsigned char*>(piece.text), piece.length);
}

// printLine(buffer, level, {open, name, close}) for an opening written in the source (plain
// ASCII, no NUL): the same bytes and results, copied straight behind the text when the room
// is at hand and neither name nor close holds a byte 0x80 or above.
// plainClose: the caller vouches that close holds no byte 0x80 or above.
template <size_t N>
int printNamedLine(sbuf* buffer, int level, const char (&open)[N], const char* name,
                   const LinePiece& close, bool plainClose = false) {
  LinePiece named(name);
  char* at = nullptr;
  if (!hasHighByte(named) && (plainClose || !hasHighByte(close))) {
    at = startLine(buffer, level, N - 1 + named.length + close.length + 2);
  }
  if (at == nullptr) return printLine(buffer, level, {LinePiece(open, N - 1), named, close});
  memcpy(at, open, N - 1);
  at += N - 1;
  memcpy(at, named.text, named.length);
  at += named.length;
  memcpy(at, close.text, close.length);
  return endLine(buffer, at + close.length);
}

// printNamedLine with a closing written in the source (plain ASCII, no NUL).
template <size_t N, size_t M>
int printNamedLine(sbuf* buffer, int level, const char (&open)[N], const char* name,
                   const char (&close)[M]) {
  return printNamedLine(buffer, level, open, name, LinePiece(close, M - 1), true);
}

// printLine for a line that is one tag written in the source (plain ASCII, no NUL): the same
// bytes and results, copied straight behind the text when the room is at hand.
template <size_t N>
int printTag(sbuf* buffer, int level, const char (&tag)[N]) {
  char* at = startLine(buffer, level, N + 1);
  if (at == nullptr) return printLine(buffer, level, {LinePiece(tag, N - 1)});
  memcpy(at, tag, N - 1);
  return endLine(buffer, at + N - 1);
}

// One character-data line written by the line writer: 2 * level blanks, openTag, text escaped
// as marshall.h says (null: nothing), closeTag, "\r\n". -1 for a null buffer; 0, or 1 when the
// final line end could not be appended (failures before it are not reported). For the lines
// printPCDataIndented below cannot write straight into the buffer.
int printPCDataLine(sbuf* buffer, int level, const LinePiece& openTag, const char* text,
                    const LinePiece& closeTag);

// The text itself, or "" for null, so that a missing name never reaches a format.
inline const char* orEmpty(const char* text) {
  return text != nullptr ? text : "";
}

// Writes the NUL-terminated text at `at` as character data (entities for " & ' < >, control
// bytes and 0x7F dropped) and returns where it ends; null when the text holds a byte 0x80 or
// above, which this writer leaves to the line writer. Takes at most six bytes a text byte.
char* putPlainCharacterData(char* at, const char* text);

// printPCDataLine for tags written in the source (plain ASCII, no NUL). The common line, whose
// value has no byte 0x80 or above and has the room at hand, is written straight behind the text
// (the tags copied as the constants they are); the line writer takes any other.
template <size_t N, size_t M>
int printPCDataIndented(sbuf* buffer, int level, const char (&openTag)[N], const char* text,
                        const char (&closeTag)[M]) {
  const size_t length = strlen(orEmpty(text));
  char* at = length <= UINT_MAX ? startLine(buffer, level, N + 6 * length + M) : nullptr;
  if (at != nullptr) {
    memcpy(at, openTag, N - 1);
    char* end = putPlainCharacterData(at + N - 1, orEmpty(text));
    if (end != nullptr) {
      memcpy(end, closeTag, M - 1);
      return endLine(buffer, end + M - 1);
    }
    buffer->data[buffer->size] = '\0';  // as it was: the line writer takes the line
  }
  return printPCDataLine(buffer, level, LinePiece(openTag, N - 1), text,
                         LinePiece(closeTag, M - 1));
}

// 1 when text is null, empty or only blanks of the C locale's space class, else 0.
int isNullOrAllWhitespace(const char* text);

// The TYPE attribute text of a CIMType code; "unknown" for codes outside 0 to 29.
const char* getTypeString(int type);

// What follows a property's name in its opening line: "\" TYPE=\"", the type's text, "\">"
// (plain ASCII).
LinePiece typeAttributeEnd(int type);

// Gives a key whose value is null or blank the new value "0". 0; -1 when the allocation fails:
// the old value then stays and the buffer is marked as lacking text (sbufSetTrouble), since
// the element being written for the key is left incomplete.
int replaceBlankKeyValue(sbuf* buffer, nmspc_cim::CCIMProperty* key);

// One KEYBINDING per key of the list at level, with the result of marshallKeybindings. When a
// key's "0" could not be made it returns -1 at once, the binding left open, and sets *stopped
// (if given) so that callers can tell this from a failed nested reference.
int marshallKeyList(sbuf* buffer, nmspc_cim::CCIMList* keys, int level, bool* stopped);

// A PROPERTY.ARRAY: the values decoded by the library's decoder for the element type.
void marshallArrayProperty(sbuf* buffer, nmspc_cim::CCIMProperty* property, int level);

}  // namespace marshall_internal

#endif  // RESDB_CIMXML_MARSHALL_INTERNAL_H_
