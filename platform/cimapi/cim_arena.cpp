// The record arena: chunks taken from allocate() and handed out front to back. Records are
// small (a property block is 56 bytes), so a chunk holds thousands; a request too big to share
// a chunk gets one of its own.
#include <cstdint>
#include <cstdlib>

#include "cim_internal.h"
#include "cimapi.h"

namespace nmspc_cim {

// The arena record: its chunks, newest first, and the free room of the newest.
struct CCIMArena {
  struct Chunk {
    Chunk* previous;
    uint64_t padding;  // keeps what follows 16-byte aligned, as malloc's blocks are
  };
  Chunk* chunks;
  char* next;  // the free room of the newest chunk: [next, end)
  char* end;
};

namespace {

// A chunk's usable bytes. Above malloc's mapping threshold, so that a released chunk goes
// back to the system at once.
constexpr size_t kChunkBytes = 256 * 1024;
// Requests above this get a chunk of their own, so that a chunk is never left mostly unused.
constexpr size_t kOwnChunkAbove = kChunkBytes / 8;
constexpr size_t kAlignment = 8;

// A new chunk of bytes usable bytes linked into the arena (as the newest, or right behind the
// newest when `aside`); its first usable byte, or null on a failed allocation.
char* addChunk(CCIMArena* arena, size_t bytes, bool aside, const char* origin) {
  auto* chunk =
      static_cast<CCIMArena::Chunk*>(internal::allocate(sizeof(CCIMArena::Chunk) + bytes, origin));
  if (chunk == nullptr) return nullptr;
  char* start = reinterpret_cast<char*>(chunk + 1);
  if (aside && arena->chunks != nullptr) {
    chunk->previous = arena->chunks->previous;
    arena->chunks->previous = chunk;
  } else {
    chunk->previous = arena->chunks;
    arena->chunks = chunk;
    arena->next = start;
    arena->end = start + bytes;
  }
  return start;
}

}  // namespace

namespace internal {

void* allocateIn(CCIMArena* arena, size_t size, const char* origin) {
  if (arena == nullptr) return allocate(size, origin);
  size_t rounded = size == 0 ? kAlignment : (size + kAlignment - 1) & ~(kAlignment - 1);
  if (rounded < size || rounded > SIZE_MAX / 2) {  // no chunk could hold it
    setError(CIM_ERR_NO_MEMORY, "out of memory", origin);
    return nullptr;
  }
  if (rounded <= static_cast<size_t>(arena->end - arena->next)) {
    char* p = arena->next;
    arena->next += rounded;
    return p;
  }
  if (rounded > kOwnChunkAbove) return addChunk(arena, rounded, true, origin);
  char* p = addChunk(arena, kChunkBytes, false, origin);
  if (p != nullptr) arena->next += rounded;
  return p;
}

}  // namespace internal

CCIMArena* cim_createArena() {
  auto* arena = static_cast<CCIMArena*>(internal::allocate(sizeof(CCIMArena), "cim_createArena"));
  if (arena != nullptr) *arena = CCIMArena{nullptr, nullptr, nullptr};
  return arena;
}

void cim_freeArena(CCIMArena* arena) {
  if (arena == nullptr) return;
  for (CCIMArena::Chunk* chunk = arena->chunks; chunk != nullptr;) {
    CCIMArena::Chunk* previous = chunk->previous;
    free(chunk);
    chunk = previous;
  }
  free(arena);
}

}  // namespace nmspc_cim
