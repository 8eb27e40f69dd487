// The library's phases at 1 000, 10 000 and 100 000 records of a synthetic scan:
//   load/<method>/N    one add method's batch, through its native entry point (staging file
//                      included), into a database that already holds the batches before it
//   load/all/N         every batch in replay order into a new database
//   load/all/cold/N    the same, malloc's free memory handed back to the system before each run
//   load/library/N     load/all without the virtual machine's copy of each batch's text: the
//                      fake virtual machine hands out its own characters, so that what is timed
//                      is the library's part, as print/report is print's
//   load/library/uncached/N  the same, the caches emptied before each run (the database's chunks
//                      are reused, but not found in the cache, as in a process's first scan)
//   resolveDatabase/N  the resolution passes over the loaded database
//   resolveDatabase/cold/N  the same, the caches emptied before each run
//   resolveDatabase/first/N the first resolution of a database loaded just before, as the agent
//                      resolves a scan once, right after its last batch
//   serialize/N        the serialize native method (standard output pointed at /dev/null)
//   deserialize/N      reloading that serialized text into a new database
//   deserialize/cold/N the same, malloc's free memory handed back to the system before each run
//   print/N            the print native method: the report, marshalling and the Java string
//   print/report/N     the library's part of it: the report and marshalling, without the
//                      virtual machine's copy of the text into a Java string
//   replay/N           create, every add method, resolveDatabase, serialize, print, destroy
// bytes_per_second is tuple text read (load, deserialize, replay) or text produced (serialize,
// print), per second of the process's CPU time (the wall-clock time is shown beside it; on a
// machine shared with other work only the CPU time is a fair measure). page_faults is the
// number of fresh pages the timed part of one run took (minor faults: nothing read from disk). The
// database of the resolve, serialize, deserialize and print runs also holds a service group (the
// add methods cannot load one) with a volume group, a file system and the computer as members.
// Sizes can be chosen with RESDB_BENCH_SIZES=1000,10000.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#ifdef __GLIBC__
#include <malloc.h>  // malloc_trim
#endif
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "db/srm_resource_database.h"
#include "db/srm_service_group.h"
#include "fake_jni.h"
#include "inventory_generator.h"
#include "jni/native_methods.h"
#include "jni/print_report.h"
#include "kinds/computer.h"
#include "native_session.h"

namespace {

const SyntheticScan& Scan(size_t records) {
  static std::map<size_t, std::unique_ptr<SyntheticScan>> scans;
  std::unique_ptr<SyntheticScan>& scan = scans[records];
  if (!scan) scan.reset(new SyntheticScan(GenerateScan(records)));
  return *scan;
}

// Fewer rounds for the larger sizes; every round of a load benchmark rebuilds its database.
int64_t Rounds(size_t records) {
  return records <= 1000 ? 30 : records <= 10000 ? 10 : 3;
}

SrmResourceDatabase* Database(const NativeSession& session) {
  return reinterpret_cast<SrmResourceDatabase*>(static_cast<uintptr_t>(session.handle()));
}

// Loads the batches of scan that a replay calls before stop (all of them for an empty stop).
void LoadBatches(NativeSession* session, const SyntheticScan& scan, const std::string& stop) {
  for (const ScanBatch& b : scan.batches) {
    if (b.method == stop) return;
    const std::string result = session->add(b.method, b.text);
    if (result != "The operation succeeded.") {
      std::fprintf(stderr, "%s: %s\n", b.method.c_str(), result.c_str());
      std::abort();
    }
  }
}

// A cluster service group as a whole-database load brings it: the first volume group, the
// first file system and the computer as members, listed by the computer.
void AddServiceGroup(SrmResourceDatabase* db) {
  SrmServiceGroup* group = new SrmServiceGroup("sg-bench-application-01");
  db->addServiceGroup(group);
  SrmResourceList* all = db->getResourceList();
  for (SrmResourceType kind : {SRM_VOLUMEGROUP, SRM_FILESYSTEM, SRM_COMPUTER}) {
    SrmResourceList::IdMap* map = all->getSrmResourceIdMap(kind);
    if (map != nullptr && !map->empty()) group->addResource(map->begin()->second);
  }
  if (SrmComputer* computer = db->getThisComputer()) computer->addServiceGroup(group);
  group->Release();
}

// A database holding every batch of scan and its service group, not resolved yet.
std::unique_ptr<NativeSession> LoadedSession(const SyntheticScan& scan) {
  std::unique_ptr<NativeSession> session(new NativeSession());
  LoadBatches(session.get(), scan, std::string());
  AddServiceGroup(Database(*session));
  return session;
}

// The same, resolved.
std::unique_ptr<NativeSession> ResolvedSession(const SyntheticScan& scan) {
  std::unique_ptr<NativeSession> session = LoadedSession(scan);
  session->resolveDatabase();
  return session;
}

// The minor page faults of the timed parts of a benchmark: start and stop bracket each timed
// part (from outside the timer where the part is bracketed by resuming and pausing it, so that
// reading the count is not timed), report gives the state their count per run.
class FaultCount {
 public:
  void start() { started_ = MinorFaults(); }
  void stop() { total_ += MinorFaults() - started_; }
  void report(benchmark::State& state) const {
    state.counters["page_faults"] =
        benchmark::Counter(static_cast<double>(total_), benchmark::Counter::kAvgIterations);
  }

