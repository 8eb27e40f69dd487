// Allocation-failure injection for tests of code built on the CIM client library, in the way
// of a fault simulator: after `successes` more allocations by the library on the calling
// thread, every further one fails (as if malloc returned null) until the next call. A negative
// value turns failures off again. Other threads are not affected.
#ifndef RESDB_PLATFORM_CIMAPI_TESTING_H_
#define RESDB_PLATFORM_CIMAPI_TESTING_H_

namespace nmspc_cim {

void cim_testFailAllocationsAfter(long successes);

}  // namespace nmspc_cim

#endif  // RESDB_PLATFORM_CIMAPI_TESTING_H_
