#include "progress.h"

#include <unistd.h>

#include <cstdio>

Progress::Progress()
    : terminal_(isatty(STDERR_FILENO) == 1), start_(std::chrono::steady_clock::now()) {}

Progress::~Progress() {
  if (shown_) std::fputs("\r\033[K", stderr);
}

void Progress::Step(const std::string& what) {
  if (!terminal_) return;
  if (!shown_ && std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
  shown_ = true;
  std::fprintf(stderr, "\r\033[Kresdb-inspect: %s ...", what.c_str());
  std::fflush(stderr);
}
