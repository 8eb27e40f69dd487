// RunScanPhases: every phase of one synthetic scan, once, through the library as the agent
// drives it: loading (the ten add methods, their Java strings made beforehand, since making
// the input is the caller's work), resolveDatabase, serialize (into a temporary file), print
// (the report built without the virtual machine's copy into a Java string) and destroy. The
// caller's hooks bracket each phase, so that one sequence serves both the instruction counts
// and the times of a process's first scan.
#ifndef RESDB_BENCH_SCAN_PHASES_H_
#define RESDB_BENCH_SCAN_PHASES_H_

#include <cstddef>
#include <vector>

// What a caller does around each phase: begin() right before it, end(phase) right after it.
class PhaseHooks {
 public:
  virtual ~PhaseHooks() = default;
  virtual void begin() = 0;
  virtual void end(const char* phase) = 0;
};

// A phase run, with the units its cost is divided by: input bytes for loading, output bytes
// for serialize and print, records for resolveDatabase and destroy.
struct PhaseUnits {
  const char* phase;
  size_t units;
  const char* unit;
};

// Runs the phases of a scan of records records and returns them in order; empty when an add
// method cannot be found or the temporary file cannot be made.
std::vector<PhaseUnits> RunScanPhases(size_t records, PhaseHooks* hooks);

#endif  // RESDB_BENCH_SCAN_PHASES_H_
