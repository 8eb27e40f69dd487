// SrmNodePool and SrmPoolAllocator: the nodes of one container taken from chunks its owner
// keeps, so that filing and dropping an entry costs a few instructions instead of a trip through
// malloc and free, and the nodes of a large container go back to the system as a few chunks.
#ifndef RESDB_MODEL_NODE_POOL_H_
#define RESDB_MODEL_NODE_POOL_H_

#include <cstddef>
#include <memory>
#include <type_traits>

#include "model/chunk_list.h"

// Blocks of one size (the size of the first block asked for), carved from room of its own, then
// from chunks that grow as the pool is used, and handed back to a free list. A block of another
// size comes from operator new. The pool owns its chunks and frees them when it ends: whatever
// holds a block of it must have given it back, or be gone, by then. Not thread safe.
class SrmNodePool {
 public:
  SrmNodePool() = default;
  SrmNodePool(const SrmNodePool&) = delete;
  SrmNodePool& operator=(const SrmNodePool&) = delete;

  // A block of bytes bytes. Throws std::bad_alloc when a new chunk cannot be had.
  void* allocate(size_t bytes);
  // Takes back a block allocate gave for the same bytes.
  void deallocate(void* block, size_t bytes) noexcept;

 private:
  struct FreeBlock {
    FreeBlock* next;
  };
  static constexpr size_t kFirstChunkBlocks = 4;
  // Room for the first blocks inside the pool, so that a container of an entry or two (most
  // child lists) takes no chunk at all: two map nodes of a resource list.
  static constexpr size_t kFirstRoom = 160;

  size_t block_size_ = 0;      // 0 until the first allocation fixes it
  FreeBlock* free_ = nullptr;  // blocks given back
  char* unused_ = nullptr;     // the newest chunk's blocks never handed out start here
  char* unused_end_ = nullptr;
  SrmChunkList chunks_;
  size_t next_chunk_blocks_ = kFirstChunkBlocks;
  alignas(std::max_align_t) char first_room_[kFirstRoom];
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
