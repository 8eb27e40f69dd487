// The scan's own errors: each becomes a log line and a result record for the agent, and one of
// severity below 4 keeps the report from being built.
#include <string>

#include "db/srm_resource_database.h"
#include "model/srm_error.h"
#include "providerutil.h"
#include "report/qdx_report.h"
#include "report/report_log.h"

namespace {

// The result code of an error: its code's own, else the one of its severity.
const char* ResultCode(int code, int severity) {
  switch (code) {
    case 2000:
      return "F_CANNOT_LOAD_RESDB";
    case 2001:
      return "W_NEW_FS_FOUND_RUN_DETAILSCAN";
    case 2002:
      return "W_GIDU_FAILURE";
    case 2003:
      return "F_GIDU_NOT_RESPONDING";
    case 3000:
      return "F_INVALID_AGENT_NAME";
    default:
      break;
  }
  if (severity == 4) return "W_SRMAGENT_WARNING";
  if (severity == 5) return "I_SRMAGENT_INFO";
  return "F_SRMAGENT_ERROR";
}

// The log level of an error follows its severity alone.
int LogLevel(int severity) {
  if (severity == 4) return PRV_LOG_WARNING;
  if (severity == 5) return PRV_LOG_INFO;
  return PRV_LOG_ERROR;
}

}  // namespace

int QDX_Report::Get_Error_Instances() {
  SrmErrorList* errors = database_->getErrorList();
  if (errors == nullptr || errors->getErrorCount() == 0) return 0;

  utility_ = ProviderUtil::getInstance(provider_name_);
  if (utility_ == nullptr) {
    report_log::Log(PRV_LOG_ERROR, "QDX_Report::Get_Error_Instances",
                    "Could not create a Utilities object for error handling");
  }
  bool fatal = false;
  for (const auto& group : errors->getAllErrors()) {
    for (const auto& error : group.second) {
      int severity = error->getSeverity();
      int code = error->getCode();
      if (severity < 4) fatal = true;
      std::string message = ":ErrorCode: " + std::to_string(code) + ": " + error->getDescription();
      report_log::Log(LogLevel(severity), "SrmError", message);
      if (utility_ != nullptr) {
        auto* result = new Result(ResultCode(code, severity), report_log::kResultBundle);
        result->addArg(code == 2003 ? std::string() : message, "SrmAgent Error Message");
        utility_->storeResult(result);
      }
    }
  }
  return fatal ? 1 : 0;
}
