// The marshaller's line writers: indentation, line ends, character-data escaping and the
// treatment of bytes 0x80 and above. Every byte the marshaller writes passes through here.
#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cimxml/marshall_internal.h"

namespace marshall_internal {
namespace {

const char kBlanks[] = "                                                                ";

// Appends n bytes of s; false when the buffer could not grow.
bool appendBytes(sbuf* buffer, const char* s, size_t n) {
  while (n > 0) {
    unsigned int chunk = n > UINT_MAX ? UINT_MAX : static_cast<unsigned int>(n);
    if (sbufAppendN(buffer, s, chunk) != buffer) return false;
    s += chunk;
    n -= chunk;
  }
  return true;
}

bool appendIndentation(sbuf* buffer, int level) {
  size_t blanks = level > 0 ? 2 * static_cast<size_t>(level) : 0;
  while (blanks > 0) {
    size_t chunk = blanks < sizeof(kBlanks) - 1 ? blanks : sizeof(kBlanks) - 1;
    if (!appendBytes(buffer, kBlanks, chunk)) return false;
    blanks -= chunk;
  }
  return true;
}

// Cuts the text back to size bytes (size not above the current size).
void truncateTo(sbuf* buffer, unsigned int size) {
  buffer->size = size;
  buffer->data[size] = '\0';
}

// The length (2 to 4) of the well-formed UTF-8 sequence that starts at s, storing its code
// point; 0 when s does not start one, or starts one of U+FFFE or U+FFFF, which XML does not
// allow. Reads no further than the first byte that breaks the sequence, so a NUL-terminated s
// is never overrun.
int utf8SequenceLength(const unsigned char* s, uint32_t* codePoint) {
  unsigned char lead = s[0];
  unsigned char low = 0x80;  // the range of the second byte, narrowed for some lead bytes
  unsigned char high = 0xBF;
  int length = 0;
  uint32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;   // no overlong forms
    if (lead == 0xED) high = 0x9F;  // no surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;   // no overlong forms
    if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
  } else {
    return 0;
  }
  for (int i = 1; i < length; ++i) {
    if (s[i] < low || s[i] > high) return 0;
    low = 0x80;
    high = 0xBF;
    value = (value << 6) | (s[i] & 0x3F);
  }
  if (value == 0xFFFE || value == 0xFFFF) return 0;
  *codePoint = value;
  return length;
}

// The ten bits a surrogate half of the form ED first xx carries, when the three bytes at s are
// one whose second byte lies in [first, first + 0x0F]; -1 otherwise. Stops at the first byte
// that breaks the form.
int32_t surrogateBits(const unsigned char* s, unsigned char first) {
  if (s[0] != 0xED || s[1] < first || s[1] > first + 0x0F) return -1;
  if (s[2] < 0x80 || s[2] > 0xBF) return -1;
  return static_cast<int32_t>(((s[1] & 0x0F) << 6) | (s[2] & 0x3F));
}

// What the bytes from s on stand for: the length of a well-formed UTF-8 sequence (2 to 4), or
// 6 for a surrogate pair as Java writes a character above U+FFFF (a high half ED A0-AF xx, then
// a low half ED B0-BF xx), with its code point; 0 for neither. Reads no further than the first
// byte that breaks the form.
int sequenceLength(const unsigned char* s, uint32_t* codePoint) {
  int length = utf8SequenceLength(s, codePoint);
  if (length != 0 || s[0] != 0xED) return length;
  int32_t high = surrogateBits(s, 0xA0);
  if (high < 0) return 0;
  int32_t low = surrogateBits(s + 3, 0xB0);
  if (low < 0) return 0;
  *codePoint = 0x10000 + ((static_cast<uint32_t>(high) << 10) | static_cast<uint32_t>(low));
  return 6;
}

// The entity that stands for a markup character in character data, or null.
const char* entityFor(unsigned char c) {
  switch (c) {
    case '"':
      return "&quot;";
    case '&':
      return "&amp;";
    case '\'':
      return "&apos;";
    case '<':
      return "&lt;";
    case '>':
      return "&gt;";
    default:
      return nullptr;
  }
}

// How each byte below 0x80 reads in character data; bytes 0x80 and above are kHigh.
enum ByteClass : unsigned char { kCopy, kEnd, kEntity, kDrop, kHigh };

struct ByteClasses {
  ByteClass of[256];
  ByteClasses() : of() {
    for (int c = 0; c < 256; ++c) {
      if (c == 0) {
        of[c] = kEnd;
      } else if (c >= 0x80) {
        of[c] = kHigh;
      } else if (entityFor(static_cast<unsigned char>(c)) != nullptr) {
        of[c] = kEntity;
      } else {
        of[c] = c >= 0x20 && c <= 0x7E ? kCopy : kDrop;
      }
    }
  }
};

const ByteClasses kByteClasses;

// The offset of the first byte 0x80 or above among the n bytes at s, or n.
size_t firstHighByte(const unsigned char* s, size_t n) {
  size_t at = 0;
  for (; at + 8 <= n; at += 8) {
    uint64_t word;
    memcpy(&word, s + at, sizeof(word));
    if ((word & 0x8080808080808080ULL) != 0) break;
  }
  if (at < n && at + 8 > n && n >= 8) {  // the last few bytes as one word, overlapping
    uint64_t word;
    memcpy(&word, s + n - 8, sizeof(word));
    if ((word & 0x8080808080808080ULL) == 0) return n;
  }
  while (at < n && s[at] < 0x80) ++at;
  return at;
}

}  // namespace

