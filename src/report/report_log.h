// The report conversion's two ways of telling the agent about a problem: log lines through
// prv_log under the adapter's component name, and result records stored with the process-wide
// utility object. Shared by the instance builder and every pass of the converter.
#ifndef RESDB_REPORT_REPORT_LOG_H_
#define RESDB_REPORT_REPORT_LOG_H_

#include <string>

class ProviderUtil;

namespace report_log {

constexpr char kComponent[] = "QDX_SRMAgentAdapter";
constexpr char kResultBundle[] = "com.orv.vimbrel.mgmt.agent.result.resources.resultStatus";

// Logs message as it is (no format expansion) at level under function.
void Log(int level, const char* function, const std::string& message);

// Looks the utility object up under provider_name and remembers it in *utility; when there is
// one, stores a result of code with the one argument value / label. Quiet otherwise.
void Raise(const std::string& provider_name, ProviderUtil** utility, const std::string& code,
           const std::string& value, const std::string& label);

}  // namespace report_log

#endif  // RESDB_REPORT_REPORT_LOG_H_
