// WithdrawalTrace: what a resolution of the library did, as it told it. For every record whose
// flags the resolution last set, the cause: the record whose flags it took (and that record's
// cause at that moment), or the findings it was withdrawn with. Records are named by kind and
// Id, so a trace taken on one database explains another holding the same records.
#ifndef RESDB_TOOLS_INSPECT_WITHDRAWAL_TRACE_H_
#define RESDB_TOOLS_INSPECT_WITHDRAWAL_TRACE_H_

#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "db/srm_resource_database.h"

// A record's name: its kind and Id.
using RecordKey = std::pair<SrmResourceType, std::string>;

class WithdrawalTrace : public SrmResolutionWatcher {
 public:
  // Why a record holds the flags it holds. Shared: a cause is the prior of many.
  struct Cause {
    RecordKey from;                      // the record the flags came from; empty Id: none
    std::shared_ptr<const Cause> prior;  // from's cause when its flags were taken; may be null
    std::vector<std::string> findings;   // set when the record was withdrawn itself
  };

  void flagsCopied(const SrmResource& from, const SrmResource& to) override;
  void withdrawn(const SrmResource& record, const std::string& finding) override;

  // The record's last cause, or null when the resolution never set its flags.
  const Cause* CauseOf(const RecordKey& key) const;

 private:
  std::map<RecordKey, std::shared_ptr<const Cause>> causes_;
};

#endif  // RESDB_TOOLS_INSPECT_WITHDRAWAL_TRACE_H_
