// SrmChunkCache: the largest chunks that arenas (text stores' included) give back, kept for the
// next ones to take instead of fresh memory from the system. A chunk malloc hands back to the
// system is paid for again, page by page, by the next database that takes its place; a kept one
// is taken again as it is. It keeps at most kMaxKeptChunks chunks (32 MiB) and owns them while
// they are kept. Shared by every thread, behind a mutex.
#ifndef RESDB_MODEL_CHUNK_CACHE_H_
#define RESDB_MODEL_CHUNK_CACHE_H_

#include <cstddef>

namespace SrmChunkCache {

// The size of the blocks kept, header included: the largest chunk an arena takes.
constexpr size_t kKeptBlockBytes = 64 * 1024;
constexpr size_t kMaxKeptChunks = 512;

// A kept block of kKeptBlockBytes, or null when none is kept.
void* Take() noexcept;
// Keeps block, of kKeptBlockBytes from operator new; false, with block left to the caller,
// when the cache is full.
bool Keep(void* block) noexcept;
// Gives every kept block back to operator delete; returns how many there were.
size_t Drain() noexcept;

}  // namespace SrmChunkCache

#endif  // RESDB_MODEL_CHUNK_CACHE_H_