// The common line has no byte 0x80 or above, so its words are OR-ed together without a branch
// for each (the last one overlapping the one before).
bool hasHighByte(const unsigned char* s, size_t n) {
  uint64_t any = 0;
  if (n >= 8) {
    for (size_t at = 0; at + 8 <= n; at += 8) {
      uint64_t word;
      memcpy(&word, s + at, sizeof(word));
      any |= word;
    }
    uint64_t last;
    memcpy(&last, s + n - 8, sizeof(last));
    any |= last;
  } else {
    for (size_t at = 0; at < n; ++at) any |= s[at];
  }
  return (any & 0x8080808080808080ULL) != 0;
}

namespace {

// Gathers one line in a local area and hands it to the buffer in as few appends as its length
// allows, applying the rules of marshall.h on the way. Once an append fails, the rest of the
// line is dropped.
class LineWriter {
 public:
  explicit LineWriter(sbuf* buffer) : buffer_(buffer), start_(buffer->size) {}

  void indent(int level) {
    size_t blanks = level > 0 ? 2 * static_cast<size_t>(level) : 0;
    while (blanks > 0) {
      size_t chunk = blanks < sizeof(kBlanks) - 1 ? blanks : sizeof(kBlanks) - 1;
      put(kBlanks, chunk);
      blanks -= chunk;
    }
  }

  // The n bytes as they are (no NUL among them).
  void put(const char* s, size_t n) {
    if (n <= sizeof(line_) - used_) {
      memcpy(line_ + used_, s, n);
      used_ += n;
    } else {
      flush();
      if (n <= sizeof(line_)) {
        memcpy(line_, s, n);
        used_ = n;
      } else if (!failed_ && !appendBytes(buffer_, s, n)) {
        failed_ = true;
      }
    }
    total_ += n;
  }

  // The n bytes at s (no NUL among them) as appendText writes them.
  void putKept(const char* s, size_t n) {
    const unsigned char* u = reinterpret_cast<const unsigned char*>(s);
    size_t at = 0;
    while (at < n) {
      size_t plain = at + firstHighByte(u + at, n - at);
      put(s + at, plain - at);
      at = plain;
      if (at < n) at += putHigh(u + at, n - at);
    }
  }

  // The NUL-terminated text as character data: entities for " & ' < >, control bytes and
  // 0x7F dropped, bytes 0x80 and above as putHigh writes them.
  void putEscaped(const char* text) {
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t at = 0;
    for (;;) {
      size_t run = at;
      while (kByteClasses.of[s[at]] == kCopy) ++at;
      put(text + run, at - run);
      switch (kByteClasses.of[s[at]]) {
        case kEnd:
          return;
        case kEntity: {
          const char* entity = entityFor(s[at]);
          put(entity, strlen(entity));
          ++at;
          break;
        }
        case kHigh:
          at += putHigh(s + at, SIZE_MAX);
          break;
        default:  // kDrop
          ++at;
          break;
      }
    }
  }

