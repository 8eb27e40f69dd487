// sbuf: a growable byte string that is always NUL-terminated, behind plain functions. The
// CIM-XML writer builds its whole document in one.
//
// Ownership: sbufCreate's caller owns the buffer and releases it with sbufDestroy; the buffer
// owns its text. sbufGetString lends the text until the next change of the buffer (growth
// moves it); sbufGetStringCopy hands out a copy the caller frees with free.
//
// Results: the functions that change the buffer return it on success and null on failure, so
// callers compare the result with the buffer they passed. Every function accepts a null
// buffer: those returning a buffer or text return null, the size getters 0, and sbufDestroy
// and sbufClear do nothing.
//
// Growth: the capacity goes from c to (c + 1) * 2 one step at a time (8192, 16386, 32774, ...);
// a step whose capacity would not fit an unsigned int fails like a failed reallocation.
// From 4 MiB on, the text lives in an address range set aside for it (see text_reservation.h)
// where the system offers one: a step then grows the text in place, asking for huge pages, so
// that a report of many megabytes is never copied and costs few page faults.
//
// Threads: a buffer is used by one thread at a time; the functions keep no shared state.
#ifndef RESDB_CIMXML_SBUF_H_
#define RESDB_CIMXML_SBUF_H_

#include <cstdarg>

// The buffer record. Invariant: size <= capacity - 1 and data[size] == NUL.
struct sbuf {
  unsigned int capacity;  // bytes allocated for data, the terminating NUL included
  unsigned int size;      // length of the text, the terminating NUL not counted
  char* data;             // the text, owned by the record: malloc'd, or a text reservation
  unsigned int trouble;   // set once the buffer could not grow: the text may lack something
  unsigned int reserved;  // nonzero when data is a text reservation rather than malloc'd
};

// Nonzero once an append or a print could not grow the buffer, or a writer marked the text as
// lacking something (until sbufClear): whatever wrote into it may have lost text without
// noticing. 0 for a null buffer.
int sbufHadTrouble(const sbuf* b);

// Marks the text as lacking something its writer could not add, as a failed growth does.
void sbufSetTrouble(sbuf* b);

// A new buffer holding the empty text with room for capacity bytes (NUL included). Null when
// capacity is 0 or an allocation fails; nothing is then left allocated.
sbuf* sbufCreate(unsigned int capacity);

// Frees the text, then the record.
void sbufDestroy(sbuf* b);

// Appends n bytes from s with strncpy semantics: the bytes up to the first NUL among the n,
// then NUL bytes for the rest (which count toward the size). Fills the room left before each
// growth step. n = 0 changes nothing and returns b. Null for a null s, or when a growth step
// fails; the bytes appended before the failure then stay, still terminated. s may point into
// the buffer's own text.
sbuf* sbufAppendN(sbuf* b, const char* s, unsigned int n);

// sbufAppendN with the length of the NUL-terminated text s. Null for a null s, or for a text
// longer than an unsigned int can count (nothing is appended then).
sbuf* sbufAppend(sbuf* b, const char* s);

// The buffer's own text, valid until the buffer next changes.
const char* sbufGetString(const sbuf* b);

// A new malloc'd copy of the text (size + 1 bytes, NUL bytes inside included), or null when
// the allocation fails.
char* sbufGetStringCopy(const sbuf* b);

unsigned int sbufGetSize(const sbuf* b);
unsigned int sbufGetCapacity(const sbuf* b);

// Grows the buffer by its growth steps until n more bytes fit behind the text (its NUL
// included). b, also when it had the room already; null when a growth step fails or no
// capacity could hold that much, the buffer keeping its text and the capacity it reached.
sbuf* sbufReserve(sbuf* b, unsigned int n);

// Empties the text (size 0), keeping the capacity.
sbuf* sbufClear(sbuf* b);

// Appends the text formatted from format and args (args itself is left unused: the function
// works on copies). Grows first as far as needed; when a growth step fails, or the formatter
// reports an error, returns null with the text unchanged. The arguments must not point into
// the buffer's own text.
sbuf* sbufVPrintf(sbuf* b, const char* format, va_list args);

sbuf* sbufPrintf(sbuf* b, const char* format, ...) __attribute__((format(printf, 2, 3)));

// Releases a buffer held by a std::unique_ptr<sbuf, SbufDeleter>.
struct SbufDeleter {
  void operator()(sbuf* b) const { sbufDestroy(b); }
};

// The growth rule, visible for tests: stores (capacity + 1) * 2 in *next and returns 1, or
// returns 0 when that would not fit an unsigned int.
int sbufNextCapacity(unsigned int capacity, unsigned int* next);

#endif  // RESDB_CIMXML_SBUF_H_
