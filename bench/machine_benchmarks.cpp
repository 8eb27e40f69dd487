// What the machine charges for memory, which decides how fast loading, resolution and print can
// be on it:
//   machine/first-write/4k    one byte written to each 4 KiB page of 64 MiB freshly mapped
//   machine/first-write/huge  the same with the range advised onto transparent huge pages
//   machine/random-reads/M    reads of eight bytes at random places of M MiB, none waiting for
//                             another (the best case of a batch of Id lookups)
//   machine/chased-reads/M    reads through M MiB, each at the place the read before found (a
//                             walk from a record to its list, to a node, to the next record)
//   machine/rewrite/M         every byte of M MiB written again, the block already the
//                             process's (a database writing into the chunks of the one before)
// ns_per_page is the cost of each 4 KiB page's first write. A database or a report of tens of
// megabytes takes thousands of such pages from the system, and malloc hands many of them back
// when it is freed, so the next one takes them again. ns_per_read shows how much more a lookup
// into a database of 100 000 records (about 100 MiB) costs than one into a database of 10 000
// (about 10 MiB), whose records mostly stay in the cache; ns_per_chased_read shows the same for a
// chain of reads that cannot overlap, and ns_per_kib what writing a block costs once it no longer
// fits the cache.
#include <benchmark/benchmark.h>
#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <random>
#include <vector>

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

// Runs body once an iteration of state and sets counter to the nanoseconds it took, on average,
// for each of units_per_run units of its work.
template <class Body>
void TimePerUnit(benchmark::State& state, const char* counter, double units_per_run, Body body) {
  double seconds = 0;
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    body();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    seconds += took.count();
  }
  state.counters[counter] =
      seconds * 1e9 / (static_cast<double>(state.iterations()) * units_per_run);
}

void RandomReads(benchmark::State& state) {
  const size_t words = static_cast<size_t>(state.range(0)) * (1u << 20) / sizeof(uint64_t);
  std::vector<uint64_t> memory(words, 1);  // touched once here, so no page is fresh below
  constexpr size_t kReads = size_t{1} << 20;
  std::vector<uint32_t> places(kReads);
  std::mt19937 random(42);
  for (uint32_t& place : places) place = static_cast<uint32_t>(random() % words);
  uint64_t sum = 0;
  TimePerUnit(state, "ns_per_read", kReads, [&] {
    for (uint32_t place : places) sum += memory[place];
    benchmark::DoNotOptimize(sum);
  });
}

void ChasedReads(benchmark::State& state) {
  constexpr size_t kLineWords = 64 / sizeof(uint64_t);
  const size_t lines = static_cast<size_t>(state.range(0)) * (1u << 20) / 64;
  // One cycle through every line in a random order: each line holds the place of the next.
  std::vector<uint64_t> memory(lines * kLineWords, 0);
  std::vector<uint32_t> order(lines);
  std::iota(order.begin(), order.end(), 0);
  std::shuffle(order.begin(), order.end(), std::mt19937(42));
  for (size_t i = 0; i < lines; ++i)
    memory[order[i] * kLineWords] = order[(i + 1) % lines] * kLineWords;
  constexpr size_t kReads = size_t{1} << 20;
  uint64_t at = 0;
  TimePerUnit(state, "ns_per_chased_read", kReads, [&] {
    for (size_t n = 0; n < kReads; ++n) at = memory[at];
    benchmark::DoNotOptimize(at);
  });
}

void Rewrite(benchmark::State& state) {
  const size_t bytes = static_cast<size_t>(state.range(0)) << 20;
  std::vector<char> block(bytes, 1);  // written once here, so no page is fresh below
  int fill = 0;
  TimePerUnit(state, "ns_per_kib", static_cast<double>(bytes >> 10), [&] {
    std::memset(block.data(), ++fill, bytes);
    benchmark::ClobberMemory();
  });
}

BENCHMARK(RandomReads)
    ->Name("machine/random-reads")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(ChasedReads)
    ->Name("machine/chased-reads")
    ->Arg(1)
    ->Arg(10)
    ->Arg(100)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(Rewrite)->Name("machine/rewrite")->Arg(8)->Arg(80)->Unit(benchmark::kMillisecond);
BENCHMARK(FirstWrite4k)
    ->Name("machine/first-write/4k")
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(FirstWriteHuge)
    ->Name("machine/first-write/huge")
    ->Iterations(5)
    ->Unit(benchmark::kMillisecond);

}  // namespace
