// Allocation-failure injection for tests. A program that links the alloc_fault library has its
// operator new replaced, and the malloc, calloc, realloc, mmap and mprotect calls of its own code
// and of the libraries it links statically routed through one switch (the link wraps them). The
// switch counts allocations and fails them on the calling thread only.
//   AllocFailAfter(n): n more allocations succeed, then every one fails until disarmed.
//   AllocFailNth(n):   n more allocations succeed, the next one fails, the rest succeed.
// A failing operator new throws std::bad_alloc (its nothrow forms return null); malloc, calloc
// and realloc return null (realloc leaves the old block alone); mmap and mprotect answer as the
// system does when out of memory.
#ifndef RESDB_TESTS_SUPPORT_ALLOC_FAULT_H_
#define RESDB_TESTS_SUPPORT_ALLOC_FAULT_H_

void AllocFailAfter(long n);
void AllocFailNth(long n);
// Stops failing; returns whether an allocation failed since the last arming.
bool AllocDisarm();
// Whether an allocation has failed since the last arming, without disarming.
bool AllocFailedYet();
// The allocations the calling thread has asked for so far, paused ones left out.
long AllocCount();

// Counts, for one scope, the blocks the calling thread allocates outside pauses and has not
// freed yet (malloc, calloc, realloc and operator new; a block freed on another thread stays
// counted): a leak check that works in every build, not only under the leak sanitizer. One at a
// time per thread.
class ScopedLiveBlocks {
 public:
  ScopedLiveBlocks();
  ~ScopedLiveBlocks();
  ScopedLiveBlocks(const ScopedLiveBlocks&) = delete;
  ScopedLiveBlocks& operator=(const ScopedLiveBlocks&) = delete;
  long count() const;
};

// Arms AllocFailAfter(n) for one scope.
struct ScopedAllocFault {
  explicit ScopedAllocFault(long n) { AllocFailAfter(n); }
  ~ScopedAllocFault() { AllocDisarm(); }
  ScopedAllocFault(const ScopedAllocFault&) = delete;
  ScopedAllocFault& operator=(const ScopedAllocFault&) = delete;
};

// Suspends the switch for one scope (the test's own scaffolding): allocations neither fail nor
// count. Scopes nest.
struct ScopedAllocPause {
  ScopedAllocPause();
  ~ScopedAllocPause();
  ScopedAllocPause(const ScopedAllocPause&) = delete;
  ScopedAllocPause& operator=(const ScopedAllocPause&) = delete;
};

// Lifts every pause for one scope (the code under test, called from paused scaffolding).
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
