// resdb_first_scan [RECORDS]: the first scan of a process, timed phase by phase: one synthetic
// scan of RECORDS records (default 10 000) through every phase once, as the agent's process
// runs its first scan, every page the library writes a fresh one. Prints a line a phase: its
// name, its units (as resdb_instructions prints them), the process's CPU time in
// milliseconds, kernel time included, and the minor page faults it took. bench/compare.py
// runs it in a fresh process a round. Exit status 0, 1 when the scan cannot be run, 2 on bad
// usage.
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "scan_phases.h"

namespace {

// The process's CPU time and minor faults over each phase, in the order the phases ran.
class FirstScanClock : public PhaseHooks {
 public:
  struct Cost {
    double ms;
    long faults;
  };

  void begin() override {
    start_ = now();
    start_faults_ = faults();
  }
  void end(const char*) override {
    costs_.push_back(Cost{(now() - start_) * 1e3, faults() - start_faults_});
  }
  const std::vector<Cost>& costs() const { return costs_; }

 private:
  static double now() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
  }
  static long faults() {
    rusage usage;
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
  }

  double start_ = 0;
  long start_faults_ = 0;
  std::vector<Cost> costs_;
};

}  // namespace

int main(int argc, char** argv) {
  static const char kUsage[] = "usage: resdb_first_scan [RECORDS]\n";
  if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
    std::fputs(kUsage, stdout);
    return 0;
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const size_t records = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  FirstScanClock clock;
  const std::vector<PhaseUnits> phases = RunScanPhases(records, &clock);
  if (phases.empty()) return 1;
  for (size_t i = 0; i < phases.size(); ++i) {  // each phase ended once, in this order
    const PhaseUnits& p = phases[i];
    const FirstScanClock::Cost& cost = clock.costs()[i];
    std::printf("%s %zu %s %.3f %ld\n", p.phase, p.units, p.unit, cost.ms, cost.faults);
  }
  return 0;
}
