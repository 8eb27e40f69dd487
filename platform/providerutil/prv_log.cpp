// prv_log: keeps each log line in memory and echoes it to standard error.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>

#include "capture_store.h"
#include "providerutil.h"

namespace {

// False when RESDB_LOG_STDERR is "0".
bool echoToStderr() {
  const char* setting = getenv("RESDB_LOG_STDERR");
  return setting == nullptr || strcmp(setting, "0") != 0;
}

// Writes the line to standard error in one piece, so that lines of several threads never mix.
void echoLine(const ProviderLogLine& line) {
  std::string text = "[" + std::to_string(line.level) + "] " + line.component + " " +
                     line.function + ": " + line.message;
  for (char& c : text) {
    if (c == '\n' || c == '\r') c = ' ';
  }
  text += '\n';
  static std::mutex sinkMutex;
  std::lock_guard<std::mutex> lock(sinkMutex);
  fwrite(text.data(), 1, text.size(), stderr);
  fflush(stderr);
}

const char* orEmpty(const char* text) {
  return text != nullptr ? text : "";
}

}  // namespace

int prv_log(int level, const char* component, const char* function, const char* message) {
  try {
    ProviderLogLine line{level, orEmpty(component), orEmpty(function), orEmpty(message)};
    if (echoToStderr()) echoLine(line);
    CaptureStore<ProviderLogLine>::instance().add(std::move(line));
    return 0;
  } catch (...) {
    return -1;
  }
}

std::vector<ProviderLogLine> ProviderUtil::getLogLines() {
  return CaptureStore<ProviderLogLine>::instance().snapshot();
}
