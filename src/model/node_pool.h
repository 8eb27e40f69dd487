// SrmNodePool and SrmPoolAllocator: the nodes of one container carved from an arena its owner
// keeps, so that filing and dropping an entry costs a few instructions instead of a trip through
// malloc and free, and the nodes go back to the system with the arena's chunks.
#ifndef RESDB_MODEL_NODE_POOL_H_
#define RESDB_MODEL_NODE_POOL_H_

#include <cstddef>
#include <memory>
#include <type_traits>

#include "model/text_arena.h"

// Blocks of one size (the size of the first block asked for), carved from chunks that grow as
// the pool is used, and handed back to a free list. The chunks come from an arena the pool
// borrows, which gives them back when it ends: the arena must outlive the pool and whatever holds
// a block of it. A block of another size comes from operator new. Not thread safe.
class SrmNodePool {
 public:
  explicit SrmNodePool(SrmTextArena* room) : room_(room) {}
  SrmNodePool(const SrmNodePool&) = delete;
  SrmNodePool& operator=(const SrmNodePool&) = delete;

  // A block of bytes bytes. Throws std::bad_alloc when a new chunk cannot be had.
  void* allocate(size_t bytes) {
    // The common case inline: a block of the pool's size from the newest chunk.
    if (bytes == last_bytes_ && free_ == nullptr && unused_ != unused_end_) {
      void* block = unused_;
      unused_ += block_size_;
      return block;
    }
    return allocateSlowly(bytes);
  }
  // Takes back a block allocate gave for the same bytes.
  void deallocate(void* block, size_t bytes) noexcept;

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  // Chunks start with room for two blocks (most child lists hold one or two entries) and double
  // up to kMostChunkBlocks; the arena already takes its own memory in large pieces.
  static constexpr size_t kFirstChunkBlocks = 2;
  static constexpr size_t kMostChunkBlocks = 64;

  // allocate's other cases: a block given back, a new chunk, the first block, another size.
  void* allocateSlowly(size_t bytes);

  size_t block_size_ = 0;      // 0 until the first allocation fixes it
  size_t last_bytes_ = 0;      // the size asked for when a block of the pool's size was made
  FreeBlock* free_ = nullptr;  // blocks given back
  char* unused_ = nullptr;     // the newest chunk's blocks never handed out start here
  char* unused_end_ = nullptr;
  SrmTextArena* room_;  // borrowed
  size_t next_chunk_blocks_ = kFirstChunkBlocks;
};

// The allocator of a node-based container whose nodes come from an SrmNodePool (borrowed); a
// default-made one, and a copy made for a copied container, use operator new instead, so that
// no container outside the pool's owner ever holds the pool's blocks. Swapping containers swaps
// their allocators; moving one into another of a different pool moves its entries one by one.
template <class T>
class SrmPoolAllocator {
 public:
  using value_type = T;
  using propagate_on_container_copy_assignment = std::false_type;
  using propagate_on_container_move_assignment = std::false_type;
  using propagate_on_container_swap = std::true_type;
  using is_always_equal = std::false_type;

  SrmPoolAllocator() noexcept = default;
  explicit SrmPoolAllocator(SrmNodePool* pool) noexcept : pool_(pool) {}
  template <class U>
  SrmPoolAllocator(const SrmPoolAllocator<U>& other) noexcept : pool_(other.pool()) {}

  T* allocate(size_t n) {
    if (pool_ != nullptr && n == 1) return static_cast<T*>(pool_->allocate(sizeof(T)));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (pool_ != nullptr && n == 1) {
      pool_->deallocate(p, sizeof(T));
    } else {
      std::allocator<T>().deallocate(p, n);
    }
  }
  SrmPoolAllocator select_on_container_copy_construction() const noexcept {
    return SrmPoolAllocator();
  }
  SrmNodePool* pool() const noexcept { return pool_; }

  template <class U>
  bool operator==(const SrmPoolAllocator<U>& other) const noexcept {
    return pool_ == other.pool();
  }
  template <class U>
  bool operator!=(const SrmPoolAllocator<U>& other) const noexcept {
    return pool_ != other.pool();
  }

 private:
  SrmNodePool* pool_ = nullptr;
};

#endif  // RESDB_MODEL_NODE_POOL_H_
