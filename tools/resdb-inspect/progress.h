// Progress: the one line that tells a person at a terminal what a long run is doing. Nothing
// is shown until a second has passed, nor when standard error is not a terminal; the line is
// rewritten in place and cleared when the object ends.
#ifndef RESDB_TOOLS_INSPECT_PROGRESS_H_
#define RESDB_TOOLS_INSPECT_PROGRESS_H_

#include <chrono>
#include <string>

class Progress {
 public:
  Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();

  // Says what the run does now ("loading addVolume.txt").
  void Step(const std::string& what);

 private:
  const bool terminal_;
  const std::chrono::steady_clock::time_point start_;
  bool shown_ = false;
};

#endif  // RESDB_TOOLS_INSPECT_PROGRESS_H_
