#include "withdrawal_trace.h"

namespace {

RecordKey KeyOf(const SrmResource& record) {
  return {record.getType(), record.getId().str()};
}

}  // namespace

void WithdrawalTrace::flagsCopied(const SrmResource& from, const SrmResource& to) {
  auto cause = std::make_shared<Cause>();
  cause->from = KeyOf(from);
  auto prior = causes_.find(cause->from);
  if (prior != causes_.end()) cause->prior = prior->second;
  causes_[KeyOf(to)] = std::move(cause);
}

void WithdrawalTrace::withdrawn(const SrmResource& record, const std::string& finding) {
  std::shared_ptr<const Cause>& slot = causes_[KeyOf(record)];
  auto cause = std::make_shared<Cause>();
  // A second finding on the same record adds to the first.
  if (slot != nullptr && slot->from.second.empty()) cause->findings = slot->findings;
  cause->findings.push_back(finding);
  slot = std::move(cause);
}

const WithdrawalTrace::Cause* WithdrawalTrace::CauseOf(const RecordKey& key) const {
  auto found = causes_.find(key);
  return found == causes_.end() ? nullptr : found->second.get();
}
