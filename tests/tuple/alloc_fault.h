// Allocation-failure injection for the tests of this folder: once armed, the calling thread's
// allocations through operator new succeed n more times and then all fail (throwing
// std::bad_alloc, or returning null for the nothrow forms) until disarmed.
#ifndef RESDB_TESTS_TUPLE_ALLOC_FAULT_H_
#define RESDB_TESTS_TUPLE_ALLOC_FAULT_H_

void AllocFailAfter(long n);
// Stops failing; returns whether an allocation failed since the last AllocFailAfter or
// AllocDisarm.
bool AllocDisarm();

// Arms for one scope.
class ScopedAllocFault {
 public:
  explicit ScopedAllocFault(long n) { AllocFailAfter(n); }
  ~ScopedAllocFault() { AllocDisarm(); }
  ScopedAllocFault(const ScopedAllocFault&) = delete;
  ScopedAllocFault& operator=(const ScopedAllocFault&) = delete;
};

#endif  // RESDB_TESTS_TUPLE_ALLOC_FAULT_H_
