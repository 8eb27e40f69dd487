// The switch of alloc_fault.h. The program is linked with --wrap for malloc, calloc, realloc,
// free, mmap and mprotect: its own calls reach __wrap_*, and __real_* is the C library's (or a
// sanitizer's). operator new takes its memory from __real_malloc, so each allocation counts once.
#include "alloc_fault.h"

#include <sys/mman.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void __real_free(void* p);
void* __real_mmap(void* address, std::size_t length, int prot, int flags, int fd, off_t offset);
int __real_mprotect(void* address, std::size_t length, int prot);
}

namespace {

thread_local long t_countdown = -1;  // -1 disarmed; 0 the next allocation fails
thread_local bool t_repeat = true;   // after a failure, keep failing
thread_local bool t_failed = false;
thread_local long t_count = 0;
thread_local int t_paused = 0;

// The live blocks a ScopedLiveBlocks counts: an open-addressing set of addresses with markers
// for removed ones, its table from __real_calloc so that it never counts itself.
class LiveSet {
 public:
  void start() { active_ = true; }
  void stop() {
    __real_free(slots_);
    *this = LiveSet();
  }
  long count() const { return count_; }
  void add(void* p) {
    if (!active_ || p == nullptr) return;
    if ((used_ + 1) * 2 > capacity_ && !grow()) return;
    size_t i = home(p);
    while (slots_[i] != kFree && slots_[i] != kRemoved) i = (i + 1) & (capacity_ - 1);
    if (slots_[i] == kFree) ++used_;
    slots_[i] = reinterpret_cast<uintptr_t>(p);
    ++count_;
  }
  // Whether p was counted; it no longer is.
  bool remove(void* p) {
    if (count_ == 0 || p == nullptr) return false;
    for (size_t i = home(p); slots_[i] != kFree; i = (i + 1) & (capacity_ - 1)) {
      if (slots_[i] == reinterpret_cast<uintptr_t>(p)) {
        slots_[i] = kRemoved;
        --count_;
        return true;
      }
    }
    return false;
  }

 private:
  static constexpr uintptr_t kFree = 0, kRemoved = 1;
  size_t home(void* p) const {
    return (reinterpret_cast<uintptr_t>(p) * 0x9E3779B97F4A7C15ULL >> 20) & (capacity_ - 1);
  }
  bool grow() {
    LiveSet bigger;
    bigger.active_ = true;
    bigger.capacity_ = capacity_ == 0 ? 1024 : capacity_ * 2;
    bigger.slots_ = static_cast<uintptr_t*>(__real_calloc(bigger.capacity_, sizeof(uintptr_t)));
    if (bigger.slots_ == nullptr) return false;
    for (size_t i = 0; i < capacity_; ++i) {
      if (slots_[i] > kRemoved) bigger.add(reinterpret_cast<void*>(slots_[i]));
    }
    __real_free(slots_);
    *this = bigger;
    return true;
  }
  bool active_ = false;
  uintptr_t* slots_ = nullptr;
  size_t capacity_ = 0;  // a power of two
  size_t used_ = 0;      // slots live or removed
  long count_ = 0;
};
thread_local LiveSet t_live;

// Counts p, allocated by the code under test, as live.
void* Counted(void* p) {
  if (t_paused == 0) t_live.add(p);
  return p;
}

// Counts one allocation and answers whether it is to fail.
bool ShouldFail() {
  if (t_paused > 0) return false;
  ++t_count;
  if (t_countdown < 0) return false;
  if (t_countdown > 0) {
    --t_countdown;
    return false;
  }
  t_failed = true;
  if (!t_repeat) t_countdown = -1;
  return true;
}

void Arm(long n, bool repeat) {
  t_countdown = n < 0 ? -1 : n;
  t_repeat = repeat;
  t_failed = false;
}

void* Allocate(std::size_t size) {
  return ShouldFail() ? nullptr : Counted(__real_malloc(size != 0 ? size : 1));
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void AllocFailAfter(long n) {
  Arm(n, true);
}
void AllocFailNth(long n) {
  Arm(n, false);
}
bool AllocDisarm() {
  const bool failed = t_failed;
  Arm(-1, true);
  return failed;
}
bool AllocFailedYet() {
  return t_failed;
}
long AllocCount() {
  return t_count;
}
ScopedLiveBlocks::ScopedLiveBlocks() {
  t_live.start();
}
ScopedLiveBlocks::~ScopedLiveBlocks() {
  t_live.stop();
}
long ScopedLiveBlocks::count() const {
  return t_live.count();
}
ScopedAllocPause::ScopedAllocPause() {
  ++t_paused;
}
ScopedAllocPause::~ScopedAllocPause() {
  --t_paused;
}
ScopedAllocResume::ScopedAllocResume() : paused_(t_paused) {
  t_paused = 0;
}
ScopedAllocResume::~ScopedAllocResume() {
  t_paused = paused_;
}

extern "C" void* __wrap_malloc(std::size_t size) {
  return ShouldFail() ? nullptr : Counted(__real_malloc(size));
}
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
  return ShouldFail() ? nullptr : Counted(__real_calloc(count, size));
}
extern "C" void* __wrap_realloc(void* p, std::size_t size) {
  if (ShouldFail()) return nullptr;
  void* grown = __real_realloc(p, size);
  if (grown == nullptr) {
    if (size == 0) t_live.remove(p);  // freed
    return nullptr;
  }
  const bool counted = t_live.remove(p);
  if (counted || t_paused == 0) t_live.add(grown);
  return grown;
}
extern "C" void __wrap_free(void* p) {
  t_live.remove(p);
  __real_free(p);
}
extern "C" void* __wrap_mmap(void* address, std::size_t length, int prot, int flags, int fd,
                             off_t offset) {
  if (!ShouldFail()) return __real_mmap(address, length, prot, flags, fd, offset);
  errno = ENOMEM;
  return MAP_FAILED;
}
extern "C" int __wrap_mprotect(void* address, std::size_t length, int prot) {
  if (!ShouldFail()) return __real_mprotect(address, length, prot);
  errno = ENOMEM;
  return -1;
}

// Every form of new and delete, so that memory from __real_malloc always goes back to free.
void* operator new(std::size_t size) {
  return AllocateOrThrow(size);
}
void* operator new[](std::size_t size) {
  return AllocateOrThrow(size);
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
  return Allocate(size);
}
void operator delete(void* p) noexcept {
  std::free(p);
}
void operator delete[](void* p) noexcept {
  std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete[](void* p, std::size_t) noexcept {
  std::free(p);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
  std::free(p);
}
