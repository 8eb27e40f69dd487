// summary: the records by kind, the errors by severity, and whether the library's own report
// converter would give a report.
#include <cstdio>
#include <iomanip>
#include <map>
#include <memory>

#include "cimapi.h"
#include "commands.h"
#include "report/qdx_report.h"

namespace {

// Runs the report converter as print does and counts the objects it would marshal; -1 when it
// refuses. Everything it built is released.
long CountReportObjects(SrmResourceDatabase* db) {
  struct ListDeleter {
    void operator()(nmspc_cim::CCIMList* list) const { nmspc_cim::cim_freeInstanceList(list); }
  };
  QDX_Report report;
  if (report.GenerateCIMReports(db, "host") == 0) return -1;
  std::unique_ptr<nmspc_cim::CCIMList, ListDeleter> list(report.GetReport());
  long count = 0;
  for (const nmspc_cim::CCIMList* node = list.get(); node != nullptr; node = node->next) {
    if (node->data != nullptr) ++count;
  }
  return list ? count : -1;
}

}  // namespace

int RunSummary(Inventory* inventory, std::ostream& out) {
  SrmResourceDatabase* db = inventory->db();
  db->getThisComputer();
  out << (inventory->is_scan() ? "scan folder " : "serialized database ") << inventory->path()
      << ", host " << (db->getHostName().empty() ? "(none)" : db->getHostName()) << "\n\n";

  out << std::left << std::setw(16) << "records" << std::right << std::setw(10) << "reported"
      << std::setw(11) << "withdrawn" << '\n';
  long reported_total = 0;
  long withdrawn_total = 0;
  for (const KindName& k : Kinds()) {
    const SrmResourceList::IdMap* records = inventory->Records(k.kind);
    if (records == nullptr) continue;
    long reported = 0;
    for (const auto& entry : *records) reported += entry.second->shouldReport();
    const long withdrawn = static_cast<long>(records->size()) - reported;
    reported_total += reported;
    withdrawn_total += withdrawn;
    out << "  " << std::left << std::setw(14) << k.name << std::right << std::setw(10) << reported
        << std::setw(11) << withdrawn << '\n';
  }
  out << "  " << std::left << std::setw(14) << "all" << std::right << std::setw(10)
      << reported_total << std::setw(11) << withdrawn_total << "\n\n";

  // Errors of severity below 4 stop the report; the others are logged and it goes on.
  std::map<int, int> by_severity;
  std::vector<std::string> refusing;
  for (const auto& owner : db->getErrorList()->getAllErrors()) {
    for (const auto& error : owner.second) {
      ++by_severity[error->getSeverity()];
      if (error->getSeverity() < 4) refusing.push_back(owner.first + ": " + DescribeError(*error));
    }
  }
  out << "errors: " << db->getErrorList()->getErrorCount();
  const char* separator = " (";
  for (const auto& severity : by_severity) {
    out << separator << "severity " << severity.first << ": " << severity.second;
    separator = ", ";
  }
  out << (by_severity.empty() ? "\n" : ")\n");

  const long objects = CountReportObjects(db);
  if (objects >= 0) {
    out << "report: " << objects << " CIM objects\n";
  } else if (!refusing.empty()) {
    out << "report: refused by " << refusing.size() << " error" << (refusing.size() > 1 ? "s" : "")
        << " of severity below 4:\n";
    for (const std::string& line : refusing) out << "  " << line << '\n';
  } else {
    out << "report: refused; no error explains it (RESDB_LOG_STDERR=1 shows the library's log)\n";
  }
  return 0;
}
