// Allocation-failure injection for tests, in the way of a fault simulator. A program that links
// the alloc_fault library has its operator new replaced, and the malloc, calloc, realloc, mmap
// and mprotect calls of its own code and of the libraries it links statically are routed
// through the same switch (the link wraps them). The switch counts allocations and fails them on
// the calling thread only; other threads are never affected.
//   AllocFailAfter(n): n more allocations succeed, then every one fails until disarmed.
//   AllocFailNth(n):   n more allocations succeed, the next one fails, the rest succeed.
// A failing operator new throws std::bad_alloc (its nothrow forms return null); a failing
// malloc, calloc or realloc returns null (realloc leaves the old block alone); a failing mmap
// or mprotect answers as the system does when out of memory (MAP_FAILED or -1, errno ENOMEM).
#ifndef RESDB_TESTS_SUPPORT_ALLOC_FAULT_H_
#define RESDB_TESTS_SUPPORT_ALLOC_FAULT_H_

void AllocFailAfter(long n);
void AllocFailNth(long n);
// Stops failing; returns whether an allocation failed since the last arming or disarming.
bool AllocDisarm();
// Whether an allocation has failed since the last arming, without disarming.
bool AllocFailedYet();
// The number of allocations the calling thread has asked for so far, failed ones included and
// paused ones (see below) left out.
long AllocCount();

// Arms AllocFailAfter for one scope.
class ScopedAllocFault {
 public:
  explicit ScopedAllocFault(long n) { AllocFailAfter(n); }
  ~ScopedAllocFault() { AllocDisarm(); }
  ScopedAllocFault(const ScopedAllocFault&) = delete;
  ScopedAllocFault& operator=(const ScopedAllocFault&) = delete;
};

// Suspends the switch for one scope: allocations neither fail nor count (for allocations that
// belong to the test's own scaffolding, such as a fake virtual machine's). Scopes nest.
class ScopedAllocPause {
 public:
  ScopedAllocPause();
  ~ScopedAllocPause();
  ScopedAllocPause(const ScopedAllocPause&) = delete;
  ScopedAllocPause& operator=(const ScopedAllocPause&) = delete;
};

// Lifts every pause for one scope (the code under test, called from paused scaffolding), then
// restores them.
class ScopedAllocResume {
 public:
  ScopedAllocResume();
  ~ScopedAllocResume();
  ScopedAllocResume(const ScopedAllocResume&) = delete;
  ScopedAllocResume& operator=(const ScopedAllocResume&) = delete;

 private:
  int paused_;
};

#endif  // RESDB_TESTS_SUPPORT_ALLOC_FAULT_H_
