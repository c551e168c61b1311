// A line on standard error that shows people how far a long search has
// come: elapsed time, the top-level branch, the scenarios reached, the sets
// evaluated and the size of the log. Shown only when standard error is a
// terminal, rewritten in place a few times a second, and cleared at the end.
// Nothing of it goes into the log.
#pragma once

#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "search/evaluate/outcome_cache.h"
#include "search/walk.h"

namespace dorvu {

class ProgressDisplay {
 public:
  // `cache` may be null; then no count of evaluated sets is shown.
  ProgressDisplay(const WalkCounters& counters, const OutcomeCache* cache, std::string logPath);
  ProgressDisplay(const ProgressDisplay&) = delete;
  ProgressDisplay& operator=(const ProgressDisplay&) = delete;
  ~ProgressDisplay();

 private:
  void Show();

  const WalkCounters& counters_;
  const OutcomeCache* cache_;
  std::string logPath_;
  std::mutex mutex_;
  std::condition_variable stop_;
  bool stopping_ = false;
  std::thread thread_;
};

// The text of the progress line.
std::string ProgressText(double seconds, int32_t branch, int64_t visited, int64_t evaluated, int64_t logBytes);

}  // namespace dorvu
