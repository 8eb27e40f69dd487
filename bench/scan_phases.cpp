#include "scan_phases.h"

#include <cstdio>
#include <memory>
#include <utility>

#include "fake_jni.h"
#include "inventory_generator.h"
#include "jni/print_report.h"
#include "native_session.h"

std::vector<PhaseUnits> RunScanPhases(size_t records, PhaseHooks* hooks) {
  const SyntheticScan scan = GenerateScan(records, 1);
  auto session = std::make_unique<NativeSession>();
  std::vector<PhaseUnits> phases;

  FakeJni jni;  // the virtual machine the batches are handed through
  std::vector<std::pair<NativeAddMethod, jstring>> calls;
  for (const ScanBatch& batch : scan.batches) {
    calls.emplace_back(FindAddMethod(batch.method), jni.newJavaString(batch.text));
    if (calls.back().first == nullptr) return {};
  }
  hooks->begin();
  for (const auto& call : calls) call.first(jni.env(), nullptr, session->handle(), call.second);
  hooks->end("load");
  phases.push_back({"load", scan.bytes(), "input-bytes"});

  hooks->begin();
  session->resolveDatabase();
  hooks->end("resolveDatabase");
  phases.push_back({"resolveDatabase", scan.records(), "records"});

  FILE* out = std::tmpfile();
  if (out == nullptr) return {};
  hooks->begin();
  session->serialize(fileno(out));
  hooks->end("serialize");
  std::fseek(out, 0, SEEK_END);
  phases.push_back({"serialize", static_cast<size_t>(std::ftell(out)), "output-bytes"});
  std::fclose(out);

  auto* db = reinterpret_cast<SrmResourceDatabase*>(session->handle());
  size_t report_bytes;
  hooks->begin();
  {
    const ReportText report = buildReport(db);  // without the virtual machine's copy
    report_bytes = report.length();
  }
  hooks->end("print");
  phases.push_back({"print", report_bytes, "output-bytes"});

  hooks->begin();
  session.reset();
  hooks->end("destroy");
  phases.push_back({"destroy", scan.records(), "records"});
  return phases;
}