 private:
  static long MinorFaults() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
  }

  long started_ = 0;
  long total_ = 0;
};

void Fail(benchmark::State& state, const std::string& why) {
  state.SkipWithError(why.c_str());
}

// A database holding the batches of a scan before one add method's, and the fake virtual
// machine holding that method's text. The virtual machine goes first when it is destroyed.
struct PendingBatch {
  PendingBatch(const SyntheticScan& scan, const ScanBatch& batch)
      : session(new NativeSession()), jni(new FakeJni()) {
    LoadBatches(session.get(), scan, batch.method);
    text = jni->newJavaString(batch.text);
  }

  jstring add(NativeAddMethod call) { return call(jni->env(), nullptr, session->handle(), text); }

  std::unique_ptr<NativeSession> session;
  std::unique_ptr<FakeJni> jni;
  jstring text = nullptr;
};

// The load and deserialize benchmarks without "cold" build each database on the pages the one
// before left, as an agent's later scans do. The first database of the process has no such
// pages, so one is built and destroyed before the timed runs (otherwise it would be one of the
// three runs at 100 000 records); the cold variants time that first case.
void LoadOne(benchmark::State& state, size_t records, const std::string& method) {
  const SyntheticScan& scan = Scan(records);
  const ScanBatch* batch = scan.batch(method);
  NativeAddMethod call = FindAddMethod(method);
  PendingBatch(scan, *batch).add(call);  // the untimed first run
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    std::string answer;
    {
      PendingBatch pending(scan, *batch);
      faults.start();
      state.ResumeTiming();
      jstring result = pending.add(call);
      state.PauseTiming();
      faults.stop();
      answer = pending.jni->text(result);
    }
    if (answer != "The operation succeeded.") {
      Fail(state, answer);
      break;
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(batch->text.size()));
  state.counters["records"] = static_cast<double>(batch->records);
  faults.report(state);
}

// Hands malloc's free memory back to the system, so that what is built next takes fresh pages,
// as in a process's first scan.
void HandBackFreeMemory() {
#ifdef __GLIBC__
  malloc_trim(0);
#endif
}

// Empties the caches of what the runs before left there, by writing 64 MB elsewhere (twice the
// last-level cache), so that a run meets memory as a process's first scan meets it.
void EmptyCaches() {
  static std::vector<char> elsewhere(64u << 20);
  for (size_t i = 0; i < elsewhere.size(); i += 64) elsewhere[i] = static_cast<char>(i >> 6);
  benchmark::DoNotOptimize(elsewhere.data());
}

// A new database and the fake virtual machine holding the text of every batch of a scan, which
// it hands out in place (without a copy) when inPlace.
struct PendingScan {
  explicit PendingScan(const SyntheticScan& scan, bool inPlace = false)
      : scan(scan), session(new NativeSession()), jni(new FakeJni()) {
    jni->setHandOutInPlace(inPlace);
    for (const ScanBatch& b : scan.batches) texts.push_back(jni->newJavaString(b.text));
  }

  void addAll() {
    for (size_t i = 0; i < texts.size(); ++i) {
      FindAddMethod(scan.batches[i].method)(jni->env(), nullptr, session->handle(), texts[i]);
    }
  }

  const SyntheticScan& scan;
  std::unique_ptr<NativeSession> session;
  std::unique_ptr<FakeJni> jni;
  std::vector<jstring> texts;
};

// What a load run finds when it starts, its setup done outside the timed part: the pages the
// run before built on (the database's chunks kept for the next one, still in the cache), fresh
// pages (malloc's free memory handed back to the system, as in a process's first scan), or the
// pages of the run before with the caches emptied.
enum class LoadStart { kWarm, kColdHeap, kCachesEmptied };