  // Appends what is still held; false when this or an earlier append failed.
  bool flush() {
    if (used_ > 0 && !failed_) {
      // The common case, room enough, is a plain copy (the area never holds a NUL);
      // otherwise sbufAppendN grows the buffer.
      if (buffer_->capacity - buffer_->size - 1 >= used_) {
        memcpy(buffer_->data + buffer_->size, line_, used_);
        buffer_->size += static_cast<unsigned int>(used_);
        buffer_->data[buffer_->size] = '\0';
      } else if (!appendBytes(buffer_, line_, used_)) {
        failed_ = true;
      }
    }
    used_ = 0;
    return !failed_;
  }

  unsigned int start() const { return start_; }
  size_t total() const { return total_; }  // bytes put so far

 private:
  // Writes the byte 0x80 or above at s (at most n bytes readable, or up to a NUL) and returns
  // the bytes it stood for: a well-formed sequence of two or three bytes as it is, one of four
  // or a surrogate pair as a character reference to its code point, any other byte as a
  // reference to itself.
  size_t putHigh(const unsigned char* s, size_t n) {
    uint32_t codePoint = 0;
    int length = sequenceLength(s, &codePoint);
    // sequenceLength stops at the first byte that breaks a sequence: the byte after a
    // counted run is never a continuation byte, so the bound only matters for a cut sequence.
    if (length > 0 && static_cast<size_t>(length) > n) length = 0;
    if (length == 2 || length == 3) {
      put(reinterpret_cast<const char*>(s), static_cast<size_t>(length));
      return static_cast<size_t>(length);
    }
    uint32_t referenced = length >= 4 ? codePoint : s[0];
    char reference[16] = "&#x";
    size_t used = 3;
    int shift = 28;
    while (shift > 0 && (referenced >> shift) == 0) shift -= 4;
    for (; shift >= 0; shift -= 4)
      reference[used++] = "0123456789ABCDEF"[(referenced >> shift) & 0xF];
    reference[used++] = ';';
    put(reference, used);
    return length >= 4 ? static_cast<size_t>(length) : 1;
  }

  sbuf* buffer_;
  unsigned int start_;
  bool failed_ = false;
  size_t used_ = 0;
  size_t total_ = 0;
  char line_[2048];
};

// The common line when startLine finds no room at hand: room made for it first, then as
// printPlainLine.
bool printGrowingPlainLine(sbuf* buffer, int level, std::initializer_list<LinePiece> pieces) {
  size_t blanks = level > 0 ? 2 * static_cast<size_t>(level) : 0;
  size_t total = blanks + 2;
  for (const LinePiece& piece : pieces) total += piece.length;
  if (total >= UINT_MAX - buffer->size) return false;
  if (buffer->capacity - buffer->size - 1 < total &&
      sbufReserve(buffer, static_cast<unsigned int>(total)) != buffer) {
    return false;
  }
  char* at = buffer->data + buffer->size;
  while (blanks > 0) {
    size_t chunk = blanks < sizeof(kBlanks) - 1 ? blanks : sizeof(kBlanks) - 1;
    memcpy(at, kBlanks, chunk);
    at += chunk;
    blanks -= chunk;
  }
  const char* content = at;
  for (const LinePiece& piece : pieces) {
    memcpy(at, piece.text, piece.length);
    at += piece.length;
  }
  size_t length = static_cast<size_t>(at - content);
  if (hasHighByte(reinterpret_cast<const unsigned char*>(content), length)) {
    buffer->data[buffer->size] = '\0';
    return false;
  }
  at[0] = '\r';
  at[1] = '\n';
  at[2] = '\0';
  buffer->size += static_cast<unsigned int>(total);
  return true;
}

// The common line, with no byte 0x80 or above, copied straight behind the text. False, with
// the buffer's text as it was, when a piece holds such a byte or the buffer could not grow; the
// line writer then takes the line.
bool printPlainLine(sbuf* buffer, int level, std::initializer_list<LinePiece> pieces) {
  size_t content = 2;
  for (const LinePiece& piece : pieces) content += piece.length;
  char* start = startLine(buffer, level, content);
  if (start == nullptr) return printGrowingPlainLine(buffer, level, pieces);
  char* at = start;
  for (const LinePiece& piece : pieces) {
    memcpy(at, piece.text, piece.length);
    at += piece.length;
  }
  if (hasHighByte(reinterpret_cast<const unsigned char*>(start), content - 2)) {
    buffer->data[buffer->size] = '\0';
    return false;
  }
  endLine(buffer, at);
  return true;
}

}  // namespace

