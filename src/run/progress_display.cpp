#include "run/progress_display.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>

#include "search/run_parameters.h"

namespace dorvu {

namespace {

constexpr auto kInterval = std::chrono::milliseconds(250);

// 1234567 as "1,234,567".
std::string Grouped(int64_t value) {
  const std::string digits = std::to_string(value);
  std::string text;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

std::string Elapsed(double seconds) {
  const auto whole = static_cast<int64_t>(seconds);
  char text[32];
  if (whole >= 3600)
    std::snprintf(text, sizeof text, "%lld:%02lld:%02lld", static_cast<long long>(whole / 3600),
                  static_cast<long long>(whole / 60 % 60), static_cast<long long>(whole % 60));
  else
    std::snprintf(text, sizeof text, "%lld:%02lld", static_cast<long long>(whole / 60),
                  static_cast<long long>(whole % 60));
  return text;
}

std::string Size(int64_t bytes) {
  char text[32];
  if (bytes < 1000 * 1000)
    std::snprintf(text, sizeof text, "%lld kB", static_cast<long long>(bytes / 1000));
  else
    std::snprintf(text, sizeof text, "%.1f MB", static_cast<double>(bytes) / 1e6);
  return text;
}

int64_t FileSize(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 ? static_cast<int64_t>(status.st_size) : 0;
}

}  // namespace

std::string ProgressText(double seconds, int32_t branch, int64_t visited, int64_t evaluated, int64_t logBytes) {
  std::string text = "dorvu: " + Elapsed(seconds);
  if (branch > 0) text += ", branch " + std::to_string(branch) + " of " + std::to_string(kLevelLimits[0]);
  text += ", " + Grouped(visited) + " scenarios";
  if (evaluated >= 0) text += ", " + Grouped(evaluated) + " sets evaluated";
  return text + ", log " + Size(logBytes);
}

ProgressDisplay::ProgressDisplay(const WalkCounters& counters, const OutcomeCache* cache, std::string logPath)
    : counters_(counters), cache_(cache), logPath_(std::move(logPath)) {
  if (::isatty(STDERR_FILENO) == 1) thread_ = std::thread(&ProgressDisplay::Show, this);
}

ProgressDisplay::~ProgressDisplay() {
  if (!thread_.joinable()) return;
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  stop_.notify_one();
  thread_.join();
}

void ProgressDisplay::Show() {
  const auto start = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex_);
  bool shown = false;
  while (!stop_.wait_for(lock, kInterval, [&] { return stopping_; })) {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const std::string text = ProgressText(elapsed.count(), counters_.branch.load(std::memory_order_relaxed),
                                          counters_.visited.load(std::memory_order_relaxed),
                                          cache_ ? cache_->Size() : -1, FileSize(logPath_));
    std::fprintf(stderr, "\r%s\033[K", text.c_str());
    std::fflush(stderr);
    shown = true;
  }
  if (shown) {
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
  }
}

}  // namespace dorvu
