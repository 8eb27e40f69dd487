// The switch of alloc_fault.h. The program is linked with --wrap for malloc, calloc, realloc,
// mmap and mprotect: its own calls reach __wrap_*, and __real_* is the C library's (or a
// sanitizer's). operator new takes its memory from __real_malloc, so each allocation counts once.
#include "alloc_fault.h"

#include <sys/mman.h>
#include <sys/types.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <new>

extern "C" {
void* __real_malloc(std::size_t size);
void* __real_calloc(std::size_t count, std::size_t size);
void* __real_realloc(void* p, std::size_t size);
void* __real_mmap(void* address, std::size_t length, int prot, int flags, int fd, off_t offset);
int __real_mprotect(void* address, std::size_t length, int prot);
}

namespace {

thread_local long t_countdown = -1;  // -1 disarmed; 0 the next allocation fails
thread_local bool t_repeat = true;   // after a failure, keep failing
thread_local bool t_failed = false;
thread_local long t_count = 0;
thread_local int t_paused = 0;

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
  return ShouldFail() ? nullptr : __real_malloc(size != 0 ? size : 1);
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
  return ShouldFail() ? nullptr : __real_malloc(size);
}
extern "C" void* __wrap_calloc(std::size_t count, std::size_t size) {
  return ShouldFail() ? nullptr : __real_calloc(count, size);
}
extern "C" void* __wrap_realloc(void* p, std::size_t size) {
  return ShouldFail() ? nullptr : __real_realloc(p, size);
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