int printLine(sbuf* buffer, int level, std::initializer_list<LinePiece> pieces) {
  if (buffer == nullptr) return -1;
  if (printPlainLine(buffer, level, pieces)) return 0;
  LineWriter line(buffer);
  line.indent(level);
  for (const LinePiece& piece : pieces) line.putKept(piece.text, piece.length);
  size_t content = line.total();
  line.put("\r\n", 2);
  if (line.flush()) return 0;
  if (buffer->size - line.start() >= content) return 1;
  truncateTo(buffer, line.start());
  return -1;
}

int printIndented(sbuf* buffer, int level, const char* format, ...) {
  if (buffer == nullptr || format == nullptr) return -1;
  unsigned int start = buffer->size;
  if (!appendIndentation(buffer, level)) {
    truncateTo(buffer, start);
    return -1;
  }
  va_list args;
  va_start(args, format);
  sbuf* printed = sbufVPrintf(buffer, format, args);
  va_end(args);
  if (printed != buffer) {
    truncateTo(buffer, start);
    return -1;
  }
  return appendBytes(buffer, "\r\n", 2) ? 0 : 1;
}

int printPCDataLine(sbuf* buffer, int level, const LinePiece& open, const char* text,
                    const LinePiece& close) {
  if (buffer == nullptr) return -1;
  LineWriter line(buffer);
  line.indent(level);
  line.putKept(open.text, open.length);
  line.putEscaped(orEmpty(text));
  line.putKept(close.text, close.length);
  line.put("\r\n", 2);
  return line.flush() ? 0 : 1;
}

char* putPlainCharacterData(char* at, const char* text) {
  const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
  for (;; ++s) {
    const unsigned char* run = s;
    while (kByteClasses.of[*s] == kCopy) ++s;
    memcpy(at, run, static_cast<size_t>(s - run));
    at += s - run;
    unsigned char c = *s;
    ByteClass kind = kByteClasses.of[c];
    if (kind == kEnd) {
      return at;
    } else if (kind == kEntity) {
      const char* entity = entityFor(c);
      size_t n = strlen(entity);
      memcpy(at, entity, n);
      at += n;
    } else if (kind == kHigh) {
      return nullptr;
    }  // kDrop: nothing
  }
}

int isNullOrAllWhitespace(const char* text) {
  if (text == nullptr) return 1;
  for (; *text != '\0'; ++text) {
    // The C locale's space class, tested in place: nearly every key ends this at its first byte.
    const char c = *text;
    if (c != ' ' && (c < '\t' || c > '\r')) return 0;
  }
  return 1;
}

const char* getTypeString(int type) {
  static const char* const kNames[] = {
      "uint8",        "sint8",          "uint16",       "sint16",        "uint32",
      "sint32",       "uint64",         "sint64",       "string",        "boolean",
      "real32",       "real64",         "datetime",     "char16",        "uint8_array",
      "sint8_array",  "uint16_array",   "sint16_array", "uint32_array",  "sint32_array",
      "uint64_array", "sint64_array",   "string_array", "boolean_array", "real32_array",
      "real64_array", "datetime_array", "char16_array", "reference",     "instance"};
  if (type < 0 || type >= static_cast<int>(sizeof(kNames) / sizeof(kNames[0]))) return "unknown";
  return kNames[type];
}

LinePiece typeAttributeEnd(int type) {
  // Built once: one text for each code and one for "unknown".
  struct Ends {
    char text[32][32];
    size_t length[32];
    Ends() {
      for (int t = 0; t < 32; ++t) {
        int n = snprintf(text[t], sizeof(text[t]), "\" TYPE=\"%s\">", getTypeString(t - 1));
        length[t] = static_cast<size_t>(n);
      }
    }
  };
  static const Ends kEnds;
  int at = type >= 0 && type < 31 ? type + 1 : 0;  // 0: "unknown" (getTypeString(-1))
  return LinePiece(kEnds.text[at], kEnds.length[at]);
}

int replaceBlankKeyValue(sbuf* buffer, nmspc_cim::CCIMProperty* key) {
  if (!isNullOrAllWhitespace(key->value)) return 0;
  if (nmspc_cim::cim_setPropertyValue(key, "0") == 0) {
    sbufSetTrouble(buffer);
    return -1;
  }
  return 0;
}

}  // namespace marshall_internal
