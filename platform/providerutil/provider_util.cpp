// ProviderUtil: the process-wide object that keeps result records.
#include <atomic>
#include <memory>
#include <new>

#include "capture_store.h"
#include "providerutil.h"

namespace {

std::atomic<bool> gAvailable{true};

}  // namespace

ProviderUtil* ProviderUtil::getInstance(const std::string& /*name*/) {
  if (!gAvailable.load()) return nullptr;
  static ProviderUtil* utility = new (std::nothrow) ProviderUtil();
  return utility;
}

int ProviderUtil::storeResult(Result* result) {
  std::unique_ptr<Result> owned(result);
  if (!owned) return -1;
  try {
    CaptureStore<Result>::instance().add(std::move(*owned));
    return 0;
  } catch (...) {
    return -1;
  }
}

std::vector<Result> ProviderUtil::getResults() {
  return CaptureStore<Result>::instance().snapshot();
}

void ProviderUtil::clearCaptured() {
  CaptureStore<ProviderLogLine>::instance().clear();
  CaptureStore<Result>::instance().clear();
}

void ProviderUtil::setAvailable(bool available) {
  gAvailable.store(available);
}
