// SrmTextArena and SrmArenaAllocator: text that lives as long as its owner (the Ids a resource
// list is keyed by, the pairs of a global-id table), copied into chunks one after another and
// never given back one by one: all of it goes at once when the arena ends.
#ifndef RESDB_MODEL_TEXT_ARENA_H_
#define RESDB_MODEL_TEXT_ARENA_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <type_traits>

#include "model/chunk_list.h"

// Room for text carved from room of its own, then from chunks that grow as the arena is used; a
// text longer than the next chunk gets a chunk of its own. It owns the chunks. Not thread safe.
class SrmTextArena {
 public:
  SrmTextArena() = default;
  SrmTextArena(const SrmTextArena&) = delete;
  SrmTextArena& operator=(const SrmTextArena&) = delete;

  // Room for bytes bytes (not aligned). Throws std::bad_alloc when a new chunk cannot be had.
  char* allocate(size_t bytes) {
    if (bytes > room_) grow(bytes);
    char* text = unused_;
    unused_ += bytes;
    room_ -= bytes;
    return text;
  }
  // The same, aligned as operator new aligns.
  void* allocateAligned(size_t bytes) {
    constexpr size_t kAlign = alignof(std::max_align_t);
    const size_t pad = (kAlign - reinterpret_cast<uintptr_t>(unused_) % kAlign) % kAlign;
    if (pad + bytes > room_) {
      grow(bytes);  // a chunk starts aligned
    } else {
      unused_ += pad;
      room_ -= pad;
    }
    return allocate(bytes);
  }

 private:
  static constexpr size_t kLargestChunk = SrmChunkList::kLargestChunk;
  // Room for the first texts inside the arena, so that an owner of a few short texts (most
  // child lists) takes no chunk at all.
  static constexpr size_t kFirstRoom = 96;

  void grow(size_t bytes) {
    const size_t room = bytes > next_chunk_ ? bytes : next_chunk_;
    unused_ = static_cast<char*>(chunks_.add(room));
    room_ = room;
    next_chunk_ = next_chunk_ * 2 < kLargestChunk ? next_chunk_ * 2 : kLargestChunk;
  }

  SrmChunkList chunks_;
  alignas(std::max_align_t) char first_room_[kFirstRoom];
  char* unused_ = first_room_;  // the newest room not yet taken
  size_t room_ = kFirstRoom;
  size_t next_chunk_ = 256;
};

// The allocator of a string whose text comes from an SrmTextArena (borrowed): giving the text
// back does nothing, the arena frees it. A default-made one, and the one a copied string gets,
// use operator new and delete instead, so that a copy never points into the arena.
template <class T>
class SrmArenaAllocator {
  static_assert(sizeof(T) == 1, "for the characters of a string");

 public:
  using value_type = T;
  using propagate_on_container_copy_assignment = std::false_type;
  using propagate_on_container_move_assignment = std::false_type;
  using propagate_on_container_swap = std::false_type;
  using is_always_equal = std::false_type;

  SrmArenaAllocator() noexcept = default;
  explicit SrmArenaAllocator(SrmTextArena* arena) noexcept : arena_(arena) {}
  template <class U>
  SrmArenaAllocator(const SrmArenaAllocator<U>& other) noexcept : arena_(other.arena()) {}

  T* allocate(size_t n) {
    if (arena_ != nullptr) return reinterpret_cast<T*>(arena_->allocate(n));
    return std::allocator<T>().allocate(n);
  }
  void deallocate(T* p, size_t n) noexcept {
    if (arena_ == nullptr) std::allocator<T>().deallocate(p, n);
  }
  SrmArenaAllocator select_on_container_copy_construction() const noexcept {
    return SrmArenaAllocator();
  }
  SrmTextArena* arena() const noexcept { return arena_; }

  template <class U>
  bool operator==(const SrmArenaAllocator<U>& other) const noexcept {
    return arena_ == other.arena();
  }
  template <class U>
  bool operator!=(const SrmArenaAllocator<U>& other) const noexcept {
    return arena_ != other.arena();
  }

 private:
  SrmTextArena* arena_ = nullptr;
};

// An Id as a resource list keeps it: a string whose text may live in the list's arena.
using SrmIdText = std::basic_string<char, std::char_traits<char>, SrmArenaAllocator<char>>;

#endif  // RESDB_MODEL_TEXT_ARENA_H_
