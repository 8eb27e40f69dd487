// The record arena: chunks taken from allocate() and handed out front to back. Records are
// small (a property block is 56 bytes), so a chunk holds thousands; a request too big to share
// a chunk gets one of its own. A large report's records take a hundred megabytes: past its first
// 16 MiB, an arena takes whole huge pages, so that the system maps its memory in a few hundred
// faults rather than tens of thousands.
#if defined(__linux__)
#include <sys/mman.h>
#endif

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
  size_t shared_chunks;  // chunks made to be shared by requests so far
};

namespace {

// The first chunks' usable bytes. Above malloc's mapping threshold, so that a released chunk
// goes back to the system at once.
constexpr size_t kChunkBytes = 256 * 1024;
// The shared chunks an arena makes of that size (16 MiB in all); the next ones take a huge page
// each, header included, placed on its boundary. A report whose records take less, as those of
// ten thousand records do, never holds the unused part of a huge page, up to 2 MiB; past that,
// the unused part is small beside the rest.
constexpr size_t kSmallChunks = 64;
constexpr size_t kHugePage = size_t{2} << 20;
// Requests above this get a chunk of their own, so that a chunk is never left mostly unused.
constexpr size_t kOwnChunkAbove = kChunkBytes / 8;
constexpr size_t kAlignment = 8;

// A chunk of bytes usable bytes: a huge page (bytes fills it) advised as one, or a block of
// malloc's.
CCIMArena::Chunk* newChunk(size_t bytes, bool huge, const char* origin) {
  const size_t size = sizeof(CCIMArena::Chunk) + bytes;
  if (!huge) return static_cast<CCIMArena::Chunk*>(internal::allocate(size, origin));
  void* page = internal::allocateAligned(kHugePage, size, origin);
#ifdef MADV_HUGEPAGE
  if (page != nullptr) madvise(page, size, MADV_HUGEPAGE);  // advice only
#endif
  return static_cast<CCIMArena::Chunk*>(page);
}

// A new chunk of bytes usable bytes linked into the arena (as the newest, or right behind the
// newest when `aside`); its first usable byte, or null on a failed allocation. A shared chunk
// (not aside) past the first kSmallChunks takes a whole huge page whatever bytes asks.
char* addChunk(CCIMArena* arena, size_t bytes, bool aside, const char* origin) {
  const bool huge = !aside && arena->shared_chunks >= kSmallChunks;
  if (huge) bytes = kHugePage - sizeof(CCIMArena::Chunk);
  CCIMArena::Chunk* chunk = newChunk(bytes, huge, origin);
  if (chunk == nullptr) return nullptr;
  if (!aside) ++arena->shared_chunks;
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
  if (arena != nullptr) *arena = CCIMArena{nullptr, nullptr, nullptr, 0};
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
