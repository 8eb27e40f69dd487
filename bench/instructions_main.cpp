// resdb_instructions [RECORDS]: one synthetic scan of RECORDS records (default 10 000) driven
// through the library phase by phase (RunScanPhases), for callgrind: each phase starts right
// after a dump of what came before it ("between phases") and ends with a dump named after it, so
// `valgrind --tool=callgrind` writes one file a phase. A dump, not CALLGRIND_ZERO_STATS, starts
// a phase: after zeroing, callgrind still writes some cost of code that ran before into the
// functions' lines (the file's totals then exceed its summary; making the scan leaked half a
// million instructions into loading's file). Prints, per phase, the units its instructions are
// divided by. bench/instructions.sh runs it and prints the table. The fake virtual machine's
// copy of each batch's characters (GetStringUTFChars) happens inside loading's count;
// instructions.sh counts the phase both with and without it.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>

#include "scan_phases.h"

namespace {

// Each phase starts right after a dump of what came before it and ends with a dump named
// after it.
class CallgrindDumps : public PhaseHooks {
 public:
  void begin() override { CALLGRIND_DUMP_STATS_AT("between phases"); }
  void end(const char* phase) override { CALLGRIND_DUMP_STATS_AT(phase); }
};

}  // namespace

int main(int argc, char** argv) {
  const size_t records = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  CallgrindDumps dumps;
  const std::vector<PhaseUnits> phases = RunScanPhases(records, &dumps);
  if (phases.empty()) return 1;
  for (const PhaseUnits& p : phases) std::printf("%s %zu %s\n", p.phase, p.units, p.unit);
  return 0;
}
