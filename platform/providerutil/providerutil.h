// The provider utility library as the report uses it: prv_log for log lines, and result
// records (Result) handed to the process-wide ProviderUtil object for the agent to show.
//
// Where things end up: every log line is kept in memory and also written to standard error as
// one line "[<level>] <component> <function>: <message>" (line breaks inside the message are
// written as blanks). Setting the environment variable RESDB_LOG_STDERR to "0" silences the
// standard-error copy (for tests and benchmarks); the in-memory copy is always kept. Stored
// results are kept in memory. Each in-memory store holds the last kCaptureLimit entries; older
// ones are dropped. Tests read and empty the stores through the static ProviderUtil functions.
//
// Threads: the stores and the standard-error sink are guarded by mutexes; any thread may log
// and store results at any time.
#ifndef RESDB_PLATFORM_PROVIDERUTIL_H_
#define RESDB_PLATFORM_PROVIDERUTIL_H_

#include <cstddef>
#include <string>
#include <vector>

// The levels the report logs at.
constexpr int PRV_LOG_ERROR = 1;
constexpr int PRV_LOG_WARNING = 4;
constexpr int PRV_LOG_INFO = 6;

// Logs one finished message (no format expansion). Null texts are logged as empty. Returns 0,
// or -1 when the line could not be kept (out of memory). Never throws.
int prv_log(int level, const char* component, const char* function, const char* message);

// One log line as prv_log received it.
struct ProviderLogLine {
  int level;
  std::string component;
  std::string function;
  std::string message;
};

// A result record: a result code (such as "F_REPORT_CONV_FAILURE") from a resource bundle,
// with its arguments. Callers create it with new and hand it to ProviderUtil::storeResult.
class Result {
 public:
  struct Arg {
    std::string value;
    std::string label;
  };

  Result(const std::string& code, const std::string& bundle) : code_(code), bundle_(bundle) {}

  // Adds one argument: its value, then its label.
  void addArg(const std::string& value, const std::string& label) {
    args_.push_back(Arg{value, label});
  }

  const std::string& getCode() const { return code_; }
  const std::string& getBundle() const { return bundle_; }
  const std::vector<Arg>& getArgs() const { return args_; }

 private:
  std::string code_;
  std::string bundle_;
  std::vector<Arg> args_;
};

// The process-wide utility object. It lives for the whole process; callers never delete it.
class ProviderUtil {
 public:
  // Each in-memory store keeps at most this many of the most recent entries.
  static constexpr size_t kCaptureLimit = 10000;

  // The utility object, whatever the provider name; null while made unavailable (below).
  static ProviderUtil* getInstance(const std::string& name);

  // Takes the result over (also on failure, when it is deleted) and keeps it. Returns 0, or
  // -1 for a null result or when it could not be kept. Never throws.
  int storeResult(Result* result);

  // For tests: copies of the kept log lines and results, oldest first, and emptying both.
  static std::vector<ProviderLogLine> getLogLines();
  static std::vector<Result> getResults();
  static void clearCaptured();

  // For tests: while false, getInstance returns null (as when the agent's utility object
  // cannot be had). True at start.
  static void setAvailable(bool available);

  ProviderUtil(const ProviderUtil&) = delete;
  ProviderUtil& operator=(const ProviderUtil&) = delete;

 private:
  ProviderUtil() = default;
  ~ProviderUtil() = default;
};

#endif  // RESDB_PLATFORM_PROVIDERUTIL_H_
