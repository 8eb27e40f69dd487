// The growable string buffer. Appending is a short path that copies into the room left; the
// one growth step lives in resized().
#include "cimxml/sbuf.h"

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cimxml/text_reservation.h"

namespace {

// From this capacity on, a buffer keeps its text in a text reservation where the system offers
// one: growth then makes more of the reserved range usable instead of reallocating, so a
// report of many megabytes is never copied and costs few page faults. Below it, and where no
// reservation can be had, the text is a malloc'd block that realloc grows.
constexpr unsigned int kLargeCapacity = 4u << 20;

// A block of capacity bytes for b's text, recording in b which kind it is; null when none
// could be had (b's kind then unchanged).
char* newBlock(sbuf* b, unsigned int capacity) {
  if (capacity >= kLargeCapacity) {
    char* range = textReservationCreate(capacity);
    if (range != nullptr) {
      b->reserved = 1;
      return range;
    }
  }
  char* block = static_cast<char*>(malloc(capacity));
  if (block != nullptr) b->reserved = 0;
  return block;
}

void releaseBlock(sbuf* b) {
  if (b->reserved != 0) {
    textReservationRelease(b->data);
  } else {
    free(b->data);
  }
}

// Makes b's block hold next bytes, its text kept. False (b unchanged) when it cannot.
bool growBlock(sbuf* b, unsigned int next) {
  if (b->reserved != 0) return textReservationGrow(b->data, b->capacity, next);
  if (next >= kLargeCapacity) {  // the step into a reservation, where one can be had
    char* range = textReservationCreate(next);
    if (range != nullptr) {
      memcpy(range, b->data, static_cast<size_t>(b->size) + 1);
      free(b->data);
      b->data = range;
      b->reserved = 1;
      return true;
    }
  }
  char* data = static_cast<char*>(realloc(b->data, next));
  if (data == nullptr) return false;
  b->data = data;
  return true;
}

// Grows the buffer by one step. 1 on success; 0 when the next capacity would not fit or the
// allocation fails, the buffer then unchanged.
int resized(sbuf* b) {
  unsigned int next = 0;
  if (!sbufNextCapacity(b->capacity, &next) || !growBlock(b, next)) {
    b->trouble = 1;
    return 0;
  }
  b->capacity = next;
  return 1;
}

unsigned int roomLeft(const sbuf* b) {
  return b->capacity - b->size - 1;
}

// True when p points into the buffer's allocated bytes.
bool pointsInto(const sbuf* b, const char* p) {
  uintptr_t at = reinterpret_cast<uintptr_t>(p);
  uintptr_t base = reinterpret_cast<uintptr_t>(b->data);
  return at >= base && at - base < b->capacity;
}

}  // namespace

int sbufNextCapacity(unsigned int capacity, unsigned int* next) {
  if (capacity > UINT_MAX / 2 - 1) return 0;
  *next = (capacity + 1) * 2;
  return 1;
}

sbuf* sbufCreate(unsigned int capacity) {
  if (capacity == 0) return nullptr;
  sbuf* b = static_cast<sbuf*>(malloc(sizeof(sbuf)));
  if (b == nullptr) return nullptr;
  b->data = newBlock(b, capacity);
  if (b->data == nullptr) {
    free(b);
    return nullptr;
  }
  b->capacity = capacity;
  b->size = 0;
  b->trouble = 0;
  b->data[0] = '\0';
  return b;
}

void sbufDestroy(sbuf* b) {
  if (b == nullptr) return;
  releaseBlock(b);
  free(b);
}

sbuf* sbufAppendN(sbuf* b, const char* s, unsigned int n) {
  if (b == nullptr || s == nullptr) return nullptr;
  if (n == 0) return b;
  // Bytes from the first NUL on are appended as NUL bytes, wherever the growth steps fall.
  const void* nul = memchr(s, '\0', n);
  unsigned int text =
      nul != nullptr ? static_cast<unsigned int>(static_cast<const char*>(nul) - s) : n;
  // A source inside the buffer moves with it.
  bool inside = pointsInto(b, s);
  size_t offset = inside ? static_cast<size_t>(s - b->data) : 0;
  unsigned int done = 0;
  while (done < n) {
    unsigned int room = roomLeft(b);
    if (room == 0) {
      if (!resized(b)) return nullptr;
      if (inside) s = b->data + offset;
      continue;
    }
    unsigned int chunk = n - done < room ? n - done : room;
    unsigned int copied = 0;
    if (done < text) copied = text - done < chunk ? text - done : chunk;
    char* to = b->data + b->size;
    memmove(to, s + done, copied);
    memset(to + copied, '\0', chunk - copied);
    b->size += chunk;
    b->data[b->size] = '\0';
    done += chunk;
  }
  return b;
}

sbuf* sbufAppend(sbuf* b, const char* s) {
  if (b == nullptr || s == nullptr) return nullptr;
  size_t length = strlen(s);
  if (length > UINT_MAX) return nullptr;
  return sbufAppendN(b, s, static_cast<unsigned int>(length));
}

const char* sbufGetString(const sbuf* b) {
  return b != nullptr ? b->data : nullptr;
}

char* sbufGetStringCopy(const sbuf* b) {
  if (b == nullptr) return nullptr;
  size_t bytes = static_cast<size_t>(b->size) + 1;
  char* copy = static_cast<char*>(malloc(bytes));
  if (copy != nullptr) memcpy(copy, b->data, bytes);
  return copy;
}

unsigned int sbufGetSize(const sbuf* b) {
  return b != nullptr ? b->size : 0;
}

unsigned int sbufGetCapacity(const sbuf* b) {
  return b != nullptr ? b->capacity : 0;
}

int sbufHadTrouble(const sbuf* b) {
  return b != nullptr && b->trouble != 0 ? 1 : 0;
}

sbuf* sbufReserve(sbuf* b, unsigned int n) {
  if (b == nullptr) return nullptr;
  if (n > UINT_MAX - 1 - b->size) {  // no capacity an unsigned int counts holds it
    b->trouble = 1;
    return nullptr;
  }
  while (roomLeft(b) < n) {
    if (!resized(b)) return nullptr;
  }
  return b;
}

void sbufSetTrouble(sbuf* b) {
  if (b != nullptr) b->trouble = 1;
}

sbuf* sbufClear(sbuf* b) {
  if (b == nullptr) return nullptr;
  b->size = 0;
  b->trouble = 0;
  b->data[0] = '\0';
  return b;
}

sbuf* sbufVPrintf(sbuf* b, const char* format, va_list args) {
  if (b == nullptr || format == nullptr) return nullptr;
  va_list measure;
  va_copy(measure, args);
  char scratch[1];
  int needed = vsnprintf(scratch, sizeof(scratch), format, measure);
  va_end(measure);
  if (needed < 0) return nullptr;
  while (roomLeft(b) < static_cast<unsigned int>(needed)) {
    if (!resized(b)) return nullptr;
  }
  va_list write;
  va_copy(write, args);
  int written = vsnprintf(b->data + b->size, b->capacity - b->size, format, write);
  va_end(write);
  if (written < 0) {
    b->data[b->size] = '\0';  // the formatter may have left part of a text behind
    return nullptr;
  }
  unsigned int room = roomLeft(b);
  b->size += static_cast<unsigned int>(written) < room ? static_cast<unsigned int>(written) : room;
  return b;
}

sbuf* sbufPrintf(sbuf* b, const char* format, ...) {
  va_list args;
  va_start(args, format);
  sbuf* result = sbufVPrintf(b, format, args);
  va_end(args);
  return result;
}
