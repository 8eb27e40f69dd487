// FoundMemo: open addressing with linear probing over record addresses.
#include "db/found_memo.h"

#include <new>

FoundMemo::FoundMemo(size_t count) noexcept {
  size_t size = 16;
  while (size < count * 2) size *= 2;
  try {
    slots_.assign(size, Slot{nullptr, nullptr});
    room_ = count;
  } catch (const std::bad_alloc&) {
    slots_.clear();
  }
}