// Loads every batch into a new database per run. With inPlace, the fake virtual machine hands
// out its texts without copying them.
void LoadEveryBatch(benchmark::State& state, size_t records, LoadStart start, bool inPlace) {
  const SyntheticScan& scan = Scan(records);
  if (start != LoadStart::kColdHeap) PendingScan(scan, inPlace).addAll();  // the untimed first run
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    {
      PendingScan pending(scan, inPlace);
      if (start == LoadStart::kColdHeap) HandBackFreeMemory();
      if (start == LoadStart::kCachesEmptied) EmptyCaches();
      faults.start();
      state.ResumeTiming();
      pending.addAll();
      state.PauseTiming();
      faults.stop();
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(scan.bytes()));
  state.counters["records"] = static_cast<double>(scan.records());
  faults.report(state);
}

void LoadAllBatches(benchmark::State& state, size_t records, bool coldHeap) {
  LoadEveryBatch(state, records, coldHeap ? LoadStart::kColdHeap : LoadStart::kWarm,
                 /*inPlace=*/false);
}

void LoadLibraryPart(benchmark::State& state, size_t records) {
  LoadEveryBatch(state, records, LoadStart::kWarm, /*inPlace=*/true);
}

void LoadLibraryPartUncached(benchmark::State& state, size_t records) {
  LoadEveryBatch(state, records, LoadStart::kCachesEmptied, /*inPlace=*/true);
}

