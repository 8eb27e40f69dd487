// SrmChunkList: chunks of memory taken from operator new for an arena to carve up, all
// given back at once when the list ends. It owns the chunks; whatever points into them must be
// done with them by then. A chunk of the largest size comes from, and goes back to, the chunk
// cache when it can. Not thread safe.
#ifndef RESDB_MODEL_CHUNK_LIST_H_
#define RESDB_MODEL_CHUNK_LIST_H_

#include <cstddef>
#include <new>

#include "model/chunk_cache.h"

class SrmChunkList {
  struct Header {
    Header* next;
    size_t bytes;  // the chunk's, header included
  };
  // The header takes a whole alignment unit, so that the chunk keeps operator new's alignment.
  static constexpr size_t kHeaderSize = alignof(std::max_align_t);
  static_assert(sizeof(Header) <= kHeaderSize, "the header fits its unit");

 public:
  // The largest chunk an arena asks for: one the chunk cache keeps.
  static constexpr size_t kLargestChunk = SrmChunkCache::kKeptBlockBytes - kHeaderSize;

  SrmChunkList() = default;
  SrmChunkList(const SrmChunkList&) = delete;
  SrmChunkList& operator=(const SrmChunkList&) = delete;
  ~SrmChunkList() {
    while (newest_ != nullptr) {
      Header* next = newest_->next;
      if (newest_->bytes != SrmChunkCache::kKeptBlockBytes || !SrmChunkCache::Keep(newest_))
        ::operator delete(newest_);
      newest_ = next;
    }
  }

  // A new chunk of bytes bytes, aligned as operator new aligns. Throws std::bad_alloc.
  void* add(size_t bytes) {
    const size_t block_bytes = kHeaderSize + bytes;
    void* block = block_bytes == SrmChunkCache::kKeptBlockBytes ? SrmChunkCache::Take() : nullptr;
    if (block == nullptr) block = ::operator new(block_bytes);
    auto* header = static_cast<Header*>(block);
    header->next = newest_;
    header->bytes = block_bytes;
    newest_ = header;
    return reinterpret_cast<char*>(header) + kHeaderSize;
  }

 private:
  Header* newest_ = nullptr;
};

#endif  // RESDB_MODEL_CHUNK_LIST_H_
