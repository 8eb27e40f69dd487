#include "model/chunk_cache.h"

#include <mutex>
#include <new>

namespace SrmChunkCache {
namespace {

// A kept block, linked through its first bytes.
struct KeptBlock {
  KeptBlock* next;
};

struct Cache {
  std::mutex mutex;
  KeptBlock* kept = nullptr;
  size_t count = 0;
};

// Made once and never destroyed, so that a database ended during the process's exit still finds
// it.
Cache& TheCache() {
  static Cache* cache = new Cache();
  return *cache;
}

}  // namespace

void* Take() noexcept {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  KeptBlock* block = cache.kept;
  if (block == nullptr) return nullptr;
  cache.kept = block->next;
  --cache.count;
  return block;
}

bool Keep(void* block) noexcept {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> lock(cache.mutex);
  if (cache.count == kMaxKeptChunks) return false;
  auto* kept = static_cast<KeptBlock*>(block);
  kept->next = cache.kept;
  cache.kept = kept;
  ++cache.count;
  return true;
}

size_t Drain() noexcept {
  Cache& cache = TheCache();
  KeptBlock* block;
  size_t count;
  {
    std::lock_guard<std::mutex> lock(cache.mutex);
    block = cache.kept;
    count = cache.count;
    cache.kept = nullptr;
    cache.count = 0;
  }
  while (block != nullptr) {
    KeptBlock* next = block->next;
    ::operator delete(block);
    block = next;
  }
  return count;
}

}  // namespace SrmChunkCache