void Resolve(benchmark::State& state, size_t records) {
  auto session = ResolvedSession(Scan(records));
  session->resolveDatabase();  // an untimed first run, which finds the caches cold
  FaultCount faults;
  faults.start();
  for (auto _ : state) benchmark::DoNotOptimize(session->resolveDatabase());
  faults.stop();
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

// The same with the caches emptied before each run (64 MB written elsewhere, outside the timed
// part): a scan resolves once, and a database of 10 000 records otherwise stays in the 32 MB
// cache from one run to the next while one of 100 000 cannot, which the warm runs compare.
void ResolveCold(benchmark::State& state, size_t records) {
  auto session = ResolvedSession(Scan(records));
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    EmptyCaches();
    faults.start();
    state.ResumeTiming();
    benchmark::DoNotOptimize(session->resolveDatabase());
    faults.stop();
  }
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

// One resolution of a database loaded anew before each run (untimed): what the cache holds is
// what loading left there, as when the agent resolves a scan.
void ResolveFirst(benchmark::State& state, size_t records) {
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<NativeSession> session = LoadedSession(Scan(records));
    faults.start();
    state.ResumeTiming();
    benchmark::DoNotOptimize(session->resolveDatabase());
    state.PauseTiming();
    faults.stop();
    session.reset();
    state.ResumeTiming();
  }
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

// The length of the serialized text of session.
int64_t SerializedLength(NativeSession* session) {
  FILE* file = std::tmpfile();
  if (file == nullptr) return 0;
  session->serialize(fileno(file));
  const int64_t length = lseek(fileno(file), 0, SEEK_END);
  std::fclose(file);
  return length;
}

void Serialize(benchmark::State& state, size_t records) {
  auto session = ResolvedSession(Scan(records));
  const int64_t length = SerializedLength(session.get());
  const int devnull = open("/dev/null", O_WRONLY);
  FaultCount faults;
  faults.start();
  for (auto _ : state) {
    if (session->serialize(devnull) != 1) {
      Fail(state, "serialize failed");
      break;
    }
  }
  faults.stop();
  close(devnull);
  state.SetBytesProcessed(state.iterations() * length);
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

// Reloads the serialized text of a whole database into a new one per run; coldHeap as for
// LoadAllBatches.
void DeserializeInto(benchmark::State& state, size_t records, bool coldHeap) {
  auto session = ResolvedSession(Scan(records));
  FILE* file = std::tmpfile();
  if (file == nullptr || session->serialize(fileno(file)) != 1) {
    Fail(state, "serialize failed");
    return;
  }
  const int fd = fileno(file);
  const int64_t length = lseek(fd, 0, SEEK_END);
  if (!coldHeap) {  // the untimed first run
    lseek(fd, 0, SEEK_SET);
    SrmResourceDatabase().deserialize(fd, nullptr);
  }
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    auto db = std::make_unique<SrmResourceDatabase>();
    lseek(fd, 0, SEEK_SET);
    if (coldHeap) HandBackFreeMemory();
    faults.start();
    state.ResumeTiming();
    const int loaded = db->deserialize(fd, nullptr);
    state.PauseTiming();
    faults.stop();
    db.reset();
    if (loaded != 1) {
      Fail(state, "deserialize failed");
      break;
    }
    state.ResumeTiming();
  }
  std::fclose(file);
  state.SetBytesProcessed(state.iterations() * length);
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

void Print(benchmark::State& state, size_t records) {
  auto session = ResolvedSession(Scan(records));
  int64_t length = 0;
  FaultCount faults;
  for (auto _ : state) {
    state.PauseTiming();
    auto jni = std::make_unique<FakeJni>();
    faults.start();
    state.ResumeTiming();
    jstring result = RESDB_NATIVE_NAME(print)(jni->env(), nullptr, session->handle());
    state.PauseTiming();
    faults.stop();
    const std::string xml = result != nullptr ? jni->takeText(result) : "null";
    jni.reset();
    if (IsPrintError(xml)) {
      Fail(state, "print answered " + xml);
      break;
    }
    length = static_cast<int64_t>(xml.size());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * length);
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

// The library's own part of print: the report and its marshalling, up to the text it would
// hand the virtual machine (the virtual machine's copy into a Java string is left out).
void PrintReport(benchmark::State& state, size_t records) {
  auto session = ResolvedSession(Scan(records));
  int64_t length = 0;
  FaultCount faults;
  for (auto _ : state) {
    faults.start();
    ReportText text = buildReport(Database(*session));
    state.PauseTiming();
    faults.stop();
    // An error text is short; a report starts with its XML declaration.
    const std::string head(text.c_str(), std::min<size_t>(text.length(), 32));
    length = static_cast<int64_t>(text.length());
    text = ReportText("");  // the report released outside the timed part
    if (IsPrintError(head)) {
      Fail(state, "print answered " + head);
      break;
    }
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * length);
  state.counters["records"] = static_cast<double>(Scan(records).records());
  faults.report(state);
}

void Replay(benchmark::State& state, size_t records) {
  const SyntheticScan& scan = Scan(records);
  const int devnull = open("/dev/null", O_WRONLY);
  FaultCount faults;
  faults.start();
  for (auto _ : state) {
    NativeSession session;
    LoadBatches(&session, scan, std::string());
    session.resolveDatabase();
    session.serialize(devnull);
    const std::string xml = session.print();
    if (IsPrintError(xml)) {
      Fail(state, "print answered " + xml);
      break;
    }
  }
  faults.stop();
  close(devnull);
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(scan.bytes()));
  state.counters["records"] = static_cast<double>(scan.records());
  faults.report(state);
}

std::vector<size_t> Sizes() {
  std::vector<size_t> sizes;
  const char* env = std::getenv("RESDB_BENCH_SIZES");
  std::stringstream list(env != nullptr ? env : "1000,10000,100000");
  std::string item;
  while (std::getline(list, item, ',')) {
    if (!item.empty()) sizes.push_back(std::strtoul(item.c_str(), nullptr, 10));
  }
  return sizes;
}

template <class Body>
void Register(const std::string& name, size_t records, Body body) {
  benchmark::RegisterBenchmark(name.c_str(),
                               [records, body](benchmark::State& state) { body(state, records); })
      ->Iterations(Rounds(records))
      ->Unit(benchmark::kMillisecond);
}

// Registers name<size> and name/cold<size>: body with its heap handed back first or not.
void RegisterWarmAndCold(const std::string& name, const std::string& size, size_t records,
                         void (*body)(benchmark::State&, size_t, bool)) {
  for (bool cold : {false, true}) {
    Register(name + (cold ? "/cold" : "") + size, records,
             [body, cold](benchmark::State& state, size_t n) { body(state, n, cold); });
  }
}

void RegisterAll() {
  for (size_t n : Sizes()) {
    const std::string size = "/" + std::to_string(n);
    for (const std::string& method : ScanMethods()) {
      Register("load/" + method + size, n, [method](benchmark::State& state, size_t records) {
        LoadOne(state, records, method);
      });
    }
    RegisterWarmAndCold("load/all", size, n, LoadAllBatches);
    Register("load/library" + size, n, LoadLibraryPart);
    Register("load/library/uncached" + size, n, LoadLibraryPartUncached);
    Register("resolveDatabase" + size, n, Resolve);
    Register("resolveDatabase/cold" + size, n, ResolveCold);
    Register("resolveDatabase/first" + size, n, ResolveFirst);
    Register("serialize" + size, n, Serialize);
    RegisterWarmAndCold("deserialize", size, n, DeserializeInto);
    Register("print" + size, n, Print);
    Register("print/report" + size, n, PrintReport);
    Register("replay" + size, n, Replay);
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  // Whether malloc's heap was put on huge pages changes every figure on a machine where page
  // faults are dear: the report's header says how this run was set up.
  const char* tunables = std::getenv("GLIBC_TUNABLES");
  benchmark::AddCustomContext("GLIBC_TUNABLES", tunables != nullptr ? tunables : "(unset)");
  RegisterAll();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
