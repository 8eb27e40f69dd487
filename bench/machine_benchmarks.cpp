// What the machine charges for memory the library has not touched yet, which decides how fast
// loading and print can be on it:
//   machine/first-write/4k    one byte written to each 4 KiB page of 64 MiB freshly mapped
//   machine/first-write/huge  the same with the range advised onto transparent huge pages
// ns_per_page is the cost of each 4 KiB page's first write. A database or a report of tens of
// megabytes takes thousands of such pages from the system, and malloc hands many of them back
// when it is freed, so the next one takes them again.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <chrono>
#include <cstddef>

namespace {

constexpr size_t kRange = 64u << 20;
constexpr size_t kPage = 4096;

bool AdviseHugePages(void* range, size_t length) {
#ifdef MADV_HUGEPAGE
  return madvise(range, length, MADV_HUGEPAGE) == 0;
#else
  return false;
#endif
}

void FirstWrite(benchmark::State& state, bool hugePages) {
  double writing = 0;  // seconds spent in the writes, mapping and unmapping left out
  for (auto _ : state) {
    void* mapped =
        mmap(nullptr, kRange, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED) {
      state.SkipWithError("mmap failed");
      return;
    }
    auto* bytes = static_cast<volatile char*>(mapped);
    if (hugePages && !AdviseHugePages(mapped, kRange)) {
      munmap(mapped, kRange);
      state.SkipWithError("no transparent huge pages");
      return;
    }
    const auto start = std::chrono::steady_clock::now();
    for (size_t at = 0; at < kRange; at += kPage) bytes[at] = 1;
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    state.SetIterationTime(took.count());
    writing += took.count();
    munmap(mapped, kRange);
  }
  const double pages = static_cast<double>(state.iterations()) * (kRange / kPage);
  state.counters["ns_per_page"] = writing * 1e9 / pages;
}

void FirstWrite4k(benchmark::State& state) {
  FirstWrite(state, false);
}

void FirstWriteHuge(benchmark::State& state) {
  FirstWrite(state, true);
}

BENCHMARK(FirstWrite4k)
    ->Name("machine/first-write/4k")
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FirstWriteHuge)
    ->Name("machine/first-write/huge")
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
