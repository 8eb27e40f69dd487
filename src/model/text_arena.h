// SrmTextArena: text that lives as long as its owner (the pairs of a global-id table, a text
// store's records, texts and list nodes), copied into chunks one after another and never given
// back one by one: all of it goes at once when the arena ends.
#ifndef RESDB_MODEL_TEXT_ARENA_H_
#define RESDB_MODEL_TEXT_ARENA_H_

#include <cstddef>
#include <cstdint>

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

#endif  // RESDB_MODEL_TEXT_ARENA_H_
