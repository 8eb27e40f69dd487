#include "model/node_pool.h"

#include <cstddef>
#include <new>

namespace {

// Blocks are kept at the alignment operator new gives.
constexpr size_t kAlign = alignof(std::max_align_t);

size_t RoundUp(size_t bytes) {
  return (bytes + kAlign - 1) / kAlign * kAlign;
}

}  // namespace

SrmNodePool::~SrmNodePool() {
  while (chunks_ != nullptr) {
    Chunk* next = chunks_->next;
    ::operator delete(chunks_);
    chunks_ = next;
  }
}

void* SrmNodePool::allocate(size_t bytes) {
  if (block_size_ == 0)
    block_size_ = RoundUp(bytes < sizeof(FreeBlock) ? sizeof(FreeBlock) : bytes);
  if (RoundUp(bytes) != block_size_) return ::operator new(bytes);
  if (free_ != nullptr) {
    FreeBlock* block = free_;
    free_ = block->next;
    return block;
  }
  if (unused_ == unused_end_) {
    // The header takes a whole block, so that the blocks keep their alignment.
    const size_t blocks = next_chunk_blocks_;
    auto* chunk = static_cast<Chunk*>(::operator new(block_size_*(blocks + 1)));
    chunk->next = chunks_;
    chunks_ = chunk;
    unused_ = reinterpret_cast<char*>(chunk) + block_size_;
    unused_end_ = unused_ + block_size_ * blocks;
    if (next_chunk_blocks_ < kLargestChunkBlocks) next_chunk_blocks_ *= 2;
  }
  void* block = unused_;
  unused_ += block_size_;
  return block;
}

void SrmNodePool::deallocate(void* block, size_t bytes) noexcept {
  if (RoundUp(bytes) != block_size_) {
    ::operator delete(block);
    return;
  }
  auto* freed = static_cast<FreeBlock*>(block);
  freed->next = free_;
  free_ = freed;
}
