#include "report/report_log.h"

#include <memory>

#include "providerutil.h"

namespace report_log {

void Log(int level, const char* function, const std::string& message) {
  prv_log(level, kComponent, function, message.c_str());
}

void Raise(const std::string& provider_name, ProviderUtil** utility, const std::string& code,
           const std::string& value, const std::string& label) {
  *utility = ProviderUtil::getInstance(provider_name);
  if (*utility == nullptr) return;
  std::unique_ptr<Result> result(new Result(code, kResultBundle));
  result->addArg(value, label);
  (*utility)->storeResult(result.release());  // takes the record over
}

}  // namespace report_log
