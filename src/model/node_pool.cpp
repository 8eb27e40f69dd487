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

void* SrmNodePool::allocate(size_t bytes) {
  if (block_size_ == 0) {
    block_size_ = RoundUp(bytes < sizeof(FreeBlock) ? sizeof(FreeBlock) : bytes);
    unused_ = first_room_;
    unused_end_ = first_room_ + kFirstRoom / block_size_ * block_size_;
  }
  if (RoundUp(bytes) != block_size_) return ::operator new(bytes);
  if (free_ != nullptr) {
    FreeBlock* block = free_;
    free_ = block->next;
    return block;
  }
  if (unused_ == unused_end_) {
    // Chunks double up to the largest chunk (a block larger than it gets a chunk of its own).
    const size_t most_blocks = SrmChunkList::kLargestChunk / block_size_;
    size_t bytes_of_chunk = block_size_ * next_chunk_blocks_;
    if (next_chunk_blocks_ >= most_blocks) {
      bytes_of_chunk = most_blocks == 0 ? block_size_ : SrmChunkList::kLargestChunk;
    } else {
      next_chunk_blocks_ *= 2;
    }
    unused_ = static_cast<char*>(chunks_.add(bytes_of_chunk));
    unused_end_ = unused_ + bytes_of_chunk / block_size_ * block_size_;
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
