// SrmChunkList: chunks of memory taken from operator new for a pool or table to carve up, all
// given back at once when the list ends. It owns the chunks; whatever points into them must be
// done with them by then. Not thread safe.
#ifndef RESDB_MODEL_CHUNK_LIST_H_
#define RESDB_MODEL_CHUNK_LIST_H_

#include <cstddef>
#include <new>

class SrmChunkList {
 public:
  SrmChunkList() = default;
  SrmChunkList(const SrmChunkList&) = delete;
  SrmChunkList& operator=(const SrmChunkList&) = delete;
  ~SrmChunkList() {
    while (newest_ != nullptr) {
      Header* next = newest_->next;
      ::operator delete(newest_);
      newest_ = next;
    }
  }

  // A new chunk of bytes bytes, aligned as operator new aligns. Throws std::bad_alloc.
  void* add(size_t bytes) {
    auto* header = static_cast<Header*>(::operator new(kHeaderSize + bytes));
    header->next = newest_;
    newest_ = header;
    return reinterpret_cast<char*>(header) + kHeaderSize;
  }

 private:
  struct Header {
    Header* next;
  };
  // The header takes a whole alignment unit, so that the chunk keeps operator new's alignment.
  static constexpr size_t kHeaderSize = alignof(std::max_align_t);

  Header* newest_ = nullptr;
};

#endif  // RESDB_MODEL_CHUNK_LIST_H_
