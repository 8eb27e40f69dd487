// resdb_instructions [RECORDS]: one synthetic scan of RECORDS records (default 10 000) driven
// through the library phase by phase, for callgrind: each phase starts right after a dump of
// what came before it ("between phases") and ends with a dump named after it, so
// `valgrind --tool=callgrind` writes one file a phase. A dump, not CALLGRIND_ZERO_STATS, starts
// a phase: after zeroing, callgrind still writes some cost of code that ran before into the
// functions' lines (the file's totals then exceed its summary; making the scan leaked half a
// million instructions into loading's file). Prints, per phase, the units its instructions are
// divided by (input bytes for loading, output bytes for serialize and print, records for
// resolveDatabase and destroy). bench/instructions.sh runs it and prints the table.
//
// Loading calls the add methods with Java strings made before its count starts: making the
// input is the caller's work, not the library's. The fake virtual machine's copy of each
// string's characters (GetStringUTFChars) happens inside the count; instructions.sh counts the
// phase both with and without it.
#include <valgrind/callgrind.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "fake_jni.h"
#include "inventory_generator.h"
#include "jni/print_report.h"
#include "native_session.h"

namespace {
constexpr char kBetweenPhases[] = "between phases";
}  // namespace

int main(int argc, char** argv) {
  const size_t records = argc > 1 ? std::strtoul(argv[1], nullptr, 10) : 10000;
  const SyntheticScan scan = GenerateScan(records, 1);
  auto session = std::make_unique<NativeSession>();

  FakeJni jni;  // the virtual machine the batches are handed through
  std::vector<std::pair<NativeAddMethod, jstring>> calls;
  for (const ScanBatch& batch : scan.batches) {
    calls.emplace_back(FindAddMethod(batch.method), jni.newJavaString(batch.text));
    if (calls.back().first == nullptr) return 1;
  }
  CALLGRIND_DUMP_STATS_AT(kBetweenPhases);
  for (const auto& call : calls) call.first(jni.env(), nullptr, session->handle(), call.second);
  CALLGRIND_DUMP_STATS_AT("load");
  std::printf("load %zu input-bytes\n", scan.bytes());

  CALLGRIND_DUMP_STATS_AT(kBetweenPhases);
  session->resolveDatabase();
  CALLGRIND_DUMP_STATS_AT("resolveDatabase");
  std::printf("resolveDatabase %zu records\n", scan.records());

  FILE* out = std::tmpfile();
  if (!out) return 1;
  CALLGRIND_DUMP_STATS_AT(kBetweenPhases);
  session->serialize(fileno(out));
  CALLGRIND_DUMP_STATS_AT("serialize");
  std::fseek(out, 0, SEEK_END);
  std::printf("serialize %ld output-bytes\n", std::ftell(out));
  std::fclose(out);

  auto* db = reinterpret_cast<SrmResourceDatabase*>(session->handle());
  CALLGRIND_DUMP_STATS_AT(kBetweenPhases);
  size_t report_bytes;
  {
    const ReportText report = buildReport(db);  // without the virtual machine's copy
    report_bytes = report.length();
  }
  CALLGRIND_DUMP_STATS_AT("print");
  std::printf("print %zu output-bytes\n", report_bytes);

  CALLGRIND_DUMP_STATS_AT(kBetweenPhases);
  session.reset();
  CALLGRIND_DUMP_STATS_AT("destroy");
  std::printf("destroy %zu records\n", scan.records());
  return 0;
}
