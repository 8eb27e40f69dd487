// The replaceable allocation functions of the test program, with the failure switch of
// alloc_fault.h, and a check of the switch itself.
#include "alloc_fault.h"

#include <cstdlib>
#include <memory>
#include <new>

#include <gtest/gtest.h>

namespace {

thread_local long t_countdown = -1;  // -1 disarmed; 0 every allocation fails
thread_local bool t_failed = false;

void* Allocate(std::size_t size) {
  if (t_countdown == 0) {
    t_failed = true;
    return nullptr;
  }
  if (t_countdown > 0) --t_countdown;
  return std::malloc(size != 0 ? size : 1);
}

void* AllocateOrThrow(std::size_t size) {
  void* p = Allocate(size);
  if (p == nullptr) throw std::bad_alloc();
  return p;
}

}  // namespace

void AllocFailAfter(long n) {
  t_countdown = n;
  t_failed = false;
}

bool AllocDisarm() {
  t_countdown = -1;
  const bool failed = t_failed;
  t_failed = false;
  return failed;
}

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

TEST(AllocFaultTest, FailsFromTheNthAllocationOnUntilDisarmed) {
  std::unique_ptr<int> first;
  int* second = reinterpret_cast<int*>(1);
  bool threw = false;
  AllocFailAfter(1);
  first.reset(new (std::nothrow) int(1));
  second = new (std::nothrow) int(2);
  try {
    delete new int(3);
  } catch (const std::bad_alloc&) {
    threw = true;
  }
  EXPECT_TRUE(AllocDisarm());
  EXPECT_NE(nullptr, first);
  EXPECT_EQ(nullptr, second);
  EXPECT_TRUE(threw);
  EXPECT_FALSE(AllocDisarm());
}
