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

void* SrmNodePool::allocateSlowly(size_t bytes) {
  if (block_size_ == 0)
    block_size_ = RoundUp(bytes < sizeof(FreeBlock) ? sizeof(FreeBlock) : bytes);
  if (RoundUp(bytes) != block_size_) return ::operator new(bytes);
  last_bytes_ = bytes;
  if (free_ != nullptr) {
    FreeBlock* block = free_;
    free_ = block->next;
    return block;
  }
  if (unused_ == unused_end_) {
    const size_t bytes_of_chunk = block_size_ * next_chunk_blocks_;
    unused_ = static_cast<char*>(room_->allocateAligned(bytes_of_chunk));
    unused_end_ = unused_ + bytes_of_chunk;
    if (next_chunk_blocks_ < kMostChunkBlocks) next_chunk_blocks_ *= 2;
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
